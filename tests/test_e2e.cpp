// The whole program as a user runs it: pitlink-sim plays the simulator,
// Pitlink runs with its own settings file (autostart on a free port) and a
// dashboard talks to it with pitlink-client.

#include "sim_process.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <tuple>
#include <vector>

namespace {


class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString documents = dir.path() + "/documents";
        QDir().mkpath(documents);
        port = freePort();
        QSettings ini(dir.path() + "/data/pitlink/pitlink.ini", QSettings::IniFormat);
        ini.setValue("main/autostartserver", true);
        ini.setValue("main/port", port);
        ini.setValue("paths/iracingdocument", documents);
        ini.sync();

        ASSERT_TRUE(sim.start({"--documents", documents, "--codepage", "windows-1252"}));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", dir.path() + "/data");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        pitlink.setProcessEnvironment(env);
        pitlink.setProcessChannelMode(QProcess::MergedChannels);
        pitlink.start(QStringLiteral(PITLINK_PATH), QStringList());
        ASSERT_TRUE(pitlink.waitForStarted(kSimDeadlineMs));
    }
    // pitlink-client's exit code, standard output and error output.
    std::tuple<int, QByteArray, QByteArray> run(const QStringList &args)
    {
        QProcess client;
        client.start(QStringLiteral(PITLINK_CLIENT_PATH), args);
        if (!client.waitForFinished(kSimDeadlineMs))
            return {-1, "", ""};
        return {client.exitCode(), client.readAllStandardOutput(), client.readAllStandardError()};
    }
    // The reply text of one request, or "<no reply>".
    QString ask(const QString &command, const QString &text = QString())
    {
        QStringList args{"--timeout", "3000", "127.0.0.1", QString::number(port), command};
        if (!text.isNull())
            args << text;
        const auto ran = run(args);
        return std::get<0>(ran) == 0 ? QString::fromUtf8(std::get<1>(ran)).trimmed() : QStringLiteral("<no reply>");
    }
    QJsonObject json(const QString &command)
    {
        return QJsonDocument::fromJson(ask(command).toUtf8()).object();
    }

    QTemporaryDir dir;
    quint16 port = 0;
    SimProcess sim;
    QProcess pitlink;
};

TEST_F(EndToEnd, aDashboardReadsTheSessionAndActsInTheSimulator)
{
    // Autostart one second after start-up.
    ASSERT_TRUE(QTest::qWaitFor([this] { return ask("202") == "pit-link"; }, kLinkDeadlineMs)) << pitlink.readAll().toStdString();
    // The client's own output and exit codes: 3 no reply, 2 no server, 1 usage.
    const QString open = QString::number(port);
    const QString closed = QString::number(freePort());
    const struct {
        const char *name;
        QStringList args;
        int exitCode;
        QByteArray output; // the whole standard output, or a part of the error output
    } tool[] = {
        {"a raw reply", {"--raw", "127.0.0.1", open, "202"}, 0, "@000020;202;000001;pit-link;"},
        {"no reply awaited", {"127.0.0.1", open, "201", "Pit wall"}, 0, ""},
        {"no reply", {"--timeout", "300", "127.0.0.1", open, "204"}, 3, "no reply"},
        {"no server", {"127.0.0.1", closed, "202"}, 2, "cannot connect"},
        {"usage", {"127.0.0.1"}, 1, ""},
    };
    for (const auto &c : tool) {
        SCOPED_TRACE(c.name);
        const auto ran = run(c.args);
        EXPECT_EQ(std::get<0>(ran), c.exitCode);
        EXPECT_TRUE(c.exitCode == 0 ? std::get<1>(ran) == c.output : std::get<2>(ran).contains(c.output));
    }

    const QString macros = ask("205");
    EXPECT_EQ(macros.count('|'), 14) << macros.toStdString();
    EXPECT_TRUE(macros.startsWith("Good luck everyone!")) << macros.toStdString();

    // Linked within a poll or two, then sampled by the telemetry tick.
    ASSERT_TRUE(QTest::qWaitFor([this] { return json("207").value("SessionNum").toInt(-1) == 2; }, kLinkDeadlineMs));
    EXPECT_TRUE(json("207").value("IsOnTrack").toBool());
    // The player's speed as the substitute publishes it, within a tick.
    ASSERT_TRUE(sim.command("speed 42.5"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return json("207").value("Speed").toDouble() == 42.5; }, 5000));
    // Session values reach the snapshot at the poll after the tick.
    EXPECT_TRUE(QTest::qWaitFor([this] { return json("208").value("SI.SessionType").toString() == "Race"; }, 5000));
    EXPECT_EQ(json("208").value("WI.Trackname").toString(), "spa up");

    // Chat macro 3 is broadcast with code 8 and the 0-based macro.
    EXPECT_EQ(ask("206", "3"), "Button ok");
    EXPECT_TRUE(sim.waitForLine("code=8 arg1=0 arg2=2"));
    EXPECT_EQ(ask("206", "16"), "Button ok");

    // A key while the simulator is in front: down, then up.
    // The key is pressed once a poll has seen the window in front: asked
    // again until then, as a user would tap again.
    ASSERT_TRUE(sim.command("window front"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return ask("209", "32") == "KEY OK" && sim.waitForLine("key vk=32 down", 300); }, 15000));
    EXPECT_TRUE(sim.waitForLine("key vk=32 up"));
    // Whole lines: "key vk=32 down to another program" would be a key in the wrong window.
    EXPECT_TRUE(sim.lines.contains("key vk=32 down"));
    EXPECT_TRUE(sim.lines.contains("key vk=32 up"));

    // Another window in front: nothing is pressed.
    ASSERT_TRUE(sim.command("window back"));
    EXPECT_EQ(ask("209", "33"), "IRACING NOT ONTOP");
    QThread::msleep(1200);
    EXPECT_EQ(ask("209", "33"), "IRACING NOT ONTOP");
    QThread::msleep(300);
    EXPECT_FALSE(sim.waitForLine("key vk=33", 500));
    EXPECT_TRUE(sim.lines.filter("arg2=15").isEmpty()) << "macro 16 is not played";
    // The substitute records every key, also one typed into another program.
    EXPECT_FALSE(sim.waitForLine("to another program", 300)) << "a key went to another program";

    // The simulator goes away: the next poll resets the snapshot.
    ASSERT_TRUE(sim.command("window gone"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return ask("207") == "IRACING NOT CONNECTED"; }, 5000));

    // And comes back: followed again.
    ASSERT_TRUE(sim.command("window front"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return json("207").value("SessionNum").toInt(-1) == 2; }, 5000));
    EXPECT_EQ(pitlink.state(), QProcess::Running);

    // The header rewritten in place under the linked program, the connected
    // bit set throughout: hostile for half a second, then valid again with
    // another track. Pitlink stays up and follows.
    const double before = json("207").value("SessionTimeSinceStarted").toDouble();
    ASSERT_TRUE(sim.command("rewrite-header monza"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return json("208").value("WI.Trackname").toString() == "monza"; }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return json("207").value("SessionTimeSinceStarted").toDouble() > before + 0.5; }, 3000));
    EXPECT_EQ(pitlink.state(), QProcess::Running);

    // Closed while a client is connected and in the middle of a frame: the
    // client is let go, the settings are saved and the program ends cleanly.
    QTcpSocket dashboard;
    dashboard.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(dashboard.waitForConnected(kSimDeadlineMs));
    dashboard.write("@000011;20");
    ASSERT_TRUE(dashboard.waitForBytesWritten(kSimDeadlineMs));
    QThread::msleep(200);
    pitlink.terminate(); // what Ctrl+C in the demo does
    ASSERT_TRUE(pitlink.waitForFinished(kSimDeadlineMs));
    EXPECT_EQ(pitlink.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(pitlink.exitCode(), 0);
    EXPECT_FALSE(pitlink.readAll().contains(": 0 more frames not traced")) << "only frames left out are counted";
    EXPECT_TRUE(dashboard.state() == QAbstractSocket::UnconnectedState || dashboard.waitForDisconnected(kSimDeadlineMs));
    QSettings saved(dir.path() + "/data/pitlink/pitlink.ini", QSettings::IniFormat);
    EXPECT_FALSE(saved.value("main/windowgeometry").toByteArray().isEmpty()) << "saved at close";
    EXPECT_EQ(saved.value("main/port").toInt(), port);
}

} // namespace
