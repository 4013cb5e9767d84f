#pragma once
// The main window and controller of the program: it owns the race data
// snapshot and the two timers that drive all simulator polling, and wires the
// form, the server and the drivers window together. GUI thread only.

#include "app/Ui_PitlinkClass.h"
#include "model/irVariables.h"
#include "server/RequestLimiter.h"
#include "server/irServer.h"
#include "simlink/TelemetryLayout.h"

#include <QList>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

class AppSettings;
class DashboardServer;
class PairingDialog;
class Dialogs;
class QCloseEvent;
class WidgetDriverInfo;
struct NetworkInterfaceRecord;

// What a test replaces; the defaults are the program's own.
struct PitlinkSeams {
    Dialogs *dialogs = nullptr; // not owned; null: real modal dialogs
    std::function<QList<NetworkInterfaceRecord>()> networkInterfaces; // empty: the machine's
    QString settingsFile;       // empty: the writable data location's pitlink.ini
    ServerLimits serverLimits;
    int autoStartDelayMs = 1000;
};

class Pitlink : public QMainWindow {
    Q_OBJECT

public:
    explicit Pitlink(QWidget *parent = nullptr, const PitlinkSeams &seams = PitlinkSeams());
    ~Pitlink() override;

    // Closes the window for the system's termination request: saved as on
    // any close, but no one is there to answer a message box.
    void closeOnTerminationRequest();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void OnTimer();
    void OnTimerIracingVariable();
    void DriversData();
    void CarData();
    void OnOpenFolderDlgIracingDocuments();
    void OnOpenWidgetDrivers();
    void OnPairing();
    void OnNewPairingCode();
    void OnComboBoxChanged(int index);
    void OnServerButton();
    void OnDebugString(QString msg, int level);
    void OnButtonChatClicked(int id);
    void OnKeyboardKey(int key);

private:
    friend struct PitlinkTestAccess;

    void initialise();
    void showAppIniMissing();
    void updateSessionGroup();
    void saveSettings();
    // The 16 ms wait for a new sample that each step of a pass makes; the
    // snapshot's connected flag follows the window's, whatever the wait gave.
    bool waitForSampleAndCopyLinkState();
    void releaseDriversWindow();
    bool serverRunning() const;
    // The browser dashboard runs while the server listens.
    void startDashboard();
    void stopDashboard();
    // The address the dashboard is reached at: the chosen network's, or
    // 127.0.0.1 when there is none.
    QString dashboardHost() const;
    // The stored pairing secret, made (and saved) the first time it is needed.
    QByteArray pairingToken();
    // A new secret, stored and saved: every paired browser must pair again.
    QByteArray replacePairingToken();
    QString pairingUrl();

    Ui_PitlinkClass ui;
    bool iracingConnected = false;
    bool iracingOnTop = false;
    AppSettings *settings = nullptr;
    QTimer timer;
    QTimer timerIracingVariable;
    QList<QString> interfaceAddresses;
    // Bounds the chat and key requests of every network client together.
    RequestLimiter requestLimiter;
    irServer *server = nullptr;
    DashboardServer *dashboard = nullptr;
    irVariables irVars;
    std::int32_t sampledTick = telemetry::kNoTick; // tick count of the sample the tick last read
    WidgetDriverInfo *widgetDrivers = nullptr;
    PairingDialog *pairingDialog = nullptr; // a child of this window

    PitlinkSeams seams;
    std::unique_ptr<AppSettings> ownSettings; // its QSettings is a child of this window
    std::unique_ptr<Dialogs> ownDialogs; // used when no test dialogs are given
    Dialogs *dialogs = nullptr;
    bool terminationRequested = false;
};
