// The main window as a user meets it: the form, the status bar and version,
// the debug pane, start-up (documents folder, controls.cfg, network list,
// automatic server start) and what closing the window saves and closes; the
// once-a-second session poll, the telemetry tick and the chat and key
// handlers against the fake simulator; the settings file and the session
// group's texts.

#include "app_test_support.h"
#include "app/SessionLabels.h"
#include "sim_process.h"
#include "ui/PairingDialog.h"
#include "ui/QrCode.h"
#include "ui/WidgetDriverInfo.h"
#include "web/DashboardServer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace {

using MainWindow = PitlinkFixture;

// A grid item as the form test lists it.
QString describe(QLayoutItem &item)
{
    const QWidget *widget = item.widget();
    if (!widget)
        return QStringLiteral("%1 %2x%3").arg(item.spacerItem() ? "spacer" : "layout").arg(item.sizeHint().width()).arg(item.sizeHint().height());
    return QStringLiteral("%1 '%2'").arg(widget->objectName(), widget->inherits("QLineEdit") ? QString() : widget->property(widget->property("title").isValid() ? "title" : "text").toString());
}

TEST_F(MainWindow, startsWithTheFormsCellsTextsAndTheVersion)
{
    sim.setVersion(platform::VersionNumbers{{2, 1, 0, 17}});
    Pitlink &w = open();
    EXPECT_EQ(w.size(), QSize(526, 373));
    // The title, the menu and its actions.
    EXPECT_EQ(QStringList({w.windowTitle(), ui().menuPitlink->title(), ui().actionExit->text(), ui().actionDriversWindow->text()}), QStringList({"Pitlink", "Pitlink", "Exit", "Drivers"}));
    // Every item of the four grids, sorted: its layout, cell and span (rows x
    // columns), then the widget and its title or text (a field's contents
    // aside), or a spacer and its size.
    const QStringList cells = {
        "gridLayout row 0 column 1 span 1x2: groupBox_paths 'Paths'",
        "gridLayout row 0 column 3 span 2x3: groupBox_server 'Server'",
        "gridLayout row 1 column 1 span 1x1: pushButton_startServer 'Start Server'",
        "gridLayout row 1 column 2 span 1x1: checkBox_startup_server 'Server starts at startup'",
        "gridLayout row 2 column 1 span 1x5: groupBox 'Session'",
        "gridLayout row 3 column 1 span 1x6: plainTextEdit_debug ''",
        "gridLayout_2 row 0 column 0 span 1x1: label_3 'Network:'",
        "gridLayout_2 row 0 column 1 span 1x1: comboBox_netinterfaces ''",
        "gridLayout_2 row 1 column 0 span 1x1: label 'IP:'",
        "gridLayout_2 row 1 column 1 span 1x1: lineEdit_ip ''",
        "gridLayout_2 row 2 column 0 span 1x1: label_2 'Port:'",
        "gridLayout_2 row 2 column 1 span 1x1: lineEdit_port ''",
        "gridLayout_3 row 0 column 0 span 1x1: label_4 'Path to iracing documents'",
        "gridLayout_3 row 1 column 0 span 1x1: lineEdit_ir_PathDocuments ''",
        "gridLayout_3 row 1 column 1 span 1x1: toolButton_openFolder '...'",
        "gridLayout_4 row 0 column 0 span 1x1: label_5 'Time:'",
        "gridLayout_4 row 0 column 1 span 1x1: label_sessionTime '0'",
        "gridLayout_4 row 0 column 2 span 1x1: spacer 40x20",
        "gridLayout_4 row 0 column 3 span 1x1: label_8 'Laps:'",
        "gridLayout_4 row 0 column 4 span 1x1: label_laps '0/0'",
        "gridLayout_4 row 0 column 5 span 1x1: spacer 40x20",
        "gridLayout_4 row 1 column 0 span 1x1: label_6 'Type:'",
        "gridLayout_4 row 1 column 1 span 1x1: label_sessionType 'n/a'",
        "gridLayout_4 row 1 column 2 span 1x1: spacer 40x20",
        "gridLayout_4 row 1 column 3 span 1x1: label_7 'Track:'",
        "gridLayout_4 row 1 column 4 span 1x1: label_trackname 'n/a'",
        "gridLayout_4 row 1 column 5 span 1x1: spacer 40x20",
    };
    QStringList found;
    for (const char *name : {"gridLayout", "gridLayout_2", "gridLayout_3", "gridLayout_4"}) {
        auto *layout = w.findChild<QGridLayout *>(QString::fromLatin1(name));
        ASSERT_NE(layout, nullptr) << name;
        EXPECT_EQ(layout->spacing(), 6) << name;
        EXPECT_EQ(layout->contentsMargins(), QMargins(11, 11, 11, 11)) << name;
        for (int i = 0; i < layout->count(); ++i) {
            int at[4] = {-1, -1, -1, -1}; // row, column, row span, column span
            layout->getItemPosition(i, &at[0], &at[1], &at[2], &at[3]);
            found << QStringLiteral("%1 row %2 column %3 span %4x%5: ").arg(QLatin1String(name)).arg(at[0]).arg(at[1]).arg(at[2]).arg(at[3]) + describe(*layout->itemAt(i));
        }
    }
    found.sort();
    EXPECT_EQ(found, cells);
    EXPECT_TRUE(ui().label_trackname->wordWrap());
    EXPECT_EQ(ui().groupBox_paths->sizePolicy().horizontalStretch(), 1); // the one cell that stretches
    EXPECT_EQ(QStringList({statusText(0), statusText(1), statusText(2)}), QStringList({"iRacing not connected", "client not connected", "v2.1.0.17"}));
    // The two state fields share the bar's width; the version takes what it needs.
    w.show();
    QCoreApplication::processEvents();
    const QList<QLabel *> fields = w.statusBar()->findChildren<QLabel *>();
    EXPECT_NEAR(fields[0]->width(), fields[1]->width(), 1);
    EXPECT_LT(fields[2]->width() * 2, fields[1]->width());
    sim.setVersion(std::nullopt);
    open();
    EXPECT_EQ(statusText(2), QStringLiteral("v")) << "no version data";
}

TEST_F(MainWindow, debugLinesAppearUndecoratedInOrder)
{
    open();
    QPlainTextEdit *pane = ui().plainTextEdit_debug;
    access->debugString(QStringLiteral("(Server) - first"), 0);
    access->debugString(QStringLiteral("second line"), 1);
    EXPECT_EQ(pane->toPlainText(), QStringLiteral("(Server) - first\nsecond line"));
    EXPECT_TRUE(pane->isReadOnly());

    // Bounded: the newest lines are kept, an overlong line is cut.
    const QString longest(1000, QLatin1Char('x'));
    for (const QString &line : {longest, longest + "y", longest + QString(4000, QLatin1Char('y'))}) {
        access->debugString(line, 1);
        EXPECT_EQ(pane->document()->lastBlock().text(), line == longest ? longest : longest + " [cut]");
    }
    for (int i = 0; i < 6000; ++i)
        access->debugString(QStringLiteral("line %1").arg(i), 0);
    EXPECT_LE(pane->document()->blockCount(), 5000);
    EXPECT_EQ(pane->document()->lastBlock().text(), QStringLiteral("line 5999"));
}

TEST_F(MainWindow, exitClosesTheDriversWindowSavesTheFieldsAndTheNextStartShowsThem)
{
    ASSERT_TRUE(QFile(documents + QStringLiteral("/app.ini")).open(QIODevice::WriteOnly));
    presetSettings([this](AppSettings &s) { s.setDocumentsPath(documents); });
    QFile cfg(documents + QStringLiteral("/controls.cfg"));
    // Unbuffered: the window reads it while it is still open.
    ASSERT_TRUE(cfg.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && cfg.write("[Controls]\nthrottle=axis 2\n") > 0);
    open().show();
    EXPECT_TRUE(debugLines.join('\n').contains(QStringLiteral("throttle=axis 2"))) << "copied to the debug output";
    // The drivers window is one window, released at its close.
    ui().actionDriversWindow->trigger();
    QPointer<WidgetDriverInfo> drivers = access->driversWindow();
    ASSERT_TRUE(drivers && drivers->isVisible());
    ui().actionDriversWindow->trigger();

    ui().lineEdit_port->setText(QStringLiteral("70001"));
    ui().checkBox_startup_server->setChecked(true);
    ui().comboBox_netinterfaces->setCurrentIndex(1);
    ui().actionExit->trigger();
    // The drivers window closes with it: nothing left open keeps the program running.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(drivers.isNull());
    EXPECT_EQ(sim.timerEndCount(), 1) << "resolution released though never raised";
    window.reset();
    // The geometry is checked in the end-to-end test.
    QSettings file(settingsFile(), QSettings::IniFormat);
    QStringList saved;
    for (const char *key : {"paths/iracingdocument", "main/ip", "main/port", "main/autostartserver", "main/netinterface"})
        saved << file.value(key).toString();
    EXPECT_EQ(saved, QStringList({documents, "10.0.0.7", QString::number(70001 & 0xFFFF), "true", "10.0.0.7 - wlan0"}));
    EXPECT_FALSE(file.value("main/windowstate").toByteArray().isEmpty());

    // A controls.cfg that cannot be read as a file: its error is written instead.
    cfg.remove();
    QDir().mkpath(cfg.fileName());
    open();
    ASSERT_FALSE(cfg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(debugLines.contains(cfg.errorString())) << "its error is written";
    EXPECT_EQ(ui().lineEdit_port->text(), QString::number(70001 & 0xFFFF));
    EXPECT_TRUE(ui().checkBox_startup_server->isChecked());
}

constexpr int kNoPort = -1;   // no port stored
constexpr int kFreePort = -2; // a port found free when the case runs

// Settings, what a user types, and what closing then saves. A free port
// stored is one a server must then listen on; no port saved (0) is a folder
// where pitlink.ini should be.
struct WindowCase {
    const char *name;
    int storedPort;
    const char *typed; // into the emptied port field
    const char *field; // what the field then holds
    bool termination;  // closed by a termination request rather than by the user
    int savedPort; // what the file then holds; 0: it cannot be written
};

const WindowCase kWindowCases[] = {
    {"letters cannot be typed", kNoPort, "12ab", "12", false, 12},
    {"a number above 65535 cannot be typed", kNoPort, "65536", "6553", false, 6553},
    {"0 and leading zeros cannot be typed", kNoPort, "0815", "815", false, 815},
    {"an empty field with no port saved saves 47812", kNoPort, "", "", false, 47812},
    {"an empty field starts the server on the port last saved", kFreePort, "", "", false, kFreePort},
    {"65535 can be typed; a folder in the file's place is reported to the user", kNoPort, "65535", "65535", false, 0},
    {"a termination request is answered without a box", kNoPort, "47900", "47900", true, 0},
};

TEST_F(MainWindow, whatTheUserTypesAndWhatClosingSaves)
{
    for (const WindowCase &c : kWindowCases) {
        SCOPED_TRACE(c.name);
        QDir(dir.path()).removeRecursively();
        const int stored = c.storedPort == kFreePort ? freePort() : c.storedPort;
        if (stored != kNoPort)
            presetSettings([stored](AppSettings &s) { s.setServerPort(static_cast<quint16>(stored)); });
        ASSERT_TRUE(c.savedPort != 0 || QDir().mkpath(settingsFile()));

        open().show();
        ui().lineEdit_port->clear();
        QTest::keyClicks(ui().lineEdit_port, QString::fromLatin1(c.typed));
        EXPECT_EQ(ui().lineEdit_port->text(), QString::fromLatin1(c.field));
        if (c.storedPort == kFreePort) {
            access->serverButton();
            EXPECT_EQ(access->server() ? access->server()->serverPort() : 0, stored);
        }

        debugLines.clear();
        dialogs.said.clear(); // the missing app.ini's box
        if (c.termination)
            window->closeOnTerminationRequest();
        else
            window->close();
        window.reset();
        const QString failed = QStringLiteral("Settings could not be saved to %1").arg(settingsFile());
        EXPECT_EQ(debugLines.contains(failed), c.savedPort == 0);
        EXPECT_EQ(dialogs.said, c.savedPort == 0 && !c.termination ? QStringList(failed + QStringLiteral(".\nCheck that the folder can be written.")) : QStringList());
        if (c.savedPort != 0) {
            EXPECT_EQ(QSettings(settingsFile(), QSettings::IniFormat).value("main/port").toInt(), c.savedPort == kFreePort ? stored : c.savedPort);
        }
    }
}

TEST_F(MainWindow, aMissingAppIniIsReportedBeforeTheWindowShowsAndAChosenFolderIsStoredOnlyWithOne)
{
    presetSettings([this](AppSettings &s) { s.setDocumentsPath(documents); });
    open();
    // Cancelled: nothing changes.
    ui().toolButton_openFolder->click();
    EXPECT_EQ(dialogs.said, QStringList({"Pit-link|app.ini not found.\nPlease check path to iRacing Documents|hidden", "Path to iracing documents|" + documents + "|iRacing (app.ini)"}));

    // A folder whose app.ini is no file: shown, reported, not stored.
    const QString other = dir.path() + QStringLiteral("/other");
    QDir().mkpath(other + QStringLiteral("/app.ini"));
    dialogs.answer = QUrl::fromLocalFile(other + QStringLiteral("/app.ini"));
    ui().toolButton_openFolder->click();
    EXPECT_EQ(ui().lineEdit_ir_PathDocuments->text(), other);
    EXPECT_EQ(dialogs.said.filter(QStringLiteral("app.ini not found")).size(), 2);
    EXPECT_EQ(access->settings().documentsPath(), documents);

    // With the file app.ini: stored at once, nothing reported.
    ASSERT_TRUE(QDir(other).rmdir(QStringLiteral("app.ini")));
    ASSERT_TRUE(QFile(other + QStringLiteral("/app.ini")).open(QIODevice::WriteOnly));
    ui().toolButton_openFolder->click();
    EXPECT_EQ(access->settings().documentsPath(), other);
}

TEST_F(MainWindow, networkListHoldsUsableIpv4AddressesAndTheSavedChoice)
{
    // Read at each start, not written by a window that is not closed.
    presetSettings([](AppSettings &s) {
        s.setServerIp("1.2.3.4");
        s.setNetInterface("10.0.0.8 - wlan0");
    });
    // Left out: a loop-back interface, one that is not running, IPv6 addresses.
    interfaces = {iface("lo", "127.0.0.1"), interfaces[0], iface("eth1", "192.168.2.1"), interfaces[1]};
    interfaces[0].loopBack = true;
    interfaces[2].running = false;
    interfaces[3].addresses.append({QStringLiteral("10.0.0.8"), true});
    open();
    QComboBox *list = ui().comboBox_netinterfaces;
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i) + (i == list->currentIndex() ? " (current)" : "");
    EXPECT_EQ(items, QStringList({"192.168.1.20 - eth0", "10.0.0.7 - wlan0", "10.0.0.8 - wlan0 (current)"}));
    EXPECT_EQ(ui().lineEdit_ip->text(), QStringLiteral("10.0.0.8")) << "not the saved IP";
    list->setCurrentIndex(0);
    EXPECT_EQ(ui().lineEdit_ip->text(), QStringLiteral("192.168.1.20"));

    interfaces.clear();
    open();
    EXPECT_EQ(ui().lineEdit_ip->text(), QStringLiteral("1.2.3.4")) << "no usable address: kept";
    EXPECT_TRUE(access->pairingUrl().startsWith("http://127.0.0.1:")) << "no address: this machine's own";
}

// As the system lists them: its loop-back interface, running and valid, with
// 127.0.0.1 as an IPv4 address.
TEST(NetworkInterfaces, theSystemListsItsLoopBackInterfaceWithItsIpv4Address)
{
    QStringList listed;
    for (const NetworkInterfaceRecord &iface : systemNetworkInterfaces())
        for (const NetworkInterfaceRecord::Address &address : iface.addresses)
            listed << QStringLiteral("loopBack=%1 running=%2 valid=%3 %4 ipv4=%5").arg(iface.loopBack).arg(iface.running).arg(iface.valid).arg(address.text).arg(address.ipv4);
    EXPECT_TRUE(listed.contains("loopBack=1 running=1 valid=1 127.0.0.1 ipv4=1")) << listed.join('\n').toStdString();
}

// The start after the delay itself is the end-to-end test's, whose Pitlink
// autostarts its server.
TEST_F(MainWindow, autostartStartsNoServerBeforeTheDelayNorWhenOffAndKeepsOneStartedByAClick)
{
    autoStartDelayMs = 100;
    const struct {
        const char *name;
        bool autostart;
        bool clicked; // before the delay
    } cases[] = {
        {"a server started by a click is kept", true, true},
        {"no autostart", false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        presetSettings([&c](AppSettings &s) {
            s.setAutoStartServer(c.autostart);
            s.setServerPort(0); // any free port
        });
        open();
        // A thread's timers fire in the order they fall due: once this one
        // has fired, so has the window's.
        bool delayPassed = false;
        QTimer::singleShot(autoStartDelayMs, [&delayPassed] { delayPassed = true; });
        EXPECT_EQ(access->server(), nullptr) << "not before the delay";
        if (c.clicked)
            ui().pushButton_startServer->click();
        irServer *clicked = access->server();
        ASSERT_TRUE(QTest::qWaitFor([&delayPassed] { return delayPassed; }));
        ASSERT_EQ(access->server() != nullptr, c.autostart || c.clicked);
        EXPECT_TRUE(!clicked || access->server() == clicked) << "the automatic start must not stop it";
    }
}

TEST_F(MainWindow, theSimulatorsStatesOneStepAfterTheOther)
{
    // Two polls: what one pass reads shows in the next. The timer resolution
    // is raised once, not again when the simulator comes back.
    // The telemetry timer ticks every 500 ms from the first link on.
    const auto expectState = [this](const char *step, const char *state) {
        access->poll();
        access->poll();
        EXPECT_EQ(QStringLiteral("%1: connected=%2 onTop=%3 resolutionRaised=%4 ticking=%5").arg(statusText(0)).arg(access->connected()).arg(access->onTop()).arg(sim.timerBeginCount()).arg(access->telemetryTimer().isActive() ? access->telemetryTimer().interval() : 0), QString::fromLatin1(state)) << step;
    };
    open();
    EXPECT_EQ(access->pollTimer().interval(), 1000) << "the simulator is looked for once a second";
    expectState("no window", "iRacing not found: connected=0 onTop=0 resolutionRaised=0 ticking=0");
    sim.showWindow(true);
    sim.setMappingAvailable(false);
    expectState("a window but no telemetry", "iRacing not startet: connected=0 onTop=0 resolutionRaised=0 ticking=0");
    sim.setMappingAvailable(true);
    sim.publishOnWait = true;
    expectState("telemetry", "iRacing founded: connected=1 onTop=1 resolutionRaised=1 ticking=500");
    EXPECT_EQ(sim.lastWaitMs, 16) << "the window waits longer for a sample";
    sim.setWindow(telemetry::kSimulatorWindowTitle, 0);
    expectState("gone", "iRacing not found: connected=0 onTop=0 resolutionRaised=1 ticking=500");
    sim.showWindow(false);
    expectState("back behind another window", "iRacing founded: connected=1 onTop=0 resolutionRaised=1 ticking=500");
}

TEST_F(MainWindow, theSnapshotAndLabelsFollowTheSessionNumberAndMissedWaitsKeepThem)
{
    // What the snapshot holds of the session, then the session group's labels.
    const auto state = [this] {
        const irVariables &v = access->vars();
        const QStringList labels{ui().label_sessionType->text(), ui().label_trackname->text(), ui().label_sessionTime->text(), ui().label_laps->text()};
        return QStringLiteral("track=%1 sessions=%2 type=%3 laps=%4 drivers=%5 results=%6 shown: ").arg(v.trackName).arg(v.numSessions).arg(v.sessionType).arg(v.sessionLaps).arg(v.drivers.size()).arg(v.results.size()) + labels.join(", ");
    };
    // No session number: only the weekend is read.
    sim.setInt("SessionNum", -1);
    link();
    settle();
    EXPECT_EQ(state(), "track=spa up sessions=2 type=n/a laps=-1 drivers=0 results=0 shown: n/a, spa up, 01:02:03/, ");

    sim.setInt("SessionNum", 1);
    settle();
    EXPECT_EQ(state(), "track=spa up sessions=2 type=Race laps=32767 drivers=2 results=2 shown: Race, spa up, 01:02:03/02:00, 3/unlimited");

    sim.setInt("SessionNum", 0);
    settle();
    EXPECT_EQ(state(), "track=spa up sessions=2 type=Practice laps=10 drivers=2 results=1 shown: Practice, spa up, 01:02:03/00:10, 3/10");

    // The pass whose roster and results waits miss: both kept.
    const irVariables before = access->vars();
    sim.waitPlan = {true, false, false};
    access->poll();
    EXPECT_EQ(access->vars(), before);

    // A wait before the tick took the newest sample; the tick's own wait
    // then finds nothing newer.
    sim.setDouble("SessionTime", 4000.25);
    sim.deliver();
    sim.waitPlan = {false};
    access->tick();
    EXPECT_EQ(access->vars().sessionTime, 4000.25);

    // Gone: the snapshot and the session group are cleared.
    sim.setWindow(telemetry::kSimulatorWindowTitle, 0);
    access->poll();
    EXPECT_EQ(state(), "track=n/a sessions=-1 type=n/a laps=-1 drivers=0 results=0 shown: n/a, n/a, , ");
}

TEST_F(MainWindow, theServerStartsStopsAndGetsTheSnapshotOnlyWhileAClientIsConnected)
{
    QSettings(settingsFile(), QSettings::IniFormat).setValue("main/webport", freePort());
    open();
    ui().actionDriversWindow->trigger();
    link();
    settle();
    access->tick();
    EXPECT_EQ(access->driversWindow()->findChild<QTableWidget *>()->rowCount(), 2) << "the tick's snapshot";
    // The button, and the form while the server runs.
    const auto press = [this](const QString &port, const char *form) {
        ui().lineEdit_port->setText(port);
        access->serverButton();
        EXPECT_EQ(QStringLiteral("listening=%1 button=%2 paths=%3 server=%4").arg(access->server() && access->server()->isListening()).arg(ui().pushButton_startServer->text()).arg(ui().groupBox_paths->isEnabled()).arg(ui().groupBox_server->isEnabled()), QString::fromLatin1(form));
    };
    const auto said = [this](const QString &line) { return ui().plainTextEdit_debug->toPlainText().contains(line); };
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any, 0));
    press(QString::number(taken.serverPort()), "listening=0 button=Start Server paths=1 server=1");
    EXPECT_TRUE(said(QStringLiteral("(Server) - Could not start server")));
    press(QStringLiteral("0"), "listening=1 button=Stop Server paths=0 server=0");
    QPointer<irServer> server = access->server();
    ASSERT_TRUE(server);
    EXPECT_TRUE(said(QStringLiteral("(Server) - Listening to port %1").arg(server->serverPort())));
    EXPECT_TRUE(said(QStringLiteral("(Server) - Dashboard at http://")));
    // Key buttons set up on a page are saved at once.
    emit window->findChild<DashboardServer *>()->sigKeysChanged({DashboardKey{QStringLiteral("Pit"), 80}});
    EXPECT_EQ(AppSettings(window.get(), settingsFile()).dashboardKeys().value(0).key, 80);
    EXPECT_FALSE(said(QStringLiteral("Could not save the dashboard's key buttons")));

    const auto clientCount = [&](int count, const char *status) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return server->clientCount() == count; }));
        EXPECT_EQ(statusText(1), QString::fromLatin1(status));
    };
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server->serverPort());
    clientCount(1, "1 client(s) connected");
    sim.setFloat("Speed", 77.0f);
    access->tick();
    EXPECT_EQ(server->varsCopy(), access->vars()) << "this tick's record, speed 77 included";
    client.disconnectFromHost();
    clientCount(0, "client not connected");
    sim.setFloat("Speed", 55.0f);
    access->tick();
    EXPECT_FLOAT_EQ(server->varsCopy().speed, 77.0f) << "no client: not touched";

    client.connectToHost(QHostAddress::LocalHost, server->serverPort());
    clientCount(1, "1 client(s) connected");
    // Stopped with a client connected: the client is ended too.
    press(QString(), "listening=0 button=Start Server paths=1 server=1");
    EXPECT_EQ(statusText(1), QStringLiteral("client not connected"));
    EXPECT_TRUE(QTest::qWaitFor([&client] { return client.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(QTest::qWaitFor([&server] { return server.isNull(); }));
}

// Macro 3 through the server (its number in the broadcast), a key down then
// up and the switch to another window are checked with the real program in
// the end-to-end test.
TEST_F(MainWindow, chatMacrosOneToFifteenAndKeysOnlyIntoTheLinkedSimulator)
{
    // In front from the start, but not linked, nor known to be in front, before the first poll.
    sim.showWindow(true);
    open();
    access->chat(2);
    access->key(0x42);
    link();
    for (int id : {0, 14, 15, -1})
        access->chat(id);
    EXPECT_EQ(sim.broadcasts().size(), 2u);

    access->key(0x10041);
    ASSERT_EQ(sim.keys().size(), 2u);
    EXPECT_EQ(sim.keys()[0], 0x41) << "low 16 bits";
    // The simulator's window went away since the last poll.
    sim.setWindow(telemetry::kSimulatorWindowTitle, 0);
    access->key(32);
    EXPECT_EQ(sim.keys().size(), 2u);
}

TEST_F(MainWindow, theSettingsFileIsReadBackWithItsDefaultsAndDashboardKeysByThePagesRule)
{
    presetSettings([this](AppSettings &s) {
        EXPECT_FALSE(s.autoStartServer());
        EXPECT_TRUE(s.mainWindowState().isEmpty());
        EXPECT_FALSE(QFile::exists(settingsFile())) << "reading writes nothing";
        s.setMainWindowState(QByteArray("\x00\x01state", 7));
        s.setMainWindowGeometry(QByteArray("geometry"));
    });
    QObject owner;
    QSettings raw(settingsFile(), QSettings::IniFormat);
    raw.setValue("main/port", 70000); // written by hand or an older program
    // The dashboard's port: a whole number from 0 (off) to 65535, else the
    // default (as when none is stored).
    // The text stored names the row.
    const std::vector<std::pair<const char *, int>> webPorts{
        {"0", 0},
        {"65535", 65535},
        {"65536", 47813},
        {"-1", 47813},
        {"80x", 47813},
    };
    for (const auto &w : webPorts) {
        SCOPED_TRACE(w.first);
        raw.setValue("main/webport", QString::fromLatin1(w.first));
        AppSettings s(&owner, settingsFile());
        EXPECT_EQ(s.webPort(), w.second);
        EXPECT_EQ(s.serverPort(), 4464) << "the low 16 bits";
        EXPECT_EQ(s.mainWindowState(), QByteArray("\x00\x01state", 7));
        EXPECT_EQ(s.mainWindowGeometry(), QByteArray("geometry"));
    }

    // Dashboard keys follow one rule from a page and from the file: one key
    // as a page sends it and as the file holds it, there followed by "B" on
    // code 66. `code` is JSON and the stored text alike.
    struct Case {
        const char *name;
        const char *label;
        const char *code;
        const char *refusal; // the page's reason; "" takes the key
    };
    const Case cases[] = {
        {"a label trimmed, the highest code", " Pit ", "254", ""},
        {"20 characters beyond UTF-16", u8"😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀", "1", ""},
        {"a blank label", "   ", "80", "empty label"},
        {"21 characters", "abcdefghijklmnopqrstu", "80", "label longer than 20 characters"},
        {"a control character", "A\a", "80", "control character in a label"},
        {"code 0", "A", "0", "key code not from 1 to 254"},
        {"code 255", "A", "255", "key code not from 1 to 254"},
        {"a code with a fraction", "A", "80.5", R"(an entry is not {"label":TEXT,"key":NUMBER})"},
        {"a code that is no number", "A", "0x50", R"(an entry is not {"label":TEXT,"key":NUMBER})"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const bool valid = *c.refusal == '\0';
        const QString label = QString::fromUtf8(c.label);
        const QJsonValue code = QJsonDocument::fromJson(QByteArray("[") + c.code + "]").array().at(0);
        const DashboardKeysParse parsed = parseDashboardKeys(QJsonDocument(QJsonObject{{"keys", QJsonArray{QJsonObject{{"label", label}, {"key", code}}}}}).toJson());
        EXPECT_EQ(parsed.reason, QString::fromLatin1(c.refusal));
        EXPECT_EQ(parsed.keys.value(0).label, valid ? label.trimmed() : QString());

        raw.setValue("dashboard/keys/size", 2);
        raw.setValue("dashboard/keys/1/label", label);
        raw.setValue("dashboard/keys/1/key", QString::fromLatin1(c.code));
        raw.setValue("dashboard/keys/2/label", "B");
        raw.setValue("dashboard/keys/2/key", 66);
        debugLines.clear();
        const QVector<DashboardKey> b{{"B", 66}};
        EXPECT_EQ(AppSettings(&owner, settingsFile()).dashboardKeys(), valid ? QVector<DashboardKey>({{label.trimmed(), code.toInt()}}) + b : b);
        EXPECT_EQ(debugLines.filter(QStringLiteral("Dashboard keys:")).size(), valid ? 0 : 1);
    }
    // More than 32: a page is refused, the file's first 32 are kept.
    const QByteArray entry = R"({"label":"A","key":65})";
    EXPECT_FALSE(parseDashboardKeys("{\"keys\":[" + (entry + ',').repeated(32) + entry + "]}").ok);
    EXPECT_EQ(parseDashboardKeys("[]").reason, QStringLiteral("not a JSON object"));
    presetSettings([](AppSettings &s) { s.setDashboardKeys(QVector<DashboardKey>(40, {"A", 65})); });
    EXPECT_EQ(AppSettings(&owner, settingsFile()).dashboardKeys(), QVector<DashboardKey>(32, {"A", 65}));
    EXPECT_EQ(debugLines.filter(QStringLiteral("Dashboard keys: 8 of 40")).size(), 1);
    // A shorter list leaves nothing of a longer one behind.
    presetSettings([](AppSettings &s) { s.setDashboardKeys({{"Pit", 80}}); });
    EXPECT_EQ(AppSettings(&owner, settingsFile()).dashboardKeys(), QVector<DashboardKey>({{"Pit", 80}}));
}

// What a phone's camera reads off the pairing code, as zbarimg decodes it
// (nothing when the image could not be saved).
QString decodedQrCode(QLabel &code, const QString &folder)
{
    const QString image = folder + QStringLiteral("/pairing.png");
    code.grab().save(image);
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), image});
    zbar.waitForFinished(kSimDeadlineMs);
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

TEST_F(MainWindow, aPairingCodeIsStoredShownAsTheAddressAndReplacedOnlyWhenMalformedOrAsked)
{
    presetSettings([](AppSettings &s) { s.setDashboardToken("a-token-of-24-chars-but!"); });
    open();
    EXPECT_TRUE(ui().actionPairing->isEnabled()) << "the dashboard is on";
    access->openPairing();
    auto *dialog = window->findChild<PairingDialog *>();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_LT(dialog->width(), 800) << "the hint is one long line";
    const auto stored = [this] { return QSettings(settingsFile(), QSettings::IniFormat).value("dashboard/token").toByteArray(); };
    // A code of the right form, shown in the address and read off the image.
    const auto shown = [&](const QByteArray &code) {
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]{24}$")).match(QString::fromLatin1(code)).hasMatch()) << code.constData();
        const QString address = QStringLiteral("http://192.168.1.20:47813/?pair=") + QString::fromLatin1(code);
        EXPECT_EQ(dialog->label_pairingAddress->text(), address);
        EXPECT_EQ(decodedQrCode(*dialog->label_qrCode, dir.path()), address);
    };
    const QByteArray first = stored();
    shown(first);
    // The finder pattern stands right inside a quiet zone of four modules.
    const QImage code = qrCodeImage(first, 1);
    EXPECT_EQ(code.pixelColor(4, 4).name(), QStringLiteral("#000000"));
    EXPECT_EQ(code.pixelColor(3, 3).name(), QStringLiteral("#ffffff"));
    dialog->pushButton_newCode->click();
    EXPECT_NE(stored(), first);
    shown(stored());

    // A stored code of the right form is kept: each kind of character a code
    // may hold, at the edges of its range.
    const QByteArray kept = "azAZ09-_azAZ09-_azAZ09-_";
    presetSettings([&kept](AppSettings &s) { s.setDashboardToken(kept); });
    open();
    access->openPairing();
    EXPECT_EQ(stored(), kept);
}

TEST(SessionLabels, theClockShowsItsStart)
{
    // The session group's texts for the clock and the laps of every pass
    // are checked in the main window's tests; this is the clock's lower edge.
    EXPECT_EQ(sessionTimeLabel(0.0, 7200.0), QStringLiteral("00:00:00/02:00"));
}

} // namespace
