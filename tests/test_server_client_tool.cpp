// The command-line client against a real server.

#include "server/irServer.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <vector>

namespace {

TEST(ClientTool, PrintsRepliesAndFailsWithItsExitCodes)
{
    irServer server(nullptr, nullptr);
    ASSERT_TRUE(server.startServer(QString(), 0));
    const QString port = QString::number(server.serverPort());
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString closedPort = QString::number(probe.serverPort());
    probe.close();

    // arguments, exit code, standard output, part of the error output
    struct Case {
        QStringList args;
        int exitCode;
        QByteArray out;
        QByteArray err;
    };
    const std::vector<Case> cases = {
        {{"127.0.0.1", port, "202"}, 0, "pit-link\n", ""},
        {{"--raw", "127.0.0.1", port, "202"}, 0, "@000020;202;000001;pit-link;", ""},
        {{"127.0.0.1", port, "206", "3"}, 0, "Button ok\n", ""},
        {{"127.0.0.1", port, "201", "Pit wall"}, 0, "", ""}, // no reply awaited
        {{"--timeout", "300", "127.0.0.1", port, "204"}, 3, "", "no reply"},
        {{"127.0.0.1", closedPort, "202"}, 2, "", "cannot connect"},
        {{"127.0.0.1"}, 1, "", ""},
    };
    for (const Case &c : cases) {
        QProcess tool;
        tool.start(QStringLiteral(PITLINK_CLIENT_PATH), c.args);
        ASSERT_TRUE(tool.waitForStarted(10000));
        // This thread's event loop keeps the server serving meanwhile.
        ASSERT_TRUE(QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 10000))
            << qPrintable(c.args.join(' '));
        EXPECT_EQ(tool.exitCode(), c.exitCode) << qPrintable(c.args.join(' '));
        EXPECT_EQ(tool.readAllStandardOutput(), c.out) << qPrintable(c.args.join(' '));
        EXPECT_TRUE(tool.readAllStandardError().contains(c.err)) << qPrintable(c.args.join(' '));
    }
}

} // namespace
