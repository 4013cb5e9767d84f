// The dashboard's HTTP side with real loopback sockets: requests and their
// answers, the bounds on connections, headers and bodies, a page that stops
// reading, and a stop that does not wait for it.

#include "platform/fake/FakeOs.h"
#include "server/RequestLimiter.h"
#include "simlink/TelemetryLayout.h"
#include "web/DashboardServer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

constexpr int kIoMs = 3000;
constexpr platform::WindowId kSimulator = 7;
constexpr platform::WindowId kOther = 8;

// One request on a connection of its own; everything the server sent until
// it closed.
QByteArray exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(kIoMs))
        return "<no connection>";
    socket.write(request);
    QElapsedTimer time;
    for (time.start(); socket.state() == QAbstractSocket::ConnectedState && time.elapsed() < kIoMs;)
        socket.waitForReadyRead(100);
    return socket.readAll();
}

QByteArray press(const QByteArray &body)
{
    return "POST /press HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
           + body;
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

class DashboardHttp : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setOs(&os);
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    void TearDown() override
    {
        dashboard.reset();
        platform::setOs(nullptr);
    }
    void start(const DashboardLimits &limits = DashboardLimits())
    {
        dashboard.reset();
        dashboard = std::make_unique<DashboardServer>(nullptr, limits);
        ASSERT_TRUE(dashboard->start(port));
    }
    bool waitForPages(int pages)
    {
        return QTest::qWaitFor([&] { return dashboard->connectionCount() == pages; }, kIoMs);
    }
    // Keeps publishing a several hundred KiB state that changes each time.
    void publishBulky(int times)
    {
        irVariables v;
        v.trackName = QString(300 * 1024, QLatin1Char('t'));
        for (int i = 0; i < times && dashboard->connectionCount() > 0; ++i) {
            v.speed += 1.0f;
            dashboard->publish(v, QString());
            QTest::qWait(20);
        }
    }

    platform::FakeOs os;
    quint16 port = 0;
    std::unique_ptr<DashboardServer> dashboard;
};

TEST_F(DashboardHttp, requestsAndPressesAreAnsweredAsTheClientCommandsAnswerThem)
{
    bool refuse = false;
    start();
    dashboard->setPressGate([&refuse](const QString &, bool) { return !refuse; });
    QSignalSpy chats(dashboard.get(), &DashboardServer::sigButtonChatClicked);
    QSignalSpy keys(dashboard.get(), &DashboardServer::sigKeyboardKey);
    const struct {
        QByteArray request;
        platform::WindowId front; // 0: the simulator's window is gone
        bool refused;
        const char *status; // or its first digits
        QByteArray part;    // of the header or the whole body
        int chat, key;   // -1: none
    } cases[] = {
        {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", kSimulator, false, "200", "Content-Security-Policy: default-src 'none'", -1, -1},
        {"GET /other HTTP/1.1\r\n\r\n", kSimulator, false, "404", "", -1, -1},
        {"DELETE / HTTP/1.1\r\n\r\n", kSimulator, false, "405", "", -1, -1},
        {press(QByteArray(4097, 'k')), kSimulator, false, "413", "", -1, -1},
        {"GET / HTTP/1.1\r\nX-Fill: " + QByteArray(9000, 'h') + "\r\n\r\n", kSimulator, false, "4", "", -1, -1},
        {press("macro=3"), kSimulator, false, "200", "\r\n\r\nok", 2, -1},
        {press("key=32"), kSimulator, false, "200", "\r\n\r\nok", -1, 32},
        {press("key=32"), kOther, false, "200", "\r\n\r\nnot in front", -1, 32},
        {press("key=33"), 0, false, "200", "\r\n\r\nnot in front", -1, 33},
        {press("macro=16"), kSimulator, false, "400", "\r\n\r\nbad press", -1, -1},
        {press("macro=0"), kSimulator, false, "400", "\r\n\r\nbad press", -1, -1},
        {press("key=0"), kSimulator, false, "400", "\r\n\r\nbad press", -1, -1},
        {press("key=4x"), kSimulator, false, "400", "\r\n\r\nbad press", -1, -1},
        {press("jump=1"), kSimulator, false, "400", "\r\n\r\nbad press", -1, -1},
        {press("macro=1"), kSimulator, true, "429", "\r\n\r\ntoo many requests", -1, -1},
        {press("key=9"), kSimulator, true, "429", "\r\n\r\ntoo many requests", -1, -1},
    };
    for (const auto &c : cases) {
        os.setWindow(telemetry::kSimulatorWindowTitle, c.front == 0 ? 0 : kSimulator);
        os.setForegroundWindow(c.front == 0 ? kOther : c.front);
        refuse = c.refused;
        chats.clear();
        keys.clear();
        const QByteArray answer = exchange(port, c.request);
        EXPECT_TRUE(answer.startsWith("HTTP/1.") && answer.mid(9).startsWith(c.status) && answer.contains(c.part))
            << c.request.left(40).constData() << ": " << answer.left(300).constData();
        QTest::qWait(50); // the presses are queued to this thread
        EXPECT_EQ(chats.isEmpty() ? -1 : chats.takeFirst().at(0).toInt(), c.chat) << c.request.constData();
        EXPECT_EQ(keys.isEmpty() ? -1 : keys.takeFirst().at(0).toInt(), c.key) << c.request.constData();
    }
    // With the server's limits, per page address: two chat macros a second.
    RequestLimiter limiter;
    dashboard->setPressGate([&limiter](const QString &peer, bool macro) {
        return limiter.admitPeer(peer, macro ? SimulatorRequest::ChatMacro : SimulatorRequest::Key);
    });
    for (const char *status : {"200", "200", "429"})
        EXPECT_TRUE(exchange(port, press("macro=1")).startsWith(QByteArray("HTTP/1.1 ") + status));
    EXPECT_FALSE(limiter.takeDroppedReport().isEmpty());
}

TEST_F(DashboardHttp, pagesBeyondTheBoundAreRefusedAndTheOthersGetEachNewState)
{
    DashboardLimits limits;
    limits.resendMs = 60000; // only a new state is sent
    start(limits);
    std::vector<std::unique_ptr<QTcpSocket>> streams;
    for (int i = 0; i < 16; ++i)
        streams.push_back(openStream(port));
    EXPECT_TRUE(waitForPages(16));
    EXPECT_TRUE(exchange(port, "GET /events HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 503"));
    QTcpSocket &page = *streams.front();
    // The macros are read again from another folder: the same ones are no new state.
    QTemporaryDir documents;
    QFile ini(documents.path() + "/app.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly) && ini.write("[Autochat Messages]\nAutoChatStr2=gg\n") > 0);
    ini.close();
    dashboard->publish(irVariables(), documents.path());
    QByteArray first;
    for (int i = 0; !(first.contains("data: {") && first.endsWith("\n\n")) && i < 30; ++i, page.waitForReadyRead(100))
        first += page.readAll();
    EXPECT_TRUE(first.contains("data: {\"connected\":false") && first.contains("gg")) << first.constData();
    dashboard->publish(irVariables(), documents.path() + "/");
    EXPECT_FALSE(page.waitForReadyRead(500)) << page.readAll().constData();
}

TEST_F(DashboardHttp, aPageThatStopsReadingIsClosedAndDoesNotHoldUpTheStop)
{
    DashboardLimits limits;
    limits.requestTimeoutMs = 1000; // the stall allowed a write, shortened
    start(limits);
    auto stalled = openStream(port, true);
    ASSERT_TRUE(waitForPages(1));
    publishBulky(750);
    EXPECT_EQ(dashboard->connectionCount(), 0) << "a stalled page stays connected";

    // With the normal stall limit the page is still open when the stop comes.
    start();
    auto reading = openStream(port);
    auto stalledAgain = openStream(port, true);
    ASSERT_TRUE(waitForPages(2));
    QObject::connect(reading.get(), &QTcpSocket::readyRead, [&] { reading->readAll(); });
    publishBulky(30);
    ASSERT_EQ(dashboard->connectionCount(), 2);
    QElapsedTimer time;
    time.start();
    dashboard.reset();
    EXPECT_LT(time.elapsed(), 1000) << "closing waits for a page that does not read";
}

} // namespace
