// The dashboard's HTTP side with real loopback sockets: presses and their
// answers, the bounds on connections, headers and bodies, a page that stops
// reading, and a stop that does not wait for it.

#include "platform/fake/FakeOs.h"
#include "server/RequestLimiter.h"
#include "simlink/TelemetryLayout.h"
#include "web/DashboardServer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <vector>

namespace {

constexpr int kIoMs = 3000;
constexpr platform::WindowId kSimulator = 7;
constexpr platform::WindowId kOther = 8;

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// One request on a connection of its own; everything the server sent until
// it closed.
QByteArray exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(kIoMs))
        return "<no connection>";
    socket.write(request);
    socket.waitForBytesWritten(kIoMs);
    QByteArray answer;
    QElapsedTimer time;
    time.start();
    while (socket.state() == QAbstractSocket::ConnectedState && time.elapsed() < kIoMs) {
        socket.waitForReadyRead(100);
        answer += socket.readAll();
        QCoreApplication::processEvents();
    }
    return answer + socket.readAll();
}

QByteArray post(quint16 port, const QByteArray &body)
{
    return exchange(port, "POST /press HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(body.size())
                              + "\r\n\r\n" + body);
}

// A page's stream; one that `stalls` leaves everything in the kernel.
std::unique_ptr<QTcpSocket> openStream(quint16 port, bool stalls = false)
{
    auto socket = std::make_unique<QTcpSocket>();
    if (stalls)
        socket->setReadBufferSize(1);
    socket->connectToHost(QHostAddress::LocalHost, port);
    socket->waitForConnected(kIoMs);
    socket->write("GET /events HTTP/1.1\r\nHost: x\r\n\r\n");
    socket->waitForBytesWritten(kIoMs);
    return socket;
}

bool waitForPages(const DashboardServer &dashboard, int pages)
{
    QElapsedTimer time;
    for (time.start(); dashboard.connectionCount() != pages && time.elapsed() < kIoMs;)
        QTest::qWait(20);
    return dashboard.connectionCount() == pages;
}

// A snapshot whose state message is several hundred KiB.
irVariables bulkySnapshot(float speed)
{
    irVariables v;
    v.speed = speed;
    v.trackName = QString(300 * 1024, QLatin1Char('t'));
    return v;
}

class DashboardHttp : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setOs(&os);
        os.setWindow(telemetry::kSimulatorWindowTitle, kSimulator);
        port = freePort();
    }
    void TearDown() override
    {
        dashboard.reset();
        platform::setOs(nullptr);
    }
    void start(const DashboardLimits &limits = DashboardLimits())
    {
        dashboard = std::make_unique<DashboardServer>(nullptr, limits);
        ASSERT_TRUE(dashboard->start(port));
    }

    platform::FakeOs os;
    quint16 port = 0;
    std::unique_ptr<DashboardServer> dashboard;
};

TEST_F(DashboardHttp, pressesAreAnsweredAsTheClientCommandsAnswerThem)
{
    bool refuse = false;
    start();
    dashboard->setPressGate([&refuse](const QString &, bool) { return !refuse; });
    QSignalSpy chats(dashboard.get(), &DashboardServer::sigButtonChatClicked);
    QSignalSpy keys(dashboard.get(), &DashboardServer::sigKeyboardKey);

    const struct {
        const char *body;
        platform::WindowId front; // 0: the simulator's window is gone
        bool refused;
        const char *status;
        const char *answer;
        int chat; // -1: none
        int key;  // -1: none
    } cases[] = {
        {"macro=3", kSimulator, false, "200", "ok", 2, -1},
        {"key=32", kSimulator, false, "200", "ok", -1, 32},
        {"key=32", kOther, false, "200", "not in front", -1, 32},
        {"key=33", 0, false, "200", "not in front", -1, 33},
        {"macro=16", kSimulator, false, "400", "bad press", -1, -1},
        {"macro=0", kSimulator, false, "400", "bad press", -1, -1},
        {"key=0", kSimulator, false, "400", "bad press", -1, -1},
        {"key=4x", kSimulator, false, "400", "bad press", -1, -1},
        {"jump=1", kSimulator, false, "400", "bad press", -1, -1},
        {"macro=1", kSimulator, true, "429", "too many requests", -1, -1},
        {"key=9", kSimulator, true, "429", "too many requests", -1, -1},
    };
    for (const auto &c : cases) {
        os.setWindow(telemetry::kSimulatorWindowTitle, c.front == 0 ? 0 : kSimulator);
        os.setForegroundWindow(c.front == 0 ? kOther : c.front);
        refuse = c.refused;
        chats.clear();
        keys.clear();
        const QByteArray answer = post(port, c.body);
        EXPECT_TRUE(answer.startsWith(QByteArray("HTTP/1.1 ") + c.status)) << c.body << ": " << answer.constData();
        EXPECT_TRUE(answer.endsWith(c.answer) || answer.endsWith(QByteArray(c.answer) + "\n"))
            << c.body << ": " << answer.constData();
        QTest::qWait(50); // the presses are queued to this thread
        EXPECT_EQ(chats.isEmpty() ? -1 : chats.takeFirst().at(0).toInt(), c.chat) << c.body;
        EXPECT_EQ(keys.isEmpty() ? -1 : keys.takeFirst().at(0).toInt(), c.key) << c.body;
    }
    // With the server's limits, per page address: two chat macros a second.
    RequestLimiter limiter;
    dashboard->setPressGate([&limiter](const QString &peer, bool macro) {
        return limiter.admitPeer(peer, macro ? SimulatorRequest::ChatMacro : SimulatorRequest::Key);
    });
    EXPECT_TRUE(post(port, "macro=1").endsWith("ok"));
    EXPECT_TRUE(post(port, "macro=1").endsWith("ok"));
    EXPECT_TRUE(post(port, "macro=1").startsWith("HTTP/1.1 429"));
    EXPECT_FALSE(limiter.takeDroppedReport().isEmpty());
}

TEST_F(DashboardHttp, pageAndBoundsOnConnectionsHeadersAndBodies)
{
    start();
    const QByteArray page = exchange(port, "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(page.startsWith("HTTP/1.1 200")) << page.left(200).constData();
    EXPECT_TRUE(page.contains("Content-Security-Policy: default-src 'none'"));
    EXPECT_TRUE(exchange(port, "GET /other HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 404"));
    EXPECT_TRUE(exchange(port, "DELETE / HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 405"));

    EXPECT_TRUE(post(port, QByteArray(4097, 'k')).startsWith("HTTP/1.1 413"));
    const QByteArray bigHeader = "GET / HTTP/1.1\r\nX-Fill: " + QByteArray(9000, 'h') + "\r\n\r\n";
    EXPECT_FALSE(exchange(port, bigHeader).startsWith("HTTP/1.1 200")) << "headers beyond 8 KiB";

    std::vector<std::unique_ptr<QTcpSocket>> streams;
    for (int i = 0; i < 16; ++i)
        streams.push_back(openStream(port));
    EXPECT_TRUE(waitForPages(*dashboard, 16));
    EXPECT_TRUE(exchange(port, "GET /events HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 503"));

    dashboard->publish(irVariables(), QString());
    ASSERT_TRUE(streams.front()->waitForReadyRead(kIoMs));
    QByteArray first;
    for (int i = 0; !first.contains("\n\ndata: {") && i < 30; streams.front()->waitForReadyRead(100))
        first += streams.front()->readAll(), ++i;
    EXPECT_TRUE(first.contains("data: {\"connected\":false")) << first.constData();
}

TEST_F(DashboardHttp, aPageThatStopsReadingIsClosedAndDoesNotHoldUpTheStop)
{
    DashboardLimits limits;
    limits.requestTimeoutMs = 1000; // the stall allowed a write, shortened
    start(limits);
    auto stalled = openStream(port, true);
    ASSERT_TRUE(waitForPages(*dashboard, 1));
    float speed = 0.0f;
    QElapsedTimer time;
    for (time.start(); dashboard->connectionCount() > 0 && time.elapsed() < 15000;) {
        dashboard->publish(bulkySnapshot(speed += 1.0f), QString());
        QTest::qWait(20);
    }
    EXPECT_EQ(dashboard->connectionCount(), 0) << "a stalled page stays connected";

    // With the normal stall limit the page is still open when the stop comes.
    dashboard.reset();
    start();
    auto reading = openStream(port);
    auto stalledAgain = openStream(port, true);
    ASSERT_TRUE(waitForPages(*dashboard, 2));
    for (int i = 0; i < 30; ++i) {
        dashboard->publish(bulkySnapshot(speed += 1.0f), QString());
        QTest::qWait(20);
        reading->readAll();
    }
    ASSERT_EQ(dashboard->connectionCount(), 2);
    time.restart();
    dashboard.reset();
    EXPECT_LT(time.elapsed(), 1000) << "closing waits for a page that does not read";
}

} // namespace
