// The server with real loopback sockets and real client threads.

#include "app/AppSettings.h"
#include "platform/Platform.h"
#include "platform/fake/FakeOs.h"
#include "simlink/TelemetryLayout.h"
#include "server/FrameFormat.h"
#include "server/irServer.h"
#include "server_test_client.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <atomic>
#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

namespace {

irVariables linkedSnapshot(float speed = 42.0f)
{
    irVariables vars;
    vars.simConnected = true;
    vars.speed = speed;
    vars.trackName = QString::fromUtf8("Circuit de Spa-Francorchamps \xe2\x80\x93 \xc3\xa9t\xc3\xa9");
    return vars;
}

QByteArray textOf(const QByteArray &frameBytes)
{
    QByteArray text = frameBytes.mid(frame::kTextOffset);
    text.chop(1);
    return text;
}

class Server : public ::testing::Test {
protected:
    void start(const ServerLimits &limits = ServerLimits(), AppSettings *settings = nullptr)
    {
        server = std::make_unique<irServer>(settings, nullptr, limits);
        QObject::connect(server.get(), &irServer::sigDebugString,
                         [this](const QString &line, int) { log.append(line); });
        ASSERT_TRUE(server->startServer(QString(), 0));
        port = server->serverPort();
        ASSERT_NE(port, 0);
    }

    std::unique_ptr<TestClient> connectedClient()
    {
        auto client = std::make_unique<TestClient>();
        const int before = server->clientCount();
        EXPECT_TRUE(client->connectTo(port));
        EXPECT_TRUE(QTest::qWaitFor([&] { return server->clientCount() == before + 1; }, kWaitMs));
        return client;
    }

    bool logged(const QString &line, int timeoutMs = kWaitMs)
    {
        return QTest::qWaitFor([&] { return log.contains(line); }, timeoutMs);
    }

    std::unique_ptr<irServer> server;
    quint16 port = 0;
    QStringList log;
};

TEST_F(Server, RequestsAreAnsweredLoggedAndRelayed)
{
    start();
    EXPECT_TRUE(log.contains(QStringLiteral("(Server) - Listening to port %1").arg(port)));
    QSignalSpy chats(server.get(), &irServer::sigButtonChatClicked);
    auto client = connectedClient();
    client->send(TestClient::request(203, 1));
    const QByteArray id = textOf(client->nextFrame());
    ASSERT_FALSE(id.isEmpty());
    EXPECT_TRUE(log.contains("(Server) - Connecting... " + QString::fromLatin1(id)));
    EXPECT_TRUE(logged("(Server) - Get Client ID: " + QString::fromLatin1(id)));

    client->send("garbage");
    EXPECT_TRUE(logged("Client: Header not found."));
    client->send(TestClient::request(201, 2, "Tablet;") + TestClient::request(206, 3, "3;") +
                 TestClient::request(207, 4) + TestClient::request(202, 42));
    EXPECT_EQ(client->nextFrame(), QByteArray("@000021;206;000003;Button ok;"));
    EXPECT_EQ(textOf(client->nextFrame()), QByteArray("IRACING NOT CONNECTED"));
    EXPECT_EQ(client->nextFrame(), QByteArray("@000020;202;000042;pit-link;"));
    EXPECT_TRUE(logged("(Server) - Client Name: Tablet"));
    EXPECT_TRUE(logged("(Server) - Get Server name: Pitlink"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return chats.size() == 1; }, kWaitMs));
    EXPECT_EQ(chats.at(0).at(0).toInt(), 2);
}

TEST_F(Server, AFrameStalledPastTheTimeOutDisconnectsTheClient)
{
    // The time-out counts from the newest byte: pieces that each come in time
    // are served even when the whole frame takes longer.
    struct Case {
        int stallMs;
        std::vector<int> cuts; // the frame is sent up to each cut, then paused
        int pauseMs;
        bool served;
    };
    const Case cases[] = {{200, {12}, 0, false}, {2000, {12}, 0, true}, {1500, {6, 12}, 900, true}};
    for (const Case &c : cases) {
        log.clear();
        ServerLimits limits;
        limits.stallTimeoutMs = c.stallMs;
        start(limits);
        auto client = connectedClient();
        const QByteArray request = TestClient::request(202, 1);
        int sent = 0;
        for (const int cut : c.cuts) {
            client->send(request.mid(sent, cut - sent));
            ASSERT_TRUE(client->drained());
            QTest::qWait(c.pauseMs);
            sent = cut;
        }
        if (c.served) {
            client->send(request.mid(sent));
            EXPECT_FALSE(client->nextFrame().isEmpty());
            EXPECT_EQ(client->socket.state(), QAbstractSocket::ConnectedState);
            continue;
        }
        EXPECT_TRUE(client->waitDisconnected());
        EXPECT_TRUE(client->frames.isEmpty());
        EXPECT_TRUE(QTest::qWaitFor([&] { return server->clientCount() == 0; }, kWaitMs));
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString &l) {
            return l.startsWith("(Server) - Client disconnected ID:");
        }));
    }
}

TEST_F(Server, FirstDataRequestSeesTheSnapshotOfTheAcceptingMoment)
{
    start();
    QObject::connect(server.get(), &irServer::sigSnapshotWanted, server.get(),
                     [this] { server->updateVars(linkedSnapshot(55.5f)); });
    auto client = connectedClient();
    client->send(TestClient::request(207, 1));
    const QJsonObject o = QJsonDocument::fromJson(textOf(client->nextFrame())).object();
    EXPECT_EQ(o.value("Speed").toDouble(), 55.5);
}

TEST_F(Server, TwoClientsAreCountedAndTheStayingOneStillRefreshed)
{
    start();
    QSignalSpy counts(server.get(), &irServer::sigClientCountChanged);
    auto first = connectedClient();
    auto second = connectedClient();
    EXPECT_EQ(server->clientCount(), 2);

    first->socket.disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->clientCount() == 1; }, kWaitMs));
    ASSERT_GE(counts.size(), 3);
    EXPECT_EQ(counts.last().at(0).toInt(), 1);

    // The owner refreshes while the count is above 0.
    server->updateVars(linkedSnapshot(71.0f));
    second->send(TestClient::request(207, 4));
    const QJsonObject o = QJsonDocument::fromJson(textOf(second->nextFrame())).object();
    EXPECT_EQ(o.value("Speed").toDouble(), 71.0);
}

TEST_F(Server, StopEndsEveryClientAtOnceEvenMidFrame)
{
    start();
    auto idle = connectedClient();
    auto midFrame = connectedClient();
    auto third = connectedClient();
    midFrame->send(TestClient::request(202, 1).left(10));
    ASSERT_TRUE(midFrame->drained());

    QSignalSpy counts(server.get(), &irServer::sigClientCountChanged);
    server->stopServer();
    EXPECT_EQ(server->clientCount(), 0);
    ASSERT_FALSE(counts.isEmpty());
    EXPECT_EQ(counts.last().at(0).toInt(), 0);
    EXPECT_TRUE(idle->waitDisconnected());
    EXPECT_TRUE(midFrame->waitDisconnected());
    EXPECT_TRUE(third->waitDisconnected());
}

TEST_F(Server, StopRightAfterAcceptingEndsTheNewThread)
{
    start();
    // Stopped while the new thread may still be setting up its socket.
    QObject::connect(server.get(), &irServer::sigClientCountChanged, server.get(), [this](int n) {
        if (n == 1)
            server->stopServer();
    });
    TestClient client;
    ASSERT_TRUE(client.connectTo(port));
    EXPECT_TRUE(client.waitDisconnected());
    EXPECT_EQ(server->clientCount(), 0);
}

TEST_F(Server, DestroyingTheServerJoinsConnectedClients)
{
    start();
    auto idle = connectedClient();
    auto midFrame = connectedClient();
    midFrame->send(QByteArray("@000011;20"));
    ASSERT_TRUE(midFrame->drained());
    server.reset();
    EXPECT_TRUE(idle->waitDisconnected());
    EXPECT_TRUE(midFrame->waitDisconnected());
}

TEST_F(Server, ListensOnTheRequestedPortAndFailsWhenItIsTaken)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::Any, 0));
    const quint16 freePort = probe.serverPort();
    probe.close();

    irServer fixed(nullptr, nullptr);
    QSignalSpy lines(&fixed, &irServer::sigDebugString);
    ASSERT_TRUE(fixed.startServer(QStringLiteral("192.0.2.1"), freePort));
    EXPECT_EQ(fixed.serverPort(), freePort);
    irServer second(nullptr, nullptr);
    QObject::connect(&second, &irServer::sigDebugString, &fixed, &irServer::sigDebugString);
    EXPECT_FALSE(second.startServer(QString(), freePort));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0).at(0).toString(), QStringLiteral("(Server) - Listening to port %1").arg(freePort));
    EXPECT_EQ(lines.at(1).at(0).toString(), QStringLiteral("(Server) - Could not start server"));
    EXPECT_EQ(lines.at(1).at(1).toInt(), 0);
}

int requestNumberOf(const QByteArray &reply)
{
    return reply.mid(frame::kRequestNumberOffset, frame::kRequestNumberDigits).toInt();
}

TEST_F(Server, AtTheCapTheLongestIdleClientGivesWayElseTheNewcomerIsRefused)
{
    // idle time that frees a slot, newcomer served
    const std::vector<std::pair<int, bool>> cases = {{300, true}, {60000, false}};
    for (const auto &c : cases) {
        log.clear();
        ServerLimits limits;
        limits.maxClients = 2;
        limits.idleEvictMs = c.first;
        start(limits);
        auto busy = connectedClient();
        auto idle = connectedClient();
        idle->send(TestClient::request(203, 1));
        const QByteArray idleId = textOf(idle->nextFrame());
        QTest::qWait(400);
        busy->send(TestClient::request(202, 2));
        ASSERT_FALSE(busy->nextFrame().isEmpty());

        TestClient newcomer;
        ASSERT_TRUE(newcomer.connectTo(port));
        newcomer.send(TestClient::request(202, 3));
        if (c.second) {
            EXPECT_FALSE(newcomer.nextFrame().isEmpty());
            EXPECT_TRUE(idle->waitDisconnected());
            EXPECT_TRUE(log.contains("(Server) - Client " + QString::fromLatin1(idleId) +
                                     " idle for 0 s, closed for a new connection"));
        } else {
            EXPECT_TRUE(newcomer.waitDisconnected());
            EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString &l) {
                return l.startsWith("(Server) - Too many clients");
            }));
            idle->send(TestClient::request(202, 4));
            EXPECT_FALSE(idle->nextFrame().isEmpty());
        }
        EXPECT_EQ(server->clientCount(), 2);
        busy->send(TestClient::request(202, 5));
        EXPECT_FALSE(busy->nextFrame().isEmpty());
    }
}

TEST_F(Server, BurstIsAllAnsweredInOrderToAReaderWhileANonReaderIsDropped)
{
    ServerLimits limits;
    limits.noProgressTimeoutMs = 1000;
    start(limits);
    server->updateVars(linkedSnapshot());
    auto reader = connectedClient();
    auto nonReader = connectedClient();
    nonReader->socket.setReadBufferSize(1024); // stops reading once this is full
    constexpr int kBurst = 20000;
    QByteArray burst;
    for (int i = 1; i <= kBurst; ++i)
        burst += TestClient::request(207, i);
    nonReader->send(burst);
    reader->send(burst);

    ASSERT_TRUE(reader->waitFrames(kBurst, 12 * kWaitMs)) << reader->frames.size();
    int outOfOrder = 0;
    for (int i = 0; i < kBurst; ++i)
        outOfOrder += requestNumberOf(reader->frames.at(i)) != i + 1;
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(reader->socket.state(), QAbstractSocket::ConnectedState);

    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::any_of(log.begin(), log.end(), [](const QString &l) {
                return l.endsWith("does not read its replies, disconnected");
            });
        },
        3 * kWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server->clientCount() == 1; }, kWaitMs));
    reader->send(TestClient::request(202, 1));
    EXPECT_TRUE(reader->waitFrames(kBurst + 1));
}

// The debug output of the client threads, while a test listens.
std::atomic<int> tracedFrames{0};
std::atomic<int> longestTrace{0};

void countTraces(QtMsgType, const QMessageLogContext &, const QString &line)
{
    if (!line.contains(QLatin1String("Data in:")))
        return;
    ++tracedFrames;
    int longest = longestTrace.load();
    while (line.size() > longest && !longestTrace.compare_exchange_weak(longest, line.size())) {
    }
}

TEST_F(Server, FloodReachesThePaneAndTheTraceAtTheBoundedRateAndIsCounted)
{
    start();
    auto client = connectedClient();
    client->send(TestClient::request(203, 1));
    const QString id = QString::fromLatin1(textOf(client->nextFrame()));
    log.clear();
    tracedFrames = 0;
    longestTrace = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countTraces);

    constexpr int kFlood = 3000;
    QByteArray flood = TestClient::request(202, 0, QString(900000, QLatin1Char('x')));
    for (int i = 1; i < kFlood; ++i)
        flood += TestClient::request(202, i);
    client->send(flood);
    const bool answered = client->waitFrames(kFlood + 1, 4 * kWaitMs);
    client->socket.disconnectFromHost();
    const QString shownLine = QStringLiteral("(Server) - Get Server name: Pitlink");
    const QString hiddenPrefix = "(Server) - Client " + id + ": ";
    const auto counted = [&] {
        int total = log.count(shownLine);
        for (const QString &line : qAsConst(log)) {
            if (line.startsWith(hiddenPrefix) && line.endsWith(" more lines not shown"))
                total += line.mid(hiddenPrefix.size()).section(' ', 0, 0).toInt();
        }
        return total;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return counted() == kFlood; }, 2 * kWaitMs)) << counted();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(answered);
    EXPECT_LE(log.count(shownLine), 60);
    EXPECT_GE(log.count(shownLine), 10);
    EXPECT_LE(tracedFrames.load(), 60);
    EXPECT_LE(longestTrace.load(), 300);
}

TEST_F(Server, ChatAndKeyRequestsAreBoundedPerClientAndOverallAndStillAnswered)
{
    start();
    QSignalSpy chats(server.get(), &irServer::sigButtonChatClicked);
    QSignalSpy keys(server.get(), &irServer::sigKeyboardKey);
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int c = 0; c < 3; ++c)
        clients.push_back(connectedClient());
    QByteArray requests;
    for (int i = 0; i < 30; ++i)
        requests += TestClient::request(206, i, "1;") + TestClient::request(209, i, "32;");
    for (auto &client : clients)
        client->send(requests);
    for (auto &client : clients)
        EXPECT_TRUE(client->waitFrames(60));

    // Per client 2 chat macros and 10 keys a second; 4 and 20 in all.
    int droppedChats = 0;
    int droppedKeys = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            droppedChats = droppedKeys = 0;
            for (const QString &line : qAsConst(log)) {
                if (!line.endsWith(" keys dropped (too many requests)"))
                    continue;
                const QStringList words = line.split(' ');
                droppedChats += words.at(2).toInt();
                droppedKeys += words.at(6).toInt();
            }
            return droppedChats + droppedKeys == 180 - 24;
        },
        3 * kWaitMs));
    EXPECT_EQ(chats.size(), 4);
    EXPECT_EQ(keys.size(), 20);
    EXPECT_EQ(droppedChats, 86);
    EXPECT_EQ(droppedKeys, 70);
}

TEST_F(Server, KeyPressAsksTheSystemForTheSimulatorWindowAndIsRelayed)
{
    platform::FakeOs windows;
    platform::setOs(&windows);
    // No client thread may ask the fake once it is gone, whatever fails below.
    struct Restore {
        std::unique_ptr<irServer> &server;
        ~Restore()
        {
            server.reset();
            platform::setOs(nullptr);
        }
    } restore{server};
    start();
    QSignalSpy keys(server.get(), &irServer::sigKeyboardKey);
    auto client = connectedClient();
    // simulator window, foreground window, reply
    const std::vector<std::tuple<platform::WindowId, platform::WindowId, QByteArray>> cases = {
        {0x1234, 0x1234, "KEY OK"}, {0x1234, 0x99, "IRACING NOT ONTOP"}, {0, 0, "IRACING NOT ONTOP"}};
    for (const auto &c : cases) {
        windows.setWindow(telemetry::kSimulatorWindowTitle, std::get<0>(c));
        windows.setForegroundWindow(std::get<1>(c));
        client->send(TestClient::request(209, 1, "32;"));
        EXPECT_EQ(textOf(client->nextFrame()), std::get<2>(c));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return keys.size() == 3; }, kWaitMs));
    EXPECT_EQ(keys.at(0).at(0).toInt(), 32);
}

TEST_F(Server, ChatMacrosAreReadFromTheDocumentsFolder)
{
    QTemporaryDir dir;
    QFile ini(dir.path() + "/app.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Autochat Messages]\nAutoChatStr1=Pit \xc3\xa0 droite\nAutoChatStr3=Gr\xfc\xdf" "e\n");
    ini.close();
    QObject owner;
    AppSettings settings(&owner, dir.path() + "/pitlink.ini");
    settings.setDocumentsPath(dir.path());
    start(ServerLimits(), &settings);
    auto client = connectedClient();
    client->send(TestClient::request(205, 1));
    EXPECT_EQ(QString::fromUtf8(textOf(client->nextFrame())),
              QString::fromUtf8("Pit \xc3\xa0 droite||Gr\xc3\xbc\xc3\x9f" "e||||||||||||"));
}

} // namespace
