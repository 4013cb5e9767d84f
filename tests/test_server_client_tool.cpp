// The command-line client against a real server.

#include "server/irServer.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <memory>

namespace {

constexpr int kToolWaitMs = 10000;

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the tool while this thread's event loop keeps serving.
ToolRun runTool(const QStringList &args)
{
    QProcess tool;
    tool.start(QStringLiteral(PITLINK_CLIENT_PATH), args);
    ToolRun run;
    if (!tool.waitForStarted(kToolWaitMs))
        return run;
    if (!QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, kToolWaitMs)) {
        tool.kill();
        tool.waitForFinished();
        return run;
    }
    run.exitCode = tool.exitCode();
    run.out = tool.readAllStandardOutput();
    run.err = tool.readAllStandardError();
    return run;
}

class ClientTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<irServer>(nullptr, nullptr);
        QObject::connect(server.get(), &irServer::sigDebugString,
                         [this](const QString &line, int) { log.append(line); });
        QObject::connect(server.get(), &irServer::sigButtonChatClicked,
                         [this](int id) { chats.append(id); });
        ASSERT_TRUE(server->startServer(QString(), 0));
        port = QString::number(server->serverPort());
    }

    std::unique_ptr<irServer> server;
    QString port;
    QStringList log;
    QList<int> chats;
};

TEST_F(ClientTool, PrintsTheReplyText)
{
    const ToolRun run = runTool({"127.0.0.1", port, "202"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(run.out, QByteArray("pit-link\n"));
}

TEST_F(ClientTool, RawPrintsTheWholeFrame)
{
    const ToolRun run = runTool({"--raw", "127.0.0.1", port, "202"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QByteArray("@000020;202;000001;pit-link;"));
}

TEST_F(ClientTool, TextArgumentIsSentWithItsClosingSeparator)
{
    const ToolRun run = runTool({"127.0.0.1", port, "206", "3"});
    EXPECT_EQ(run.out, QByteArray("Button ok\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return chats.size() == 1; }, kToolWaitMs));
    EXPECT_EQ(chats.first(), 2);
}

TEST_F(ClientTool, ClientNameEndsWithoutWaitingForAReply)
{
    const ToolRun run = runTool({"127.0.0.1", port, "201", "Pit wall"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.contains("(Server) - Client Name: Pit wall"); },
                                kToolWaitMs));
}

TEST_F(ClientTool, MissingReplyAndRefusedConnectionFail)
{
    const ToolRun silent = runTool({"--timeout", "300", "127.0.0.1", port, "204"});
    EXPECT_EQ(silent.exitCode, 3);
    EXPECT_TRUE(silent.err.contains("no reply"));

    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString closedPort = QString::number(probe.serverPort());
    probe.close();
    const ToolRun refused = runTool({"127.0.0.1", closedPort, "202"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains("cannot connect"));

    EXPECT_EQ(runTool({"127.0.0.1"}).exitCode, 1);
}

} // namespace
