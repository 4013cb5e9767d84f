#pragma once
// The main window under test: a simulator on the fake platform, dialogs that
// record instead of blocking, two fake network interfaces, a settings file of
// the test's own and the lines written to the debug output.

#include "model/AppSettings.h"
#include "app/Dialogs.h"
#include "app/NetworkInterfaces.h"
#include "app/Pitlink.h"
#include "fake_simulator.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Reaches the main window's private state and slots.
struct PitlinkTestAccess {
    Pitlink &w;

    Ui_PitlinkClass &ui() { return w.ui; }
    irVariables &vars() { return w.irVars; }
    bool connected() const { return w.iracingConnected; }
    bool onTop() const { return w.iracingOnTop; }
    QTimer &pollTimer() { return w.timer; }
    QTimer &telemetryTimer() { return w.timerIracingVariable; }
    irServer *server() { return w.server; }
    WidgetDriverInfo *driversWindow() { return w.widgetDrivers; }
    AppSettings &settings() { return *w.settings; }

    void poll() { w.OnTimer(); }
    void tick() { w.OnTimerIracingVariable(); }
    void chat(int id) { w.OnButtonChatClicked(id); }
    void key(int code) { w.OnKeyboardKey(code); }
    void serverButton() { w.OnServerButton(); }
    void openPairing() { w.OnPairing(); }
    QString pairingUrl() { return w.pairingUrl(); }
    void debugString(const QString &msg, int level) { w.OnDebugString(msg, level); }
};

// Every dialog in call order: a box as "title|text|shown" or "...|hidden"
// (the main window's state then), a warning as its text, a file dialog as
// "caption|start folder|filter".
struct RecordingDialogs : Dialogs {
    void critical(QWidget *parent, const QString &title, const QString &text) override { said << title + '|' + text + (parent && parent->isVisible() ? "|shown" : "|hidden"); }
    void warning(QWidget *, const QString &, const QString &text) override { said << text; }
    QUrl openFileUrl(QWidget *, const QString &caption, const QUrl &start, const QString &filter) override
    {
        said << caption + '|' + start.toLocalFile() + '|' + filter;
        return answer;
    }
    QStringList said;
    QUrl answer; // empty: the user cancels
};

// A practice of 10 laps and a race of unlimited laps over two hours.
inline const std::string kSessionText = R"(WeekendInfo:
 TrackName: spa up
SessionInfo:
 NumSessions: 2
 Sessions:
 - SessionNum: 0
   SessionLaps: 10
   SessionTime: 600.0000 sec
   SessionType: Practice
   ResultsPositions:
   - Position: 1
 - SessionNum: 1
   SessionLaps: unlimited
   SessionTime: 7200.0000 sec
   SessionType: Race
   ResultsPositions:
   - Position: 1
   - Position: 2
DriverInfo:
 Drivers:
 - CarIdx: 0
 - CarIdx: 3
)";

inline QStringList debugLines;

class PitlinkFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        debugLines.clear();
        previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &msg) { debugLines << msg; });
        documents = dir.path() + QStringLiteral("/documents");
        QDir().mkpath(documents);
        sim.declare("SessionTime", telemetry::kTypeDouble);
        sim.declare("SessionNum", telemetry::kTypeInt);
        sim.declare("RaceLaps", telemetry::kTypeInt);
        sim.declare("Speed", telemetry::kTypeFloat);
        sim.build(kSessionText);
        sim.setInt("RaceLaps", 3);
        sim.setDouble("SessionTime", 3723.5);
        interfaces = {iface("eth0", "192.168.1.20"), iface("wlan0", "10.0.0.7")};
    }
    void TearDown() override
    {
        window.reset();
        qInstallMessageHandler(previous);
    }

    // An interface that is running and valid, neither loop-back nor point-to-point,
    // with one IPv4 address and a link-local IPv6 one.
    static NetworkInterfaceRecord iface(const char *name, const char *ipv4)
    {
        return {QString::fromLatin1(name), true, true, false, false, {{QString::fromLatin1(ipv4), true}, {QStringLiteral("fe80::1"), false}}};
    }

    QString settingsFile() const { return dir.path() + QStringLiteral("/pitlink.ini"); }
    // Settings written before the window starts.
    template <typename Fill>
    void presetSettings(const Fill &fill)
    {
        QObject owner;
        AppSettings s(&owner, settingsFile());
        fill(s);
    }

    Pitlink &open()
    {
        // Dialogs, network interfaces, settings file, server limits, autostart delay.
        window.reset(new Pitlink(nullptr, {&dialogs, [this] { return interfaces; }, settingsFile(), ServerLimits(), autoStartDelayMs}));
        access.reset(new PitlinkTestAccess{*window});
        // Polls are driven by the tests, not by the clock.
        access->pollTimer().stop();
        return *window;
    }
    // Opens the window and polls once with the simulator in front, linked.
    void link()
    {
        sim.showWindow(true);
        sim.publishOnWait = true;
        if (!window)
            open();
        access->poll();
    }
    // A tick and two polls: values read in one pass reach the labels in the next.
    void settle()
    {
        access->tick();
        access->poll();
        access->poll();
    }
    Ui_PitlinkClass &ui() { return access->ui(); }
    QString statusText(int field) { return window->statusBar()->findChildren<QLabel *>().value(field)->text(); }

    FakeSimulator sim;
    QTemporaryDir dir;
    QString documents;
    RecordingDialogs dialogs;
    QList<NetworkInterfaceRecord> interfaces;
    int autoStartDelayMs = 1000;
    std::unique_ptr<Pitlink> window;
    std::unique_ptr<PitlinkTestAccess> access;
    QtMessageHandler previous = nullptr;
};
