#include "web/DashboardServer.h"

#include "platform/Platform.h"
#include "server/CommandHandler.h"
#include "simlink/TelemetryLayout.h"

#include <civetweb.h>

#include <QDebug>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

namespace {

constexpr int kMacroRereadMs = 5000;
constexpr int kMacroCount = 15;
constexpr int kMaxKeyCode = 255;
constexpr int kReconnectHintMs = 1000;
constexpr int kSpareThreads = 4; // the page, presses and the 503 answers
constexpr int kLogLineMaxChars = 200;

const char *const kPageResource = ":/web/dashboard.html";
const char *const kNotInFront = "not in front";
const char *const kTooManyRequests = "too many requests";

// Nothing the page is served with may load from elsewhere.
const char *const kPageHeaders =
    "Content-Type: text/html; charset=utf-8\r\n"
    "Cache-Control: no-cache\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Referrer-Policy: no-referrer\r\n"
    "Content-Security-Policy: default-src 'none'; script-src 'unsafe-inline'; "
    "style-src 'unsafe-inline'; connect-src 'self'; base-uri 'none'; form-action 'none'\r\n";

constexpr int kPokeIntervalMs = 50;
constexpr int kPokeConnectMs = 100;
constexpr int kPreviousStopWaitMs = 3000;

// The end of the last stop that was left running (GUI thread only): a new
// start waits for it, as the port is free only then.
std::shared_future<void> &previousStop()
{
    static std::shared_future<void> stop;
    return stop;
}

// civetweb's listening thread looks at its stop flag only between waits of
// a few seconds; a connection wakes it at once.
void pokeListener(quint16 port)
{
    QTcpSocket poke;
    poke.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    poke.waitForConnected(kPokeConnectMs);
    poke.abort();
}

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mg_init_library(0); });
}

} // namespace

struct DashboardServer::Shared {
    DashboardLimits limits;
    QByteArray page;

    std::mutex lock; // guards everything below it
    std::condition_variable changed;
    QByteArray message; // the newest state message, shared, never written in place
    quint64 version = 0;
    bool stopping = false;
    // Set while the owner lives: hands a press to the GUI thread.
    std::function<void(bool macro, int value)> forward;
    PressGate gate;

    std::atomic<int> streams{0};

    // Request handling, on civetweb's threads.
    int handle(mg_connection *conn);
    void sendText(mg_connection *conn, int status, const char *reason, const char *text);
    void servePage(mg_connection *conn);
    void serveEvents(mg_connection *conn);
    void servePress(mg_connection *conn, const mg_request_info *info);
};

void DashboardServer::Shared::sendText(mg_connection *conn, int status, const char *reason, const char *text)
{
    mg_printf(conn,
              "HTTP/1.1 %d %s\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: %u\r\n"
              "Cache-Control: no-store\r\nConnection: close\r\n\r\n%s",
              status, reason, static_cast<unsigned>(std::strlen(text)), text);
}

void DashboardServer::Shared::servePage(mg_connection *conn)
{
    mg_printf(conn, "HTTP/1.1 200 OK\r\n%sContent-Length: %d\r\nConnection: close\r\n\r\n", kPageHeaders,
              page.size());
    mg_write(conn, page.constData(), static_cast<size_t>(page.size()));
}

void DashboardServer::Shared::serveEvents(mg_connection *conn)
{
    int open = streams.load();
    do {
        if (open >= limits.maxConnections) {
            sendText(conn, 503, "Service Unavailable", "too many dashboards\n");
            return;
        }
    } while (!streams.compare_exchange_weak(open, open + 1));

    mg_printf(conn,
              "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
              "X-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\nretry: %d\n\n",
              kReconnectHintMs);

    // The page gets the newest state only: states that came while it was
    // still reading are skipped, so nothing queues up here. A page that does
    // not read at all stalls the write, which civetweb gives up after the
    // request time-out; the connection is then closed.
    quint64 sent = 0;
    for (;;) {
        QByteArray next;
        {
            std::unique_lock<std::mutex> held(lock);
            changed.wait_for(held, std::chrono::milliseconds(limits.resendMs),
                             [&] { return stopping || version != sent; });
            if (stopping)
                break;
            next = message;
            sent = version;
        }
        if (next.isEmpty())
            continue; // nothing published yet
        const QByteArray event = QByteArrayLiteral("data: ") + next + QByteArrayLiteral("\n\n");
        if (mg_write(conn, event.constData(), static_cast<size_t>(event.size())) != event.size())
            break;
    }
    streams.fetch_sub(1);
}

void DashboardServer::Shared::servePress(mg_connection *conn, const mg_request_info *info)
{
    if (info->content_length > limits.maxBodyBytes) {
        sendText(conn, 413, "Payload Too Large", "too large\n");
        return;
    }
    // The body is read whole (up to the limit) so the connection ends clean.
    QByteArray body(limits.maxBodyBytes + 1, '\0');
    int total = 0;
    for (;;) {
        const int n = mg_read(conn, body.data() + total, static_cast<size_t>(body.size() - total));
        if (n <= 0)
            break;
        total += n;
        if (total > limits.maxBodyBytes) {
            sendText(conn, 413, "Payload Too Large", "too large\n");
            return;
        }
    }
    const QByteArray text = body.left(total).trimmed();
    const int equals = text.indexOf('=');
    const QByteArray kind = text.left(equals);
    bool ok = false;
    const int value = equals > 0 ? text.mid(equals + 1).toInt(&ok, 10) : 0;
    const bool macro = kind == "macro";
    if (!ok || (!macro && kind != "key") || (macro && (value < 1 || value > kMacroCount))
        || (!macro && (value < 1 || value > kMaxKeyCode))) {
        sendText(conn, 400, "Bad Request", "bad press\n");
        return;
    }

    // The owner's hooks are used under the lock, so stop() cannot take them
    // away in the middle of a press.
    std::unique_lock<std::mutex> held(lock);
    if (!forward) {
        held.unlock();
        sendText(conn, 503, "Service Unavailable", "stopping\n");
        return;
    }
    if (gate && !gate(QString::fromLatin1(info->remote_addr), macro)) {
        held.unlock();
        sendText(conn, 429, "Too Many Requests", kTooManyRequests);
        return;
    }
    bool onTop = true;
    if (!macro) {
        // The same check as command 209 makes: the simulator's window in front now.
        platform::Os &os = platform::os();
        const platform::WindowId simulator = os.findWindow(telemetry::kSimulatorWindowTitle);
        onTop = simulator != 0 && os.foregroundWindow() == simulator;
    }
    // 0-based macro index, as command 206 hands it on.
    forward(macro, macro ? value - 1 : value);
    held.unlock();
    sendText(conn, 200, "OK", onTop ? "ok" : kNotInFront);
}

int DashboardServer::Shared::handle(mg_connection *conn)
{
    const mg_request_info *info = mg_get_request_info(conn);
    const QByteArray method(info->request_method ? info->request_method : "");
    const QByteArray uri(info->local_uri ? info->local_uri : "");
    if (method == "GET" && (uri == "/" || uri == "/index.html")) {
        servePage(conn);
        return 200;
    }
    if (method == "GET" && uri == "/events") {
        serveEvents(conn);
        return 200;
    }
    if (method == "POST" && uri == "/press") {
        servePress(conn, info);
        return 200;
    }
    if (uri == "/" || uri == "/events" || uri == "/press") {
        sendText(conn, 405, "Method Not Allowed", "not allowed\n");
        return 405;
    }
    sendText(conn, 404, "Not Found", "not found\n");
    return 404;
}

namespace {

int beginRequest(mg_connection *conn)
{
    auto *shared = static_cast<DashboardServer::Shared *>(mg_get_request_info(conn)->user_data);
    return shared->handle(conn);
}

int logMessage(const mg_connection *, const char *message)
{
    // Civetweb's own complaints go to the debug output, cut short, and never
    // to the pane: a page must not be able to fill it.
    qDebug().noquote() << "civetweb:" << QString::fromUtf8(message).left(kLogLineMaxChars);
    return 1;
}

} // namespace

DashboardServer::DashboardServer(QObject *parent, const DashboardLimits &limits_)
    : QObject(parent), limits(limits_)
{
}

DashboardServer::~DashboardServer() { stop(); }

bool DashboardServer::start(quint16 port)
{
    if (context)
        return true;
    initLibrary();
    Q_INIT_RESOURCE(dashboard);
    if (previousStop().valid()) {
        previousStop().wait_for(std::chrono::milliseconds(kPreviousStopWaitMs));
        previousStop() = std::shared_future<void>();
    }

    shared = std::make_shared<Shared>();
    shared->limits = limits;
    QFile page{QString::fromLatin1(kPageResource)};
    if (page.open(QIODevice::ReadOnly))
        shared->page = page.readAll();
    shared->gate = pressGate;
    shared->forward = [this](bool macro, int value) {
        // Queued to the GUI thread; dropped there if this object is gone.
        QMetaObject::invokeMethod(
            this,
            [this, macro, value] {
                if (macro)
                    emit sigButtonChatClicked(value);
                else
                    emit sigKeyboardKey(value);
            },
            Qt::QueuedConnection);
    };

    const QByteArray ports = QByteArray::number(port);
    const QByteArray threads = QByteArray::number(limits.maxConnections + kSpareThreads);
    const QByteArray timeout = QByteArray::number(limits.requestTimeoutMs);
    const QByteArray headerBytes = QByteArray::number(limits.maxHeaderBytes);
    const char *options[] = {"listening_ports", ports.constData(),
                             "num_threads", threads.constData(),
                             "request_timeout_ms", timeout.constData(),
                             "max_request_size", headerBytes.constData(),
                             "enable_keep_alive", "no",
                             nullptr};
    mg_callbacks callbacks;
    std::memset(&callbacks, 0, sizeof callbacks);
    callbacks.begin_request = beginRequest;
    callbacks.log_message = logMessage;
    context = mg_start(&callbacks, shared.get(), options);
    if (!context) {
        shared.reset();
        return false;
    }
    listeningPort = port;
    return true;
}

void DashboardServer::stop()
{
    if (!context)
        return;
    std::shared_ptr<Shared> keep = shared;
    {
        std::lock_guard<std::mutex> held(keep->lock);
        keep->stopping = true;
        keep->forward = nullptr;
        keep->gate = nullptr;
    }
    keep->changed.notify_all();

    // civetweb notices a stop between its waits, which can take it a moment
    // with a page that reads nothing; the program does not wait for that
    // longer than the limit. The threads keep the shared state alive.
    mg_context *stopping = context;
    context = nullptr;
    shared.reset();
    auto done = std::make_shared<std::promise<void>>();
    std::shared_future<void> finished = done->get_future().share();
    std::thread([stopping, keep, done] {
        mg_stop(stopping);
        done->set_value();
    }).detach();
    QElapsedTimer waited;
    waited.start();
    while (finished.wait_for(std::chrono::milliseconds(kPokeIntervalMs)) != std::future_status::ready) {
        if (waited.elapsed() >= limits.stopWaitMs) {
            qDebug() << "Dashboard still closing connections";
            previousStop() = finished;
            break;
        }
        pokeListener(listeningPort);
    }
    published = false;
}

void DashboardServer::setPressGate(PressGate gate)
{
    pressGate = std::move(gate);
    if (!shared)
        return;
    std::lock_guard<std::mutex> held(shared->lock);
    shared->gate = pressGate;
}

int DashboardServer::connectionCount() const
{
    const std::shared_ptr<Shared> s = shared;
    return s ? s->streams.load() : 0;
}

void DashboardServer::publish(const irVariables &vars, const QString &documentsPath)
{
    if (!shared)
        return;
    bool macrosChanged = false;
    if (!macrosAge.isValid() || macrosAge.elapsed() >= kMacroRereadMs || documentsPath != macrosPath) {
        const QVector<ChatMacro> fresh = chatMacroButtons(chatMacros(documentsPath));
        macrosChanged = fresh.size() != macros.size();
        for (int i = 0; !macrosChanged && i < fresh.size(); ++i)
            macrosChanged = fresh[i].number != macros[i].number || fresh[i].text != macros[i].text;
        macros = fresh;
        macrosPath = documentsPath;
        macrosAge.start();
    }
    if (published && !macrosChanged && vars == lastVars)
        return;
    lastVars = vars;
    published = true;
    const QByteArray message = dashboardStateMessage(vars, macros, QVector<DashboardKey>());
    {
        std::lock_guard<std::mutex> held(shared->lock);
        shared->message = message;
        ++shared->version;
    }
    shared->changed.notify_all();
}
