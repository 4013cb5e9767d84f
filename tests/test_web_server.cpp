// The dashboard: its state message built from snapshots (units, time or
// laps left, the fuel estimate, the standings join), and its HTTP side with
// real loopback sockets: requests and their answers, the bounds on
// connections, headers and bodies, a page that stops reading, and a stop that
// does not wait for it.

#include "qt_printers.h"
#include "platform/fake/FakeOs.h"
#include "server/RateWindow.h"
#include "simlink/TelemetryLayout.h"
#include "web/DashboardHttp.h"
#include "web/DashboardServer.h"
#include "web/StateMessage.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

// Outside the unnamed namespace: the printer finds it through the enum's.
inline void PrintTo(SweepAction action, std::ostream *os)
{
    const char *const names[] = {"Keep", "Close", "Resend"};
    *os << names[static_cast<int>(action)];
}

namespace {

constexpr int kIoMs = 3000;
constexpr platform::WindowId kSimulator = 7;
constexpr platform::WindowId kOther = 8;
const QByteArray kToken = "pairedpairedpairedpaired";
const QByteArray kPaired = "Cookie: other=1; pitlink=" + kToken;
const QByteArray kJson = "Content-Type: application/json";
const QByteArray kHost = "Host: 127.0.0.1:47813";

// A request as it stands on the wire: the request line and the fields, one
// an element; a Content-Length when there is a body, and the body.
QByteArray request(QList<QByteArray> lines, const QByteArray &body = QByteArray())
{
    if (!body.isEmpty())
        lines << "Content-Length: " + QByteArray::number(body.size());
    return lines.join("\r\n") + "\r\n\r\n" + body;
}

QByteArray press(const QByteArray &body)
{
    return request({"POST /press HTTP/1.1", kHost, kPaired, kJson}, body);
}

// What a paired page asks for: itself and its stream of states.
const QByteArray kPage = request({"GET / HTTP/1.1", kHost, kPaired});
const QByteArray kStream = request({"GET /events HTTP/1.1", kHost, kPaired});

// A connection from `from` (any loopback address), connected.
std::unique_ptr<QTcpSocket> connectFrom(quint16 port, const char *from = "127.0.0.1")
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->bind(QHostAddress(QString::fromLatin1(from)));
    socket->connectToHost(QHostAddress::LocalHost, port);
    socket->waitForConnected(kIoMs);
    return socket;
}

// One request on a connection of its own; everything the server sent until
// it closed.
QByteArray exchange(quint16 port, const QByteArray &text, const char *from = "127.0.0.1")
{
    auto socket = connectFrom(port, from);
    socket->write(text);
    socket->waitForDisconnected(kIoMs);
    return socket->readAll();
}

// Whether `answer` has the status and holds `part`; its start when not.
::testing::AssertionResult answered(const QByteArray &answer, const char *status, const QByteArray &part = QByteArray())
{
    const bool matches = answer.startsWith(QByteArray("HTTP/1.1 ") + status) && answer.contains(part);
    return matches ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << answer.left(300).constData();
}

// A paired page's stream; one that `stalls` leaves everything in the kernel.
std::unique_ptr<QTcpSocket> openStream(quint16 port, bool stalls = false, const char *from = "127.0.0.1")
{
    auto socket = connectFrom(port, from);
    socket->setReadBufferSize(stalls ? 1 : 0); // 0: no bound, as a socket starts
    socket->write(kStream);
    socket->waitForBytesWritten(kIoMs);
    return socket;
}

class DashboardHttpTest : public ::testing::Test {
protected:
    void start(const std::function<void(DashboardLimits &)> &change = [](DashboardLimits &) {})
    {
        DashboardLimits limits;
        change(limits);
        dashboard = std::make_unique<DashboardServer>(nullptr, limits);
        dashboard->setToken(kToken);
        ASSERT_TRUE(dashboard->start(0));
        port = dashboard->port();
    }
    bool waitForPages(int pages) { return QTest::qWaitFor([&] { return dashboard->connectionCount() == pages; }, kIoMs); }
    // Keeps publishing a several hundred KiB state that changes each time.
    void publishBulky(int times)
    {
        irVariables v;
        v.simConnected = true; // else the track is not sent
        v.trackName = QString(300 * 1024, QLatin1Char('t'));
        for (int i = 0; i < times && dashboard->connectionCount() > 0; ++i) {
            v.speed += 1.0f;
            dashboard->publish(v, QString());
            QTest::qWait(20);
        }
    }

    platform::FakeOs os; // before the dashboard, so it outlives it: the dashboard's thread uses it
    quint16 port = 0;
    std::unique_ptr<DashboardServer> dashboard;
};

enum class Setting { SimulatorInFront, SimulatorBehind, NoWindows, GateRefuses };

TEST_F(DashboardHttpTest, onlyPairedPagesOfThisMachineAreServedAndPressesAnsweredAsTheCommandsAnswerThem)
{
    bool refuse = false;
    start();
    dashboard->setPressGate([&refuse](const QString &peer, bool) {
        EXPECT_EQ(peer, QStringLiteral("127.0.0.1")) << "the budgets are kept per address";
        return !refuse;
    });
    QStringList played;
    QObject::connect(dashboard.get(), &DashboardServer::sigButtonChatClicked, [&](int id) { played << QStringLiteral("chat %1").arg(id); });
    QObject::connect(dashboard.get(), &DashboardServer::sigKeyboardKey, [&](int code) { played << QStringLiteral("key %1").arg(code); });
    QObject::connect(dashboard.get(), &DashboardServer::sigKeysChanged, [&](const QVector<DashboardKey> &keys) { played << QStringLiteral("%1 keys").arg(keys.size()); });
    const struct {
        const char *name;
        const char *status;
        QByteArray part; // of the head, or the whole body after it
        QByteArray request;
        QString played = QString(); // "chat N", "key N", "N keys" or nothing
        Setting setting = Setting::SimulatorInFront;
    } rows[] = {
        {"unpaired page says how to pair", "200", "Scan the code", request({"GET / HTTP/1.1", kHost})},
        {"name that can be rebound", "421", "", request({"GET /events HTTP/1.1", "Host: evil.example:47813"})},
        {"IPv6 host, the highest port", "200", "frame-ancestors", request({"GET / HTTP/1.1", "Host: [::ffff:127.0.0.1]:65535", kPaired})},
        {"IPv6 host with junk after it", "421", "", request({"GET / HTTP/1.1", "Host: [::1]x"})},
        {"an address written another way", "421", "", request({"GET / HTTP/1.1", "Host: 0x7f.0.0.1:47813", kPaired})},
        {"IPv6 host, a port of six digits", "421", "", request({"GET / HTTP/1.1", "Host: [::1]:047813", kPaired})},
        {"port of six digits", "421", "", request({"GET / HTTP/1.1", "Host: 127.0.0.1:047813"})},
        {"control character in the target", "400", "", request({"GET /a\x01b HTTP/1.1", kHost, kPaired})},
        {"delete in a field", "400", "", request({"GET / HTTP/1.1", kHost, kPaired, "X-Note: a\x7f"})},
        {"a field name that is no token", "400", "", request({"GET / HTTP/1.1", kHost, kPaired, "X Note: a"})},
        {"a bare line feed", "400", "", request({"GET / HTTP/1.1", kHost + "\nX-Note: a"})},
        {"HTTP/1.0, to the machine's name: the dashboard", "200", "<title>Pitlink</title>", request({"GET / HTTP/1.0", "Host: " + QHostInfo::localHostName().toUtf8() + ":47813", kPaired})},
        {"a host twice", "400", "", request({"GET / HTTP/1.1", kHost, kPaired, "Host: localhost:47813"})},
        {"to localhost with no space after the colon, a field that may repeat, twice", "200", "frame-ancestors", request({"GET / HTTP/1.1", "Host:localhost:47813", kPaired, "X-Tag: a", "X-Tag: b"})},
        {"another version", "400", "", request({"GET / HTTP/2.0", kHost, kPaired})},
        {"a path not from the root", "400", "", request({"GET index.html HTTP/1.1", kHost, kPaired})},
        {"a length of nine digits", "200", "frame-ancestors 'none'", request({"GET / HTTP/1.1", kHost, kPaired, "Content-Length: 000000000"})},
        {"a length of ten digits", "400", "", request({"GET / HTTP/1.1", kHost, kPaired, "Content-Length: 0000000000"})},
        {"an empty length", "400", "", request({"GET / HTTP/1.1", kHost, kPaired, "Content-Length:"})},
        {"a length with a letter", "400", "", request({"GET / HTTP/1.1", kHost, kPaired, "Content-Length: 1x"})},
        {"unpaired stream", "403", "", request({"GET /events HTTP/1.1", kHost, "Cookie: pitlink=" + kToken.left(23)})},
        {"the code and one more character", "403", "", request({"GET /events HTTP/1.1", kHost, "Cookie: pitlink=" + kToken + "0"})},
        {"unpaired press", "403", "", request({"POST /press HTTP/1.1", kHost, kJson}, R"({"macro":3})")},
        {"form press", "415", "", request({"POST /press HTTP/1.1", kHost, kPaired, "Content-Type: text/plain"}, R"({"macro":3})")},
        {"press from another page", "403", "", request({"POST /press HTTP/1.1", kHost, kPaired, kJson, "Origin: http://127.0.0.1:8000"}, R"({"macro":3})")},
        {"press from the page", "200", "\r\n\r\nok", request({"POST /press HTTP/1.1", kHost, kPaired, kJson, "Origin: http://127.0.0.1:47813"}, R"({"macro":3})"), "chat 2"},
        {"key while behind", "200", "\r\n\r\nnot in front", press(R"({"key":32})"), "key 32", Setting::SimulatorBehind},
        {"key, neither window", "200", "\r\n\r\nnot in front", press(R"({"key":32})"), "key 32", Setting::NoWindows},
        {"macro 16", "400", "\r\n\r\nbad press", press(R"({"macro":16})")},
        {"key 254", "200", "\r\n\r\nok", press(R"({"key":254})"), "key 254"},
        {"key 255", "400", "\r\n\r\nbad press", press(R"({"key":255})")},
        {"fraction", "400", "\r\n\r\nbad press", press(R"({"key":3.5})")},
        {"two presses", "400", "\r\n\r\nbad press", press(R"({"key":3,"macro":1})")},
        {"macro refused", "429", "\r\n\r\ntoo many requests", press(R"({"macro":1})"), "", Setting::GateRefuses},
        {"a body of 4 KiB", "400", "\r\n\r\nbad press", press(QByteArray(4096, ' '))},
        {"body too large", "413", "", press(QByteArray(4097, ' '))},
        // The bound is 8 KiB; the request line and the other fields take 102 bytes.
        {"a head of 8 KiB", "200", "frame-ancestors", request({"GET / HTTP/1.1", kHost, kPaired, "X-Fill: " + QByteArray(8192 - 102, 'h')})},
        {"head too large", "431", "", request({"GET / HTTP/1.1", kHost, kPaired, "X-Fill: " + QByteArray(8193 - 102, 'h')})},
        {"8 KiB with no end of the head yet", "431", "", "GET / HTTP/1.1\r\nX-Fill: " + QByteArray(8192 - 24, 'h')},
        {"chunked", "400", "", request({"POST /press HTTP/1.1", kHost, "Transfer-Encoding: chunked"})},
        {"key buttons", "200", "\r\n\r\nok", request({"POST /keys HTTP/1.1", kHost, kPaired, kJson}, R"({"keys":[{"label":"Pit","key":80},{"label":"F","key":70}]})"), "2 keys"},
        {"key buttons refused whole", "400", "\r\n\r\nempty label", request({"POST /keys HTTP/1.1", kHost, kPaired, kJson}, R"({"keys":[{"label":"Pit","key":80},{"label":" ","key":70}]})")},
        {"other path", "404", "", request({"GET /other HTTP/1.1", kHost})},
        {"other method", "405", "", request({"DELETE / HTTP/1.1", kHost})},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        os.setWindow(telemetry::kSimulatorWindowTitle, row.setting == Setting::NoWindows ? 0 : kSimulator);
        os.setForegroundWindow(row.setting == Setting::SimulatorBehind ? kOther : os.findWindow(telemetry::kSimulatorWindowTitle));
        refuse = row.setting == Setting::GateRefuses;
        EXPECT_TRUE(answered(exchange(port, row.request), row.status, row.part));
        QCoreApplication::processEvents(); // the presses were queued to this thread before the answer
        EXPECT_EQ(played.join(QLatin1Char(',')), row.played);
        played.clear();
    }
}

TEST_F(DashboardHttpTest, tenWrongTokensAMinuteFromOneAddressAreAllItGets)
{
    start();
    EXPECT_EQ(os.loweredThreads(), 1) << "the dashboard's thread runs below normal priority";
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(answered(exchange(port, request({"GET /?pair=x" + kToken + " HTTP/1.1", kHost})), "403", "not valid")) << i;
    const QByteArray right = request({"GET /?from=qr&pair=" + kToken + " HTTP/1.1", kHost});
    EXPECT_TRUE(answered(exchange(port, right), "429"));
    EXPECT_TRUE(answered(exchange(port, right, "127.0.0.2"), "303",
                         "Set-Cookie: pitlink=" + kToken + "; Path=/; Max-Age=315360000; HttpOnly; SameSite=Strict"));
}

// 1024 addresses that failed fill the table; the failure of one more finds it
// full and is not kept, so that address is as new as any other, and a new
// one waits only until the table's failures age out.
TEST(PairingAttemptsTest, aFullTableTakesANewAddressOnceItsFailuresAgeOut)
{
    PairingAttempts attempts(10);
    for (int i = 0; i < 1025; ++i)
        attempts.failed(QString::number(i), 0);
    EXPECT_FALSE(attempts.mayTry(QLatin1String("1024"), 59999));
    EXPECT_TRUE(attempts.mayTry(QLatin1String("phone"), 60000));
}

// The busiest address is found wherever the table's order puts it.
TEST(DashboardAccess, theBusiestAddressNeedNotComeFirst)
{
    QHash<QString, int> pending{{"192.0.2.1", 1}, {"192.0.2.2", 1}};
    const QString second = std::next(pending.cbegin()).key();
    pending[second] = 3;
    EXPECT_EQ(busiestAddress(pending), second);
}


// A connection opened, written to and sent a state at 0, under the default
// limits: each deadline is kept to its millisecond, and the sweep that
// applies them runs at least five times a second.
TEST(ConnectionSweep, eachDeadlineFallsOnItsOwnMillisecond)
{
    const struct {
        const char *name;
        ConnectionPhase phase;
        qint64 firstByteMs;
        bool writing;
        qint64 deadlineMs;
        SweepAction due;
    } rows[] = {
        {"no byte: the idle time-out", ConnectionPhase::Head, -1, false, 5000, SweepAction::Close},
        {"a first byte at 0: the whole request's time-out", ConnectionPhase::Body, 0, false, 10000, SweepAction::Close},
        {"a page that does not read: the stall time-out", ConnectionPhase::Stream, -1, true, 10000, SweepAction::Close},
        {"a page that reads: the resend period", ConnectionPhase::Stream, -1, false, 2000, SweepAction::Resend},
        {"an answer: the time it lingers", ConnectionPhase::Answered, -1, false, 1000, SweepAction::Close},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ConnectionTimes c;
        c.phase = row.phase;
        c.firstByteMs = row.firstByteMs;
        EXPECT_EQ(sweepAction(c, row.writing, row.deadlineMs - 1, DashboardLimits()), SweepAction::Keep);
        EXPECT_EQ(sweepAction(c, row.writing, row.deadlineMs, DashboardLimits()), row.due);
    }
    EXPECT_LE(DashboardHttp(DashboardLimits(), QByteArray(), QByteArray()).findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->interval(), 200);
}

// An open page gets the last state again now and then; stopped and started
// again (the server button), the dashboard gives its pages the state and the
// key buttons it had, though no newer state came; a new pairing code ends it.
TEST_F(DashboardHttpTest, anOpenPageGetsTheLastStateAgainEachResendPeriodAndAfterARestartUntilANewCodeEndsIt)
{
    start([](DashboardLimits &l) { l.resendMs = 100; });
    dashboard->publish(irVariables(), QString());
    dashboard->setKeys({{QStringLiteral("Pit"), 80}});
    dashboard->stop();
    dashboard->start(0);
    dashboard->publish(irVariables(), QString());
    auto page = openStream(dashboard->port());
    QByteArray received;
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.append(page->readAll()).count("data: ") >= 3 && received.contains(R"("keys":[{"key":80,"label":"Pit"}])"); }, kIoMs)) << received.constData();
    // A new pairing code ends the pages of the old one at once.
    dashboard->setToken("newnewnewnewnewnewnewnew");
    EXPECT_TRUE(page->state() == QAbstractSocket::UnconnectedState || page->waitForDisconnected(kIoMs));
    // Another cannot start on its port.
    DashboardServer second(nullptr, DashboardLimits());
    EXPECT_FALSE(second.start(dashboard->port()));
}

TEST_F(DashboardHttpTest, pagesPastTheirBoundsAreRefusedOrClosedAndTheOthersGetEachNewState)
{
    start([](DashboardLimits &l) { l.resendMs = 60000; }); // only a new state is sent
    std::vector<std::unique_ptr<QTcpSocket>> streams;
    for (const char *from : {"127.0.0.1", "127.0.0.2", "127.0.0.3"}) {
        for (int i = 0; i < 4; ++i)
            streams.push_back(openStream(port, false, from));
    }
    EXPECT_TRUE(waitForPages(12));
    EXPECT_TRUE(answered(exchange(port, kStream), "503"));
    for (int i = 0; i < 4; ++i)
        streams.push_back(openStream(port, false, "127.0.0.4"));
    EXPECT_TRUE(waitForPages(16));
    EXPECT_TRUE(answered(exchange(port, kStream, "127.0.0.5"), "503"));
    QTcpSocket &page = *streams.front();
    // The macros are read again from another folder: the same ones are no new
    // state, and nor is the same snapshot with the macros not read again.
    QTemporaryDir documents;
    QFile ini(documents.path() + "/app.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly) && ini.write("[Autochat Messages]\nAutoChatStr1=\"  \"\nAutoChatStr2=<i>gg</i>\n") > 0 && ini.flush());
    dashboard->publish(irVariables(), documents.path());
    QByteArray first;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        first += page.readAll();
        return first.contains("data: {") && first.endsWith("\n\n");
    }, kIoMs)) << first.constData();
    // Numbered from 1, a blank macro has no button, a text stays text.
    EXPECT_TRUE(first.contains("data: {\"connected\":false")) << first.constData();
    EXPECT_TRUE(first.contains(R"("macros":[{"number":2,"text":"<i>gg</i>"}])")) << first.constData();
    dashboard->publish(irVariables(), documents.path() + "/");
    dashboard->publish(irVariables(), documents.path() + "/");
    EXPECT_FALSE(page.waitForReadyRead(500)) << page.readAll().constData();
    dashboard->setKeys({{QStringLiteral("Pit"), 80}});
    EXPECT_TRUE(page.waitForReadyRead(kIoMs)) << "new key buttons are a new state";
    // Past its request a page has nothing to say: one that keeps sending is
    // closed once it has sent more than 64 KiB.
    streams.back()->write(QByteArray(64 * 1024, 'x'));
    EXPECT_FALSE(streams.back()->waitForDisconnected(500)) << "64 KiB is still taken";
    streams.back()->write("x");
    EXPECT_TRUE(streams.back()->waitForDisconnected(kIoMs));
}

TEST_F(DashboardHttpTest, slowAndIdleSocketsOfOneAddressKeepNoOtherFromItsPageAndEndAtTheirDeadline)
{
    const struct {
        const char *name;
        QByteArray sent; // by each of one address's sockets, then a byte now and then; or nothing
    } rows[] = {
        {"64 idle sockets", ""},
        {"64 bodies that pause", press(R"({"macro":1})" + QByteArray(8, ' ')).chopped(8)},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        start([](DashboardLimits &l) {
            l.idleTimeoutMs = 3000;
            l.requestTimeoutMs = 5000;
        });
        QSignalSpy chats(dashboard.get(), &DashboardServer::sigButtonChatClicked);
        std::vector<std::unique_ptr<QTcpSocket>> attackers;
        attackers.push_back(connectFrom(port));
        // A page served after the first socket was taken in; the others come clearly later.
        auto page = openStream(port, false, "127.0.0.3");
        ASSERT_TRUE(waitForPages(1));
        QTest::qWait(10);
        while (attackers.size() < 64)
            attackers.push_back(connectFrom(port));
        for (const auto &attacker : attackers)
            attacker->write(row.sent);
        const auto connected = [](const auto &a) { return a->state() == QAbstractSocket::ConnectedState; };
        const auto open = [&] { return std::count_if(attackers.begin(), attackers.end(), connected); };
        const qint64 phoneMs = steadyMs();
        EXPECT_TRUE(answered(exchange(port, kPage, "127.0.0.2"), "200"));
        EXPECT_LT(steadyMs() - phoneMs, 2000) << "well before the idle time-out would have made room";
        EXPECT_TRUE(QTest::qWaitFor([&] { return open() == 63; }, kIoMs));
        EXPECT_FALSE(connected(attackers[0])) << "the oldest of the busiest address went";
        // A byte of the body now and then, each well within the idle time,
        // the last one well after the whole request's deadline.
        for (int i = 0; i < 8 && open() > 0; ++i) {
            QTest::qWait(800);
            for (const auto &attacker : attackers) {
                if (!row.sent.isEmpty() && connected(attacker))
                    attacker->write(" ");
            }
        }
        EXPECT_EQ(open(), 0);
        QTest::qWait(50);
        EXPECT_TRUE(chats.isEmpty());
    }
}

TEST_F(DashboardHttpTest, aPageThatStopsReadingIsClosedAndDoesNotHoldUpTheStop)
{
    start([](DashboardLimits &l) { l.requestTimeoutMs = 1000; }); // the stall allowed a write, shortened
    auto stalled = openStream(port, true);
    ASSERT_TRUE(waitForPages(1));
    publishBulky(750);
    EXPECT_EQ(dashboard->connectionCount(), 0) << "a stalled page stays connected";

    // With the normal stall limit the page is still open when the stop comes.
    // A page that reads again gets the newest state (30 m/s, 67 mph) once its
    // socket drains, not a resend period later.
    start([](DashboardLimits &l) { l.resendMs = 60000; });
    auto reading = openStream(port, true);
    auto stalledAgain = openStream(port, true);
    ASSERT_TRUE(waitForPages(2));
    publishBulky(30);
    QByteArray received;
    QObject::connect(reading.get(), &QTcpSocket::readyRead, [&] { received = (received + reading->readAll()).right(1 << 20); });
    reading->setReadBufferSize(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.endsWith("\n\n") && received.mid(received.lastIndexOf("data: ")).contains("\"mph\",\"value\":\"67\""); }, kIoMs));
    ASSERT_EQ(dashboard->connectionCount(), 2);
    const qint64 stopMs = steadyMs();
    dashboard.reset();
    // Well short of the 10 s a stalled write is given.
    EXPECT_LT(steadyMs() - stopMs, DashboardLimits().requestTimeoutMs / 2) << "closing waits for a page that does not read";
}

// Car `carIdx`, its driver and its result.
void addCar(irVariables &v, int carIdx, const char *name, const char *licColor, int position, float best, float last)
{
    irDriver d;
    d.carIdx = carIdx;
    d.carNumberRaw = carIdx + 10;
    d.iRating = 1500 + carIdx;
    d.userName = QString::fromUtf8(name);
    d.licString = QStringLiteral("A 4.99");
    d.licColor = QString::fromLatin1(licColor);
    v.drivers.append(d);
    irResult r;
    r.carIdx = carIdx;
    r.position = position;
    r.fastestTime = best;
    r.lastTime = last;
    v.results.append(r);
}

// A metric race snapshot with every fuel input set: 20 l at 0.75 kg/l,
// 30 kg/h and 90 s laps last 20 * 0.75 * 3600 / (30 * 90) = 20 laps; the
// 2999.5 s left are 34 laps and the current one: 35 l, 15 l to add.
irVariables race()
{
    irVariables v;
    v.simConnected = true;
    v.displayUnits = 1;
    v.sessionLength = 3600.0;
    v.sessionTime = 600.5;
    v.sessionType = QStringLiteral("Race");
    v.sessionLaps = kUnlimitedLaps;
    v.sessionLapsRemain = 12;
    v.playerLaps = 4;
    v.playerCarPosition = 3;
    v.playerCarClassPosition = 2;
    v.speed = 50.0f;
    v.fuelLevel = 20.0f;
    v.fuelUsePerHour = 30.0f;
    v.playerDriver.driverCarFuelKgPerLtr = 0.75f;
    v.playerDriver.driverCarEstLapTime = 90.0f;
    v.trackTempCrew = 30.0f;
    v.airTemp = 20.0f;
    v.relativeHumidity = 0.55f;
    v.skies = 1;
    v.windVel = 5.0f;
    v.windDir = 1.5707964f; // east
    return v;
}

// A race of `laps` laps, `left` of them left, and no length: 0, as a time
// that is no number reads.
void lapsRace(irVariables &v, int laps, int left)
{
    v.sessionLength = 0.0;
    v.sessionLaps = laps;
    v.sessionLapsRemain = left;
}

QJsonObject message(const irVariables &v) { return QJsonDocument::fromJson(dashboardStateMessage(v, {}, {})).object(); }

// The tiles in order, each as "label: value unit".
QStringList tileTexts(const QJsonObject &m)
{
    QStringList texts;
    for (const QJsonValue &t : m.value(QStringLiteral("tiles")).toArray()) {
        const QVariantMap tile = t.toObject().toVariantMap();
        const QString unit = tile.value(QStringLiteral("unit")).toString();
        texts << tile.value(QStringLiteral("label")).toString() + ": " + tile.value(QStringLiteral("value")).toString() + (unit.isEmpty() ? "" : " " + unit);
    }
    return texts;
}

TEST(DashboardState, tilesFollowTheSnapshot)
{
    EXPECT_EQ(tileTexts(message(race())),
              QStringList({"Session: Race", "Time left: 49:59", "Lap: 4", "Position: 3", "Class position: 2",
                           "Speed: 180 km/h", "Fuel: 20.0 l", "Fuel laps: 20.0 laps", "Fuel to finish: +15.0 l",
                           QString::fromUtf8("Track: 30.0 \u00B0C"), QString::fromUtf8("Air: 20.0 \u00B0C"),
                           "Sky: partly cloudy", "Wind: 18 E km/h", "Humidity: 55 %"}));
    // Without the simulator the start values are no race.
    for (const QString &text : tileTexts(message(irVariables())))
        EXPECT_TRUE(text.endsWith(": -")) << text.toStdString();
    EXPECT_EQ(message(irVariables()).value(QStringLiteral("track")).toString(), QString());
    // Fuel to finish: (laps to go + the current lap) x 1 l a lap, against 20 l.
    struct Case {
        const char *name;
        std::function<void(irVariables &)> change;
        QStringList tiles;
    };
    const Case cases[] = {
        {"imperial units", [](irVariables &v) { v.displayUnits = 0; }, {"Speed: 112 mph", "Fuel: 5.3 gal", "Air: 68.0 \u00B0F", "Fuel to finish: +4.0 gal"}},
        {"unknown sky, the lowest", [](irVariables &v) { v.skies = 4; }, {"Sky: -"}},
        {"hours", [](irVariables &v) { v.sessionLength = 7801.5; }, {"Time left: 2:00:01"}},
        {"time over: no laps to go", [](irVariables &v) { v.sessionTime = 4000.0; }, {"Time left: 00:00", "Fuel to finish: -"}},
        {"laps race: 13 laps, 7 l spare", [](irVariables &v) { lapsRace(v, 20, 12); }, {"Laps left: 12", "Fuel to finish: -7.0 l"}},
        {"no length, unlimited laps", [](irVariables &v) { v.sessionLength = -1.0; }, {"Left: -", "Fuel to finish: -"}},
        {"not placed", [](irVariables &v) { v.playerCarClassPosition = 0; }, {"Class position: -"}},
        {"negative density", [](irVariables &v) { v.playerDriver.driverCarFuelKgPerLtr = -1.0f; }, {"Fuel laps: -"}},
        {"empty tank", [](irVariables &v) { v.fuelLevel = 0.0f; }, {"Fuel laps: -", "Fuel to finish: -"}},
        {"speed NaN", [](irVariables &v) { v.speed = NAN; }, {"Speed: -"}},
        {"wind from 355 degrees", [](irVariables &v) { v.windDir = 6.2f; }, {"Wind: 18 N km/h"}},
        {"timed, exactly 10 laps left", [](irVariables &v) { v.sessionTime = 2700.0; }, {"Fuel to finish: -9.0 l"}},
        {"no laps left", [](irVariables &v) { lapsRace(v, 20, 0); }, {"Laps left: 0", "Fuel to finish: -"}},
        {"a race of 0 laps, 5 left: 14 l spare", [](irVariables &v) { lapsRace(v, 0, 5); }, {"Fuel to finish: -14.0 l"}},
        {"at the session's start: 41 laps, 21 l to add", [](irVariables &v) { v.sessionTime = 0.0; }, {"Fuel to finish: +21.0 l"}},
        {"session time not read", [](irVariables &v) { v.sessionTime = -1.0; }, {"Fuel to finish: -"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        irVariables v = race();
        c.change(v);
        const QStringList tiles = tileTexts(message(v));
        for (const QString &tile : c.tiles)
            EXPECT_TRUE(tiles.contains(tile)) << tile.toStdString();
    }
}

TEST(DashboardState, standingsJoinResultsAsTheDriversWindowDoesAndTextsStayText)
{
    irVariables v = race();
    v.playerDriver.driverCarIdx = 2;
    addCar(v, 1, "Ann", "0xfc0706", 2, 83.456f, 84.0f);
    addCar(v, 2, "B\u00E9a <script>", "0x12345", 1, 82.0f, -1.0f);
    addCar(v, 3, "Cy", "0xffffff", 0, 0.0f, 0.0f);
    const QJsonObject m = message(v);
    EXPECT_TRUE(m.value(QStringLiteral("connected")).toBool());
    // Placed 0 is "not placed yet": last, as "-". Five hex digits are no colour.
    EXPECT_EQ(QJsonDocument(m.value(QStringLiteral("standings")).toArray()).toJson(QJsonDocument::Compact),
              QByteArray(R"([{"best":"1:22:000","car":"12","iRating":"1502","last":"-","licColor":"","licence":"A 4.99","name":"B)"
                         "\xC3\xA9"
                         R"(a <script>","player":true,"pos":"1"},)"
                         R"({"best":"1:23:456","car":"11","iRating":"1501","last":"1:24:000","licColor":"#fc0706","licence":"A 4.99","name":"Ann","player":false,"pos":"2"},)"
                         R"({"best":"-","car":"13","iRating":"1503","last":"-","licColor":"#ffffff","licence":"A 4.99","name":"Cy","player":false,"pos":"-"}])"));
    // An entry without a car index is not the player whose index is unknown.
    v.playerDriver.driverCarIdx = -1;
    v.drivers[2].carIdx = -1;
    EXPECT_FALSE(QJsonDocument(message(v).value(QStringLiteral("standings")).toArray()).toJson().contains(R"("player": true)"));
}

} // namespace
