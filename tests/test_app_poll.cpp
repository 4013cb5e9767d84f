// The once-a-second session poll, the telemetry tick and the chat and key
// handlers, against the fake simulator: states, labels, the snapshot,
// restarts, the copy to clients and what reaches the simulator.

#include "app_test_support.h"
#include "simlink/Broadcast.h"
#include "ui/WidgetDriverInfo.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {

class Poll : public PitlinkFixture {
protected:
    Ui_PitlinkClass &ui() { return access->ui(); }
    // A tick and two polls: values read in one pass reach the labels in the next.
    void settle()
    {
        access->tick();
        access->poll();
        access->poll();
    }
};

TEST_F(Poll, theSimulatorsStatesOneStepAfterTheOther)
{
    struct Step {
        const char *name;
        std::function<void()> change;
        const char *text;
        bool connected, onTop;
        int timerBegins; // raised once, not again when it comes back
    };
    const Step steps[] = {
        {"no window", [] {}, "iRacing not found", false, false, 0},
        {"a window but no telemetry", [this] { sim.showWindow(true); sim.setMappingAvailable(false); },
         "iRacing not startet", false, false, 0},
        {"telemetry", [this] { sim.setMappingAvailable(true); sim.publishOnWait = true; },
         "iRacing founded", true, true, 1},
        {"gone", [this] { sim.hideWindow(); }, "iRacing not found", false, false, 1},
        {"back behind another window", [this] { sim.showWindow(false); }, "iRacing founded", true, false, 1},
        {"linked, no more samples", [this] { sim.publishOnWait = false; }, "iRacing founded", true, false, 1},
    };
    open();
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        s.change();
        access->poll();
        access->poll();
        EXPECT_EQ(statusText(0), QString::fromLatin1(s.text));
        EXPECT_EQ(access->connected(), s.connected);
        EXPECT_EQ(access->onTop(), s.onTop);
        EXPECT_EQ(sim.timerBeginCount(), s.timerBegins);
        EXPECT_EQ(access->telemetryTimer().isActive(), s.timerBegins == 1) << "ticks from the first link on";
    }
    EXPECT_EQ(access->telemetryTimer().interval(), 500);
}

TEST_F(Poll, theSnapshotAndLabelsFollowTheSessionNumber)
{
    // No session number: only the weekend is read.
    sim.setInt("SessionNum", -1);
    link();
    settle();
    const irVariables &v = access->vars();
    EXPECT_EQ(v.trackName, QStringLiteral("spa up"));
    EXPECT_EQ(v.numSessions, 2);
    EXPECT_EQ(v.sessionType, QStringLiteral("n/a"));
    EXPECT_TRUE(v.drivers.isEmpty());
    EXPECT_TRUE(v.results.isEmpty());

    sim.setInt("SessionNum", 1);
    access->tick();
    access->poll();
    EXPECT_EQ(ui().label_sessionType->text(), QStringLiteral("n/a")) << "read in this pass, shown in the next";
    access->poll();
    EXPECT_EQ(ui().label_sessionType->text(), QStringLiteral("Race"));
    EXPECT_EQ(ui().label_trackname->text(), QStringLiteral("spa up"));
    EXPECT_EQ(ui().label_sessionTime->text(), QStringLiteral("01:02:03/02:00")) << "7200 sec";
    EXPECT_EQ(ui().label_laps->text(), QStringLiteral("3/unlimited"));
    EXPECT_EQ(v.drivers.size(), 2);
    EXPECT_EQ(v.results.size(), 2);

    sim.setInt("SessionNum", 0);
    settle();
    EXPECT_EQ(v.sessionType, QStringLiteral("Practice"));
    EXPECT_EQ(v.results.size(), 1);
    EXPECT_EQ(v.sessionLaps, 10);

    // Gone: the snapshot and the session group are cleared.
    sim.hideWindow();
    access->poll();
    EXPECT_EQ(v, irVariables());
    EXPECT_EQ(ui().label_sessionType->text(), QStringLiteral("n/a"));
    EXPECT_EQ(ui().label_trackname->text(), QStringLiteral("n/a"));
    EXPECT_EQ(ui().label_sessionTime->text(), QString());
    EXPECT_EQ(ui().label_laps->text(), QString());
}

TEST_F(Poll, missedWaitsKeepTheSnapshotTheTickTakesTheNewestSampleAndARestartIsFollowed)
{
    link();
    settle();
    const QVector<irResult> results = access->vars().results;
    const QVector<irDriver> drivers = access->vars().drivers;
    ASSERT_FALSE(results.isEmpty());
    // The pass whose roster and results waits miss: both kept.
    sim.waitPlan = {true, false, false};
    access->poll();
    EXPECT_EQ(access->vars().results, results);
    EXPECT_EQ(access->vars().drivers, drivers);

    // A wait before the tick took the newest sample; the tick's own wait
    // then finds nothing newer.
    sim.setDouble("SessionTime", 4000.25);
    sim.deliver();
    access->tick();
    EXPECT_EQ(access->vars().sessionTime, 4000.25);

    // A restarted simulator is followed within two polls.
    sim.publishOnWait = true;
    std::string restarted = sessionText();
    restarted.replace(restarted.find("spa up"), 6, "monza full");
    // A fresh image whose tick count starts again from 1.
    sim.build(restarted);
    sim.writer.setNextTick(1);
    access->poll();
    access->poll();
    EXPECT_EQ(access->vars().trackName, QStringLiteral("monza full"));
}

TEST_F(Poll, theServerStartsStopsAndGetsTheSnapshotOnlyWhileAClientIsConnected)
{
    link();
    settle();
    access->openDriversWindow();
    access->tick();
    EXPECT_EQ(access->driversWindow()->findChild<QTableWidget *>()->rowCount(), 2) << "the tick's snapshot";
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any, 0));
    ui().lineEdit_port->setText(QString::number(taken.serverPort()));
    access->serverButton();
    EXPECT_TRUE(ui().plainTextEdit_debug->toPlainText().contains(QStringLiteral("(Server) - Could not start server")));
    EXPECT_EQ(access->server(), nullptr);
    EXPECT_EQ(ui().pushButton_startServer->text(), QStringLiteral("Start Server"));
    EXPECT_TRUE(ui().groupBox_server->isEnabled());

    ui().lineEdit_port->setText(QStringLiteral("0"));
    access->serverButton();
    QPointer<irServer> server = access->server();
    ASSERT_TRUE(server && server->isListening());
    EXPECT_TRUE(ui().plainTextEdit_debug->toPlainText().contains(
        QStringLiteral("(Server) - Listening to port %1").arg(server->serverPort())));
    EXPECT_EQ(ui().pushButton_startServer->text(), QStringLiteral("Stop Server"));
    EXPECT_FALSE(ui().groupBox_paths->isEnabled());
    EXPECT_FALSE(ui().groupBox_server->isEnabled());
    access->tick();
    EXPECT_EQ(server->varsCopy(), irVariables()) << "no client: not touched";

    for (const float speed : {77.0f, 12.0f}) {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server->serverPort());
        ASSERT_TRUE(QTest::qWaitFor([&server] { return server->clientCount() == 1; }));
        EXPECT_EQ(statusText(1), QStringLiteral("1 client(s) connected"));
        sim.setFloat("Speed", speed);
        access->tick();
        EXPECT_FLOAT_EQ(access->vars().speed, speed);
        EXPECT_EQ(server->varsCopy(), access->vars());
        if (speed == 77.0f) {
            client.disconnectFromHost();
            ASSERT_TRUE(QTest::qWaitFor([&server] { return server->clientCount() == 0; }));
            EXPECT_EQ(statusText(1), QStringLiteral("client not connected"));
            sim.setFloat("Speed", 55.0f);
            access->tick();
            EXPECT_FLOAT_EQ(server->varsCopy().speed, 77.0f);
            continue;
        }
        // Stopped with a client connected: the client is ended too.
        access->serverButton();
        EXPECT_EQ(access->server(), nullptr);
        EXPECT_TRUE(ui().groupBox_paths->isEnabled());
        EXPECT_TRUE(ui().groupBox_server->isEnabled());
        EXPECT_EQ(ui().pushButton_startServer->text(), QStringLiteral("Start Server"));
        EXPECT_EQ(statusText(1), QStringLiteral("client not connected"));
        EXPECT_TRUE(QTest::qWaitFor([&client] { return client.state() == QAbstractSocket::UnconnectedState; }));
        EXPECT_TRUE(QTest::qWaitFor([&server] { return server.isNull(); }));
    }
}

// Macro 3 and 16, a key down then up and the switch to another window are
// checked with the real program in the end-to-end test.
TEST_F(Poll, chatMacrosOneToFifteenAndKeysOnlyIntoTheLinkedSimulator)
{
    open();
    access->chat(2);
    EXPECT_TRUE(sim.broadcasts().empty()) << "not linked";
    link();
    for (int id : {0, 14, 15, -1})
        access->chat(id);
    const auto sent = sim.broadcasts();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].lParam, broadcastLParam(0));
    EXPECT_EQ(sent[1].lParam, broadcastLParam(14));

    access->key(0x10041);
    ASSERT_EQ(sim.keys().size(), 2u);
    EXPECT_EQ(sim.keys()[0].code, 0x41) << "low 16 bits";
    // The simulator's window went away since the last poll.
    sim.setWindow(telemetry::kSimulatorWindowTitle, 0);
    access->key(32);
    EXPECT_EQ(sim.keys().size(), 2u);
}

} // namespace
