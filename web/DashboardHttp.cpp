#include "web/DashboardHttp.h"

#include "platform/Platform.h"
#include "simlink/TelemetryLayout.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <cmath>

namespace {

constexpr int kSweepMs = 200;
constexpr int kReconnectHintMs = 1000;
constexpr qint64 kMaxDiscardedBytes = 64 * 1024;
constexpr int kMacroCount = 15;
constexpr int kMaxKeyCode = 254;
// Paired browsers keep the cookie for ten years: "New code" is what unpairs.
constexpr qint64 kCookieSeconds = 10LL * 365 * 24 * 3600;

const char *const kNotInFront = "not in front";
const char *const kTooManyRequests = "too many requests";

// Nothing the pages are served with may load from elsewhere, be framed by
// another site, or tell another site where it came from.
const char *const kPageFields =
    "Content-Type: text/html; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "X-Frame-Options: DENY\r\n"
    "Referrer-Policy: no-referrer\r\n"
    "Content-Security-Policy: default-src 'none'; script-src 'unsafe-inline'; "
    "style-src 'unsafe-inline'; connect-src 'self'; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'\r\n";

QString addressText(const QHostAddress &peer)
{
    bool v4 = false;
    const quint32 ipv4 = peer.toIPv4Address(&v4);
    return v4 ? QHostAddress(ipv4).toString() : peer.toString();
}

// A press body: {"macro":N} or {"key":CODE}, nothing else.
bool parsePress(const QByteArray &body, bool *macro, int *value)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonObject press = document.object();
    if (!document.isObject() || press.size() != 1)
        return false;
    *macro = press.contains(QLatin1String("macro"));
    const QJsonValue number = press.value(QLatin1String(*macro ? "macro" : "key"));
    const double given = number.toDouble(-1.0);
    const int highest = *macro ? kMacroCount : kMaxKeyCode;
    if (!number.isDouble() || given != std::floor(given) || given < 1.0 || given > highest)
        return false;
    *value = static_cast<int>(given);
    return true;
}

} // namespace

DashboardHttp::DashboardHttp(const DashboardLimits &limits_, const QByteArray &page_, const QByteArray &pairingPage_)
    : limits(limits_), page(page_), pairingPage(pairingPage_), machineName(QHostInfo::localHostName()),
      server(new QTcpServer(this)), sweeper(this), pairingAttempts(limits_.pairingFailuresPerMinute)
{
    clock.start();
    sweeper.setInterval(kSweepMs);
    connect(&sweeper, &QTimer::timeout, this, &DashboardHttp::sweep);
    connect(server, &QTcpServer::newConnection, this, &DashboardHttp::accept);
}

DashboardHttp::~DashboardHttp()
{
    const QList<QTcpSocket *> open = connections.keys();
    for (QTcpSocket *socket : open)
        closeConnection(socket);
}

bool DashboardHttp::listen(quint16 port)
{
    if (!server->listen(QHostAddress::Any, port))
        return false;
    sweeper.start();
    return true;
}

quint16 DashboardHttp::port() const { return server->serverPort(); }

void DashboardHttp::setToken(const QByteArray &token_)
{
    if (token_ == token)
        return;
    token = token_;
    // Every open stream was paired with the old token.
    QList<QTcpSocket *> paired;
    for (const Connection &c : qAsConst(connections)) {
        if (c.phase == Phase::Stream)
            paired << c.socket;
    }
    for (QTcpSocket *socket : paired)
        closeConnection(socket);
}

void DashboardHttp::setMessage(const QByteArray &message_)
{
    message = message_;
    ++version;
    for (Connection &c : connections) {
        if (c.phase == Phase::Stream)
            sendState(c);
    }
}

void DashboardHttp::accept()
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        makeRoomForNewcomer();
        Connection c;
        c.socket = socket;
        c.address = addressText(socket->peerAddress());
        c.openedMs = clock.elapsed();
        // Qt buffers no more of a request than a whole one can hold.
        socket->setReadBufferSize(limits.maxHeaderBytes + limits.maxBodyBytes);
        connections.insert(socket, c);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { written(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { closeConnection(socket); });
    }
}

// One address must not be able to fill the table of unanswered connections:
// when it is full, the busiest address loses its oldest one.
void DashboardHttp::makeRoomForNewcomer()
{
    QHash<QString, int> pendingPerAddress;
    int pending = 0;
    for (const Connection &c : qAsConst(connections)) {
        if (isPending(c)) {
            ++pendingPerAddress[c.address];
            ++pending;
        }
    }
    if (pending < limits.maxPendingConnections)
        return;
    const QString busiest = busiestAddress(pendingPerAddress);
    const Connection *oldest = nullptr;
    for (const Connection &c : qAsConst(connections)) {
        const bool candidate = isPending(c) && c.address == busiest;
        if (candidate && (!oldest || c.openedMs < oldest->openedMs))
            oldest = &c;
    }
    if (oldest)
        closeConnection(oldest->socket);
}

void DashboardHttp::closeConnection(QTcpSocket *socket)
{
    const auto found = connections.find(socket);
    if (found == connections.end())
        return;
    if (found->phase == Phase::Stream)
        streams.fetch_sub(1);
    connections.erase(found);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void DashboardHttp::read(QTcpSocket *socket)
{
    const auto found = connections.find(socket);
    if (found == connections.end())
        return;
    Connection &c = *found;
    const qint64 now = clock.elapsed();
    if (c.firstByteMs < 0)
        c.firstByteMs = now;
    if (c.phase == Phase::Stream || c.phase == Phase::Answered) {
        // Nothing more is taken from it; a client that keeps sending is closed.
        c.discarded += socket->readAll().size();
        if (c.discarded > kMaxDiscardedBytes)
            closeConnection(socket);
        else
            written(socket);
        return;
    }
    c.received += socket->readAll();
    if (c.phase == Phase::Head) {
        int headBytes = 0;
        switch (parseHttpHead(c.received, limits.maxHeaderBytes, &c.head, &headBytes)) {
        case HeadStatus::Incomplete:
            return;
        case HeadStatus::TooLarge:
            answer(c, "431 Request Header Fields Too Large", "too large\n");
            return;
        case HeadStatus::Bad:
            answer(c, "400 Bad Request", "bad request\n");
            return;
        case HeadStatus::Complete:
            c.received.remove(0, headBytes);
            handleHead(c);
            return;
        }
    }
    if (c.received.size() >= c.head.contentLength)
        handleBody(c);
}

void DashboardHttp::written(QTcpSocket *socket)
{
    const auto found = connections.find(socket);
    if (found == connections.end())
        return;
    Connection &c = *found;
    c.progressMs = clock.elapsed();
    if (socket->bytesToWrite() > 0)
        return;
    if (c.phase == Phase::Stream && c.sentVersion != version)
        sendState(c);
    // Closed once the body it sent is in: a close with unread bytes would
    // reset the connection and could take the answer with it.
    if (c.phase == Phase::Answered && c.received.size() + c.discarded >= c.head.contentLength)
        socket->disconnectFromHost();
}

void DashboardHttp::sweep()
{
    const qint64 now = clock.elapsed();
    QList<QTcpSocket *> expired;
    for (Connection &c : connections) {
        switch (sweepAction(c, c.socket->bytesToWrite() > 0, now, limits)) {
        case SweepAction::Keep:
            break;
        case SweepAction::Close:
            expired << c.socket;
            break;
        case SweepAction::Resend:
            sendState(c);
            break;
        }
    }
    for (QTcpSocket *socket : expired)
        closeConnection(socket);
}

bool DashboardHttp::isPaired(const HttpRequestHead &head) const
{
    return sameSecret(cookieValue(head.field("cookie"), kPairingCookie), token);
}

// Decided from the head alone: nothing of a refused request's body is read.
void DashboardHttp::handleHead(Connection &c)
{
    const HttpRequestHead &h = c.head;
    const bool get = h.method == "GET";
    if (!isOwnHost(h.field("host"), machineName)) {
        answer(c, "421 Misdirected Request", "unknown host\n");
    } else if (!isOwnOrigin(h.field("origin"), h.field("host"))) {
        answer(c, "403 Forbidden", "foreign origin\n");
    } else if (h.path == "/" || h.path == "/index.html") {
        if (!get)
            answer(c, "405 Method Not Allowed", "not allowed\n");
        else if (h.query.contains("pair="))
            pairingRequest(c);
        else
            answerPage(c, isPaired(h) ? page : pairingPage);
    } else if (h.path == "/events" || h.path == "/paired") {
        if (!get)
            answer(c, "405 Method Not Allowed", "not allowed\n");
        else if (!isPaired(h))
            answer(c, "403 Forbidden", "not paired\n");
        else if (h.path == "/paired")
            answer(c, "200 OK", "paired\n");
        else
            openStream(c);
    } else if (h.path == "/press" || h.path == "/keys") {
        if (h.method != "POST")
            answer(c, "405 Method Not Allowed", "not allowed\n");
        else if (!isPaired(h))
            answer(c, "403 Forbidden", "not paired\n");
        else if (!hasMediaType(h.field("content-type"), "application/json"))
            answer(c, "415 Unsupported Media Type", "not json\n");
        else if (!h.has("content-length"))
            answer(c, "411 Length Required", "no length\n");
        else if (h.contentLength > limits.maxBodyBytes)
            answer(c, "413 Payload Too Large", "too large\n");
        else
            awaitBody(c);
    } else {
        answer(c, "404 Not Found", "not found\n");
    }
}

void DashboardHttp::pairingRequest(Connection &c)
{
    const qint64 now = clock.elapsed();
    if (!pairingAttempts.mayTry(c.address, now)) {
        answer(c, "429 Too Many Requests", "too many pairing attempts\n");
        return;
    }
    if (!sameSecret(queryValue(c.head.query, "pair"), token)) {
        pairingAttempts.failed(c.address, now);
        answer(c, "403 Forbidden", "this code is not valid: scan the code shown in Pitlink\n");
        return;
    }
    // The token leaves the address bar: the browser goes on to "/" with it
    // as a cookie that no script reads and no other site's request carries.
    answer(c, "303 See Other", QByteArray(),
           "Location: /\r\nReferrer-Policy: no-referrer\r\nSet-Cookie: " + QByteArray(kPairingCookie) + '=' + token
               + "; Path=/; Max-Age=" + QByteArray::number(kCookieSeconds) + "; HttpOnly; SameSite=Strict\r\n");
}

void DashboardHttp::awaitBody(Connection &c)
{
    c.phase = Phase::Body;
    if (c.received.size() >= c.head.contentLength)
        handleBody(c);
}

void DashboardHttp::handleBody(Connection &c)
{
    const QByteArray body = c.received.left(static_cast<int>(c.head.contentLength));
    if (c.head.path == "/keys") {
        // A whole list of key buttons, taken whole or refused with the reason.
        const DashboardKeysParse keys = parseDashboardKeys(body);
        if (!keys.ok) {
            answer(c, "400 Bad Request", keys.reason.toUtf8());
            return;
        }
        if (keysSink)
            keysSink(keys.keys);
        answer(c, "200 OK", "ok");
        return;
    }
    bool macro = false;
    int value = 0;
    if (!parsePress(body, &macro, &value)) {
        answer(c, "400 Bad Request", "bad press");
        return;
    }
    if (pressGate && !pressGate(c.address, macro)) {
        answer(c, "429 Too Many Requests", kTooManyRequests);
        return;
    }
    bool onTop = true;
    if (!macro) {
        // The same check as command 209 makes: the simulator's window in front now.
        platform::Os &os = platform::os();
        const platform::WindowId simulator = os.findWindow(telemetry::kSimulatorWindowTitle);
        onTop = simulator != 0 && os.foregroundWindow() == simulator;
    }
    if (pressSink)
        pressSink(macro, macro ? value - 1 : value); // 0-based macro, as command 206 hands it on
    answer(c, "200 OK", onTop ? "ok" : kNotInFront);
}

void DashboardHttp::openStream(Connection &c)
{
    int fromAddress = 0;
    for (const Connection &other : qAsConst(connections)) {
        if (other.phase == Phase::Stream && other.address == c.address)
            ++fromAddress;
    }
    if (streams.load() >= limits.maxStreams || fromAddress >= limits.maxStreamsPerAddress) {
        answer(c, "503 Service Unavailable", "too many dashboards\n");
        return;
    }
    c.phase = Phase::Stream;
    streams.fetch_add(1);
    c.socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
                    "X-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\nretry: "
                    + QByteArray::number(kReconnectHintMs) + "\n\n");
    c.progressMs = clock.elapsed();
    c.sentMs = c.progressMs;
    if (!message.isEmpty())
        sendState(c);
}

// A page gets the newest state only: while its last one is still on the way,
// newer ones wait, and only the latest of them is sent.
void DashboardHttp::sendState(Connection &c)
{
    if (c.socket->bytesToWrite() > 0 || message.isEmpty())
        return;
    c.socket->write("data: " + message + "\n\n");
    c.sentVersion = version;
    c.sentMs = clock.elapsed();
    c.progressMs = c.sentMs;
}

// Every answer closes its connection once it is read (see written()).
void DashboardHttp::respond(Connection &c, const QByteArray &status, const QByteArray &fields, const QByteArray &body)
{
    c.phase = Phase::Answered;
    c.progressMs = clock.elapsed();
    c.socket->write("HTTP/1.1 " + status + "\r\n" + fields + "Content-Length: " + QByteArray::number(body.size())
                    + "\r\nConnection: close\r\n\r\n" + body);
}

void DashboardHttp::answer(Connection &c, const QByteArray &status, const QByteArray &text,
                           const QByteArray &extraFields)
{
    respond(c, status,
            "Content-Type: text/plain; charset=utf-8\r\nCache-Control: no-store\r\n"
            "X-Content-Type-Options: nosniff\r\n" + extraFields,
            text);
}

void DashboardHttp::answerPage(Connection &c, const QByteArray &body)
{
    respond(c, "200 OK", kPageFields, body);
}
