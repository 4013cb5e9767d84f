// The once-a-second session poll and the telemetry tick, against the fake
// simulator: states, labels, the snapshot, restarts and the copy to clients.

#include "app_test_support.h"
#include "ui/WidgetDriverInfo.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

class Poll : public PitlinkFixture {
protected:
    QString simulatorText() { return window->statusBar()->findChildren<QLabel *>().value(0)->text(); }
    QString clientText() { return window->statusBar()->findChildren<QLabel *>().value(1)->text(); }
    Ui_PitlinkClass &ui() { return access->ui(); }
    // A tick and two polls: values read in one pass reach the labels in the next.
    void settle()
    {
        access->tick();
        access->poll();
        access->poll();
    }
};

TEST_F(Poll, notFoundNotStartedAndFounded)
{
    open();
    access->poll();
    EXPECT_EQ(simulatorText(), QStringLiteral("iRacing not found"));
    EXPECT_FALSE(access->connected());

    sim.showWindow(true);
    sim.setMappingAvailable(false);
    access->poll();
    access->poll();
    EXPECT_EQ(simulatorText(), QStringLiteral("iRacing not startet"));
    EXPECT_FALSE(access->connected());
    EXPECT_FALSE(access->telemetryTimer().isActive());
    EXPECT_EQ(sim.timerBeginCount(), 0);

    sim.setMappingAvailable(true);
    sim.publishOnWait = true;
    access->poll();
    EXPECT_EQ(simulatorText(), QStringLiteral("iRacing founded"));
    EXPECT_TRUE(access->connected());
    EXPECT_TRUE(access->onTop());
    EXPECT_TRUE(access->telemetryTimer().isActive());
    EXPECT_EQ(access->telemetryTimer().interval(), 500);

    // Coming and going does not raise the resolution again.
    sim.hideWindow();
    access->poll();
    EXPECT_EQ(simulatorText(), QStringLiteral("iRacing not found"));
    sim.showWindow(false);
    access->poll();
    EXPECT_EQ(simulatorText(), QStringLiteral("iRacing founded"));
    EXPECT_FALSE(access->onTop());
    EXPECT_EQ(sim.timerBeginCount(), 1);
    EXPECT_TRUE(access->telemetryTimer().isActive());

    // Linked, a simulator that stops publishing still counts as found.
    sim.publishOnWait = false;
    access->poll();
    EXPECT_EQ(simulatorText(), QStringLiteral("iRacing founded"));
    EXPECT_TRUE(access->connected());
}

TEST_F(Poll, labelsShowThePreviousPassesValues)
{
    link();
    access->tick();
    access->poll();
    EXPECT_EQ(ui().label_sessionType->text(), QStringLiteral("n/a")) << "read in this pass, shown in the next";
    EXPECT_EQ(ui().label_sessionTime->text(), QStringLiteral("01:02:03/"));
    access->poll();
    EXPECT_EQ(ui().label_sessionType->text(), QStringLiteral("Race"));
    EXPECT_EQ(ui().label_trackname->text(), QStringLiteral("spa up"));
    EXPECT_EQ(ui().label_sessionTime->text(), QStringLiteral("01:02:03/02:00")) << "7200 sec";
    EXPECT_EQ(ui().label_laps->text(), QStringLiteral("3/unlimited"));
}

TEST_F(Poll, resultsAndRosterAreKeptOverAMissedWait)
{
    link();
    settle();
    const QVector<irResult> results = access->vars().results;
    const QVector<irDriver> drivers = access->vars().drivers;
    ASSERT_FALSE(results.isEmpty());
    sim.publishOnWait = false;
    access->driversData();
    access->carData();
    EXPECT_EQ(access->vars().results, results);
    EXPECT_EQ(access->vars().drivers, drivers);

    // The pass whose last wait misses: roster rebuilt, results kept.
    sim.waitPlan = {true, true, true, false};
    access->poll();
    EXPECT_EQ(access->vars().results, results);
    EXPECT_EQ(access->vars().drivers.size(), drivers.size());
}

TEST_F(Poll, theTickSamplesTheNewestSampleAnEarlierWaitTook)
{
    link();
    settle();
    // The poll's waits take the newest sample right before the tick, whose
    // own wait then finds nothing newer.
    sim.setDouble("SessionTime", 4000.25);
    sim.publishOnWait = false;
    sim.deliver();
    access->tick();
    EXPECT_EQ(access->vars().sessionTime, 4000.25);
}

TEST_F(Poll, theSnapshotFollowsTheSessionNumber)
{
    link();
    settle();
    EXPECT_EQ(access->vars().drivers.size(), 3);
    EXPECT_EQ(access->vars().results.size(), 2);
    EXPECT_EQ(access->vars().sessionType, QStringLiteral("Race"));
    sim.setInt("SessionNum", 0);
    settle();
    EXPECT_EQ(access->vars().sessionType, QStringLiteral("Practice"));
    EXPECT_EQ(access->vars().results.size(), 1);
    EXPECT_EQ(access->vars().sessionLaps, 10);
}

TEST_F(Poll, noSessionNumberReadsOnlyTheWeekend)
{
    sim.setInt("SessionNum", -1);
    link();
    settle();
    const irVariables &v = access->vars();
    EXPECT_EQ(v.trackName, QStringLiteral("spa up"));
    EXPECT_EQ(v.numSessions, 2);
    EXPECT_EQ(v.sessionType, QStringLiteral("n/a"));
    EXPECT_TRUE(v.drivers.isEmpty());
    EXPECT_TRUE(v.results.isEmpty());
    EXPECT_EQ(v.playerDriver.driverCarIdx, -1);
}

TEST_F(Poll, aVanishedSimulatorClearsTheSnapshotAndTheSessionGroup)
{
    link();
    settle();
    ASSERT_EQ(ui().label_sessionType->text(), QStringLiteral("Race"));
    ASSERT_TRUE(access->onTop());
    sim.hideWindow();
    access->poll();
    EXPECT_EQ(access->vars(), irVariables());
    EXPECT_FALSE(access->connected());
    EXPECT_FALSE(access->onTop()) << "no keys for whatever window is in front now";
    EXPECT_EQ(ui().label_sessionType->text(), QStringLiteral("n/a"));
    EXPECT_EQ(ui().label_trackname->text(), QStringLiteral("n/a"));
    EXPECT_EQ(ui().label_sessionTime->text(), QString());
    EXPECT_EQ(ui().label_laps->text(), QString());
}

TEST_F(Poll, aRestartedSimulatorIsFollowedWithinTwoPolls)
{
    link();
    settle();
    std::string restarted = sessionText();
    restarted.replace(restarted.find("spa up"), 6, "monza full");
    // A fresh image whose tick count starts again from 1.
    sim.build(restarted);
    sim.writer.setNextTick(1);
    access->poll();
    access->poll();
    EXPECT_EQ(access->vars().trackName, QStringLiteral("monza full"));
}

TEST_F(Poll, theTickCopiesTheSnapshotToTheServerOnlyWhileAClientIsConnected)
{
    link();
    settle();
    access->ui().lineEdit_port->setText(QStringLiteral("0"));
    access->serverButton();
    irServer *server = access->server();
    ASSERT_TRUE(server && server->isListening());
    access->tick();
    EXPECT_EQ(server->varsCopy(), irVariables()) << "no client: not touched";

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server->serverPort());
    ASSERT_TRUE(waitUntil([server] { return server->clientCount() == 1; }));
    EXPECT_EQ(clientText(), QStringLiteral("1 client(s) connected"));
    sim.setFloat("Speed", 77.0f);
    access->tick();
    EXPECT_FLOAT_EQ(access->vars().speed, 77.0f);
    EXPECT_EQ(server->varsCopy(), access->vars());

    client.disconnectFromHost();
    ASSERT_TRUE(waitUntil([server] { return server->clientCount() == 0; }));
    EXPECT_EQ(clientText(), QStringLiteral("client not connected"));
    sim.setFloat("Speed", 12.0f);
    access->tick();
    EXPECT_FLOAT_EQ(server->varsCopy().speed, 77.0f);
}

TEST_F(Poll, stoppingTheServerWithAClientConnectedEndsIt)
{
    link();
    access->ui().lineEdit_port->setText(QStringLiteral("0"));
    access->serverButton();
    QPointer<irServer> server = access->server();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server->serverPort());
    ASSERT_TRUE(waitUntil([&server] { return server->clientCount() == 1; }));
    EXPECT_FALSE(ui().groupBox_paths->isEnabled());
    EXPECT_FALSE(ui().groupBox_server->isEnabled());
    access->serverButton();
    EXPECT_EQ(access->server(), nullptr);
    EXPECT_TRUE(ui().groupBox_paths->isEnabled());
    EXPECT_EQ(ui().pushButton_startServer->text(), QStringLiteral("Start Server"));
    EXPECT_TRUE(ui().groupBox_server->isEnabled());
    EXPECT_EQ(clientText(), QStringLiteral("client not connected"));
    EXPECT_TRUE(waitUntil([&client] { return client.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(waitUntil([&server] { return server.isNull(); }));
}

TEST_F(Poll, aPortInUseLeavesTheServerStopped)
{
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any, 0));
    open();
    ui().lineEdit_port->setText(QString::number(taken.serverPort()));
    access->serverButton();
    EXPECT_TRUE(ui().plainTextEdit_debug->toPlainText().contains(QStringLiteral("(Server) - Could not start server")));
    EXPECT_EQ(access->server(), nullptr);
    EXPECT_EQ(ui().pushButton_startServer->text(), QStringLiteral("Start Server"));
    EXPECT_TRUE(ui().groupBox_server->isEnabled());
    EXPECT_TRUE(ui().groupBox_paths->isEnabled());

    // A free port then works at the next click.
    ui().lineEdit_port->setText(QStringLiteral("0"));
    access->serverButton();
    ASSERT_NE(access->server(), nullptr);
    EXPECT_TRUE(access->server()->isListening());
    EXPECT_EQ(ui().pushButton_startServer->text(), QStringLiteral("Stop Server"));
}

TEST_F(Poll, theTickHandsTheSnapshotToTheDriversWindow)
{
    link();
    settle();
    access->openDriversWindow();
    access->tick();
    auto *table = access->driversWindow()->findChild<QTableWidget *>(QStringLiteral("tableWidgetDriver"));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 3);
}

} // namespace
