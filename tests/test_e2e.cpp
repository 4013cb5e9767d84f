// The whole program as a user runs it: pitlink-sim plays the simulator,
// Pitlink runs with its own settings file (autostart on a free port) and a
// dashboard talks to it with pitlink-client.

#include "sim_process.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// One run of pitlink-client.
struct ClientRun {
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

// The substitute and Pitlink, started once for the whole suite: the tests
// below run in this order, each from the state the one before left.
struct Programs {
    QTemporaryDir dir;
    SimProcess sim;
    QProcess pitlink;
    QByteArray output; // Pitlink's debug output, as read so far
};

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        programs = std::make_unique<Programs>();
        const QString documents = programs->dir.path() + "/documents"; // made by the substitute
        QSettings ini(programs->dir.path() + "/data/pitlink/pitlink.ini", QSettings::IniFormat);
        ini.setValue("main/autostartserver", true);
        ini.setValue("main/port", 0); // the system picks a free one
        ini.setValue("paths/iracingdocument", documents);
        ini.sync();

        ASSERT_TRUE(programs->sim.start({"--documents", documents, "--codepage", "windows-1252"}));

        // Pitlink inherits these: its settings in the folder, and no display.
        qputenv("XDG_DATA_HOME", (programs->dir.path() + "/data").toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        programs->pitlink.setProcessChannelMode(QProcess::MergedChannels);
        programs->pitlink.start(QStringLiteral(PITLINK_PATH), QStringList());
        ASSERT_TRUE(programs->pitlink.waitForStarted(kSimDeadlineMs));
        // Autostarted one second after start-up, and linked within a poll or two.
        ASSERT_TRUE(QTest::qWaitFor([] { return listeningPort() != 0; }, kLinkDeadlineMs)) << output().toStdString();
        ASSERT_TRUE(QTest::qWaitFor([] { return json("207").value("SessionNum").toInt(-1) == 2; }, kLinkDeadlineMs))
            << output().toStdString();
    }
    static void TearDownTestSuite() { programs.reset(); }

    static ClientRun run(const QStringList &args)
    {
        QProcess client;
        client.start(QStringLiteral(PITLINK_CLIENT_PATH), args);
        const bool finished = client.waitForFinished(kSimDeadlineMs);
        return finished ? ClientRun{client.exitCode(), client.readAllStandardOutput(), client.readAllStandardError()} : ClientRun{};
    }
    // The reply text of one request, or "<no reply>".
    static QString ask(const QStringList &request)
    {
        const ClientRun ran = run(QStringList{"--timeout", "3000", "127.0.0.1", QString::number(listeningPort())} + request);
        return ran.exitCode == 0 ? QString::fromUtf8(ran.output).trimmed() : QStringLiteral("<no reply>");
    }
    static QJsonObject json(const QString &command)
    {
        return QJsonDocument::fromJson(ask({command}).toUtf8()).object();
    }
    // Pitlink's server port, as Pitlink reports it.
    static quint16 listeningPort()
    {
        return QRegularExpression("Listening to port +(\\d+)").match(QString::fromUtf8(output())).captured(1).toUShort();
    }
    static QByteArray &output()
    {
        return programs->output += programs->pitlink.readAll();
    }

    static inline std::unique_ptr<Programs> programs;
    SimProcess &sim = programs->sim;
};

// Its own output and exit codes: 3 no reply, 2 no server, 1 usage.
TEST_F(EndToEnd, clientToolTellsRepliesAndFailuresByItsExitCode)
{
    const QString open = QString::number(listeningPort());
    const struct {
        const char *name;
        QStringList args;
        int exitCode;
        QByteArray output; // the whole standard output, or a part of the error output
    } tool[] = {
        {"a raw reply", {"--raw", "127.0.0.1", open, "202"}, 0, "@000020;202;000001;pit-link;"},
        {"no reply awaited", {"127.0.0.1", open, "201", "Pit wall"}, 0, ""},
        {"no reply", {"--timeout", "300", "127.0.0.1", open, "204"}, 3, "no reply"},
        {"no server", {"127.0.0.1", QString::number(freePort()), "202"}, 2, "cannot connect"},
        {"usage", {"127.0.0.1"}, 1, ""},
    };
    for (const auto &c : tool) {
        SCOPED_TRACE(c.name);
        const ClientRun ran = run(c.args);
        EXPECT_EQ(ran.exitCode, c.exitCode);
        EXPECT_TRUE(c.exitCode == 0 ? ran.output == c.output : ran.errors.contains(c.output));
    }
}

TEST_F(EndToEnd, sessionAndLiveTelemetryAreRead)
{
    const QString macros = ask({"205"});
    EXPECT_TRUE(macros.startsWith("Good luck everyone!")) << macros.toStdString();
    // Traces share a budget of lines a second, which the fixture's polls may
    // have used up, and are cut at 200 bytes.
    EXPECT_TRUE(QTest::qWaitFor([] { return output().contains(" : " + ask({"205"}).left(100).toUtf8()); }, 5000)) << "the macros are traced";
    EXPECT_TRUE(json("207").value("IsOnTrack").toBool());
    // The player's speed as the substitute publishes it, within a tick.
    ASSERT_TRUE(sim.command("speed 42.5"));
    EXPECT_TRUE(QTest::qWaitFor([] { return json("207").value("Speed").toDouble() == 42.5; }, 5000));
    // Session values reach the snapshot at the poll after the tick.
    EXPECT_TRUE(QTest::qWaitFor([] { return json("208").value("SI.SessionType").toString() == "Race"; }, 5000));
}

// In front the key is pressed once a poll has seen the window there (asked
// again until then, as a user would tap again): down, then up. Behind, asked
// at once, nothing is pressed, nor after a poll has seen the other window: a
// chat macro asked after the keys is broadcast after any key pressed for them,
// with code 8 and the 0-based macro (macro 16, out of range, is dropped by the
// main window's chat test).
TEST_F(EndToEnd, keyIsPressedOnlyWhileTheSimulatorIsInFront)
{
    ASSERT_TRUE(sim.command("window front"));
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return ask({"209", "32"}) == "KEY OK" && sim.waitForLine("key vk=32 down", 300, SimProcess::Whole); },
        15000));
    EXPECT_TRUE(sim.waitForLine("key vk=32 up", kSimDeadlineMs, SimProcess::Whole));

    ASSERT_TRUE(sim.command("window back"));
    EXPECT_EQ(ask({"209", "33"}), "IRACING NOT ONTOP");
    EXPECT_TRUE(QTest::qWaitFor([] { return output().contains("iRacing is in background"); }, kSimDeadlineMs));
    EXPECT_EQ(ask({"206", "3"}), "Button ok");
    ASSERT_TRUE(sim.waitForLine("code=8 arg1=0 arg2=2"));
    EXPECT_TRUE(sim.lines.filter("key vk=33").isEmpty());
}

// The next poll resets the snapshot; the one after the return links again.
TEST_F(EndToEnd, simulatorGoneIsReportedAndFollowedWhenItComesBack)
{
    ASSERT_TRUE(sim.command("window gone"));
    EXPECT_TRUE(QTest::qWaitFor([] { return ask({"207"}) == "IRACING NOT CONNECTED"; }, 5000));
    ASSERT_TRUE(sim.command("window front"));
    EXPECT_TRUE(QTest::qWaitFor([] { return json("207").value("SessionNum").toInt(-1) == 2; }, 5000));
}

// Closed (as Ctrl+C in the demo does) while a client is connected, served
// and in the middle of its next frame: the client is let go, the settings
// are saved and the program ends cleanly.
TEST_F(EndToEnd, closingWithAClientMidFrameLetsItGoAndSavesTheSettings)
{
    QTcpSocket dashboard;
    dashboard.connectToHost(QHostAddress::LocalHost, listeningPort());
    ASSERT_TRUE(dashboard.waitForConnected(kSimDeadlineMs));
    dashboard.write("@000011;202;000001;@000011;20");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dashboard.bytesAvailable() >= 28; }, kSimDeadlineMs));
    programs->pitlink.terminate();
    ASSERT_TRUE(programs->pitlink.waitForFinished(kSimDeadlineMs));
    EXPECT_EQ(programs->pitlink.exitCode(), 0);
    EXPECT_FALSE(output().contains(": 0 more frames not traced")) << "only frames left out are counted";
    EXPECT_TRUE(dashboard.state() == QAbstractSocket::UnconnectedState || dashboard.waitForDisconnected(kSimDeadlineMs));
    QSettings saved(programs->dir.path() + "/data/pitlink/pitlink.ini", QSettings::IniFormat);
    EXPECT_FALSE(saved.value("main/windowgeometry").toByteArray().isEmpty()) << "saved at close";
    EXPECT_EQ(saved.value("main/port").toString(), "0") << "the port stored, saved back";
}

} // namespace
