#include "app/Pitlink.h"

#include "model/AppSettings.h"
#include "app/Dialogs.h"
#include "app/NetworkInterfaces.h"
#include "app/PortField.h"
#include "app/SessionLabels.h"
#include "app/VersionText.h"
#include "model/DriverRoster.h"
#include "model/SessionFacts.h"
#include "model/SessionResults.h"
#include "model/TelemetrySampler.h"
#include "platform/Platform.h"
#include "server/SimulatorActions.h"
#include "simlink/SimClient.h"
#include "simlink/TelemetryLayout.h"
#include "simlink/TelemetryLink.h"
#include "ui/PairingDialog.h"
#include "ui/WidgetDriverInfo.h"
#include "web/DashboardServer.h"
#include "web/PairingToken.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr int kPollIntervalMs = 1000;
constexpr int kTelemetryIntervalMs = 500;
constexpr int kSampleWaitMs = 16;
constexpr unsigned kTimerResolutionMs = 1;
constexpr int kWindowStateVersion = 0;
// The debug pane keeps the newest lines only, so a long run or a chatty
// client cannot grow it without bound.
constexpr int kDebugPaneMaxLines = 5000;
constexpr int kDebugLineMaxChars = 1000;

const char *const kStartServerText = "Start Server";
const char *const kStopServerText = "Stop Server";

bool hasAppIni(const QString &documentsPath)
{
    const QFileInfo appIni(documentsPath + QStringLiteral("/app.ini"));
    return appIni.exists() && appIni.isFile();
}
} // namespace

Pitlink::Pitlink(QWidget *parent, const PitlinkSeams &seams)
    : QMainWindow(parent), seams(seams)
{
    ui.setupUi(this);
    ui.plainTextEdit_debug->setMaximumBlockCount(kDebugPaneMaxLines);
    ui.lineEdit_port->setValidator(new PortValidator(ui.lineEdit_port));

    if (seams.dialogs) {
        dialogs = seams.dialogs;
    } else {
        ownDialogs.reset(new Dialogs);
        dialogs = ownDialogs.get();
    }
    ownSettings.reset(seams.settingsFile.isEmpty() ? new AppSettings(this)
                                                   : new AppSettings(this, seams.settingsFile));
    settings = ownSettings.get();
    initialise();

    connect(&timer, &QTimer::timeout, this, &Pitlink::OnTimer);
    timer.start(kPollIntervalMs);
    connect(&timerIracingVariable, &QTimer::timeout, this, &Pitlink::OnTimerIracingVariable);
    connect(ui.pushButton_startServer, &QPushButton::clicked, this, &Pitlink::OnServerButton);
    connect(ui.toolButton_openFolder, &QToolButton::clicked, this, &Pitlink::OnOpenFolderDlgIracingDocuments);
    connect(ui.actionDriversWindow, &QAction::triggered, this, &Pitlink::OnOpenWidgetDrivers);
    connect(ui.actionPairing, &QAction::triggered, this, &Pitlink::OnPairing);
    ui.actionPairing->setEnabled(settings->webPort() != 0);

    restoreState(settings->mainWindowState(), kWindowStateVersion);
    restoreGeometry(settings->mainWindowGeometry());

    ui.statusBar->setVersionText(versionLabelText(platform::os()));
}

Pitlink::~Pitlink()
{
    // The server's client threads report to this window: end them while the
    // window is still whole, not from the base class's child cleanup.
    stopDashboard();
    delete server;
    server = nullptr;
    // The drivers window has no parent and points into irVars.
    delete widgetDrivers;
    widgetDrivers = nullptr;
}

void Pitlink::initialise()
{
    const QString documents = settings->documentsPath();
    ui.lineEdit_ir_PathDocuments->setText(documents);
    ui.lineEdit_ip->setText(settings->serverIp());
    ui.lineEdit_port->setText(QString::number(settings->serverPort()));
    ui.checkBox_startup_server->setChecked(settings->autoStartServer());

    if (!hasAppIni(documents)) {
        showAppIniMissing();
    } else {
        QFile controls(documents + QStringLiteral("/controls.cfg"));
        if (controls.open(QIODevice::ReadOnly))
            qDebug().noquote() << QString::fromUtf8(controls.readAll());
        else
            qDebug().noquote() << controls.errorString();
    }

    interfaceAddresses.clear();
    const QList<NetworkEntry> entries = usableNetworkEntries(
        seams.networkInterfaces ? seams.networkInterfaces() : systemNetworkInterfaces());
    for (const NetworkEntry &entry : entries) {
        ui.comboBox_netinterfaces->addItem(entry.text);
        interfaceAddresses.append(entry.address);
    }
    ui.comboBox_netinterfaces->setCurrentText(settings->netInterface());
    const int index = ui.comboBox_netinterfaces->currentIndex();
    if (index >= 0 && index < interfaceAddresses.size())
        ui.lineEdit_ip->setText(interfaceAddresses.at(index));
    // Connected only now, so filling the list does not count as a choice.
    connect(ui.comboBox_netinterfaces, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &Pitlink::OnComboBoxChanged);

    if (settings->autoStartServer()) {
        // A user who started the server by hand in the meantime keeps it.
        QTimer::singleShot(seams.autoStartDelayMs, this, [this] {
            if (!serverRunning())
                OnServerButton();
        });
    }
}

void Pitlink::showAppIniMissing()
{
    dialogs->critical(this, QStringLiteral("Pit-link"),
                      QStringLiteral("app.ini not found.\nPlease check path to iRacing Documents"));
}

void Pitlink::closeOnTerminationRequest()
{
    terminationRequested = true;
    close();
}

void Pitlink::closeEvent(QCloseEvent *event)
{
    telemetryClose();
    platform::os().endTimerResolution(kTimerResolutionMs);
    saveSettings();

    // Closing the main window ends the program: the drivers window must not
    // keep it running.
    if (widgetDrivers)
        widgetDrivers->close();
    event->accept();
}

void Pitlink::saveSettings()
{
    settings->setDocumentsPath(ui.lineEdit_ir_PathDocuments->text());
    settings->setServerIp(ui.lineEdit_ip->text());
    settings->setServerPort(portFromField(ui.lineEdit_port->text(), settings->serverPort()));
    settings->setAutoStartServer(ui.checkBox_startup_server->isChecked());
    settings->setMainWindowState(saveState(kWindowStateVersion));
    settings->setMainWindowGeometry(saveGeometry());
    if (ui.comboBox_netinterfaces->count() > 0)
        settings->setNetInterface(ui.comboBox_netinterfaces->currentText());
    if (settings->sync())
        return;
    // Lost settings must not pass without a word.
    const QString file = settings->fileName();
    qDebug().noquote() << QStringLiteral("Settings could not be saved to %1").arg(file);
    if (!terminationRequested) {
        dialogs->warning(this, QStringLiteral("Pit-link"),
                         QStringLiteral("Settings could not be saved to %1.\nCheck that the folder can be written.")
                             .arg(file));
    }
}

void Pitlink::updateSessionGroup()
{
    ui.label_sessionTime->setText(sessionTimeLabel(irVars.sessionTime, irVars.sessionLength));
    ui.label_sessionType->setText(irVars.sessionType);
    ui.label_trackname->setText(irVars.trackName);
    ui.label_laps->setText(lapsLabel(irVars.raceLaps, irVars.sessionLaps));
}

void Pitlink::OnTimer()
{
    platform::Os &os = platform::os();
    const platform::WindowId simulator = os.findWindow(telemetry::kSimulatorWindowTitle);
    if (simulator == 0) {
        ui.statusBar->setIracingText(QStringLiteral("iRacing not found"));
        iracingConnected = false;
        // No window to type into: keys must not go to whatever is in front.
        iracingOnTop = false;
        irVars = irVariables();
        // Show the reset record, not the last session's values.
        updateSessionGroup();
        return;
    }
    ui.statusBar->setIracingText(QStringLiteral("iRacing founded"));
    if (!iracingConnected && !telemetryOpen()) {
        ui.statusBar->setIracingText(QStringLiteral("iRacing not startet"));
        iracingConnected = false;
        return;
    }

    updateSessionGroup();

    SimClient &client = SimClient::shared();
    if (client.waitForSample(kSampleWaitMs)) {
        readWeekendFacts(client, irVars);
        if (irVars.sessionNum != -1) {
            readSessionFacts(client, irVars);
            DriversData();
            CarData();
        }
    }

    if (os.foregroundWindow() == simulator) {
        iracingOnTop = true;
        qDebug() << "on top";
    } else {
        iracingOnTop = false;
        qDebug() << "iRacing is in background";
    }
    iracingConnected = true;

    if (!timerIracingVariable.isActive()) {
        timerIracingVariable.start(kTelemetryIntervalMs);
        os.beginTimerResolution(kTimerResolutionMs);
    }
}

bool Pitlink::waitForSampleAndCopyLinkState()
{
    const bool fresh = SimClient::shared().waitForSample(kSampleWaitMs);
    irVars.simConnected = iracingConnected;
    return fresh;
}

void Pitlink::OnTimerIracingVariable()
{
    const bool fresh = waitForSampleAndCopyLinkState();
    // The poll's own waits may have taken the newest sample just before this
    // tick, so this wait finds nothing newer: sample whatever the client
    // holds that has not been sampled yet.
    SimClient &client = SimClient::shared();
    if (fresh || (client.isLinked() && client.sampleTick() != sampledTick)) {
        sampleTelemetry(client, irVars);
        sampledTick = client.sampleTick();
    }
    const bool dashboards = dashboard && dashboard->connectionCount() > 0;
    if (server && (server->clientCount() > 0 || dashboards))
        server->updateVars(irVars);
    if (dashboards)
        dashboard->publish(irVars, settings->documentsPath());
    if (widgetDrivers)
        widgetDrivers->setDrivers(irVars);
}

void Pitlink::DriversData()
{
    if (waitForSampleAndCopyLinkState())
        readDriverRoster(SimClient::shared(), irVars.drivers);
}

void Pitlink::CarData()
{
    // A missed wait keeps the last results, as the roster is kept: emptying
    // them would show every driver without a position until the next pass.
    if (waitForSampleAndCopyLinkState())
        readSessionResults(SimClient::shared(), irVars.sessionNum, irVars.results);
}

void Pitlink::OnOpenFolderDlgIracingDocuments()
{
    const QUrl chosen = dialogs->openFileUrl(this, QStringLiteral("Path to iracing documents"),
                                             QUrl::fromLocalFile(ui.lineEdit_ir_PathDocuments->text()),
                                             QStringLiteral("iRacing (app.ini)"));
    if (chosen.isEmpty())
        return; // cancelled: nothing changes
    const QString folder = QFileInfo(chosen.toLocalFile()).absolutePath();
    ui.lineEdit_ir_PathDocuments->setText(folder);
    if (!hasAppIni(folder)) {
        showAppIniMissing();
        return;
    }
    settings->setDocumentsPath(folder);
}

void Pitlink::OnOpenWidgetDrivers()
{
    if (widgetDrivers)
        return;
    widgetDrivers = new WidgetDriverInfo(settings, nullptr);
    connect(widgetDrivers, &WidgetDriverInfo::OnClose, this, &Pitlink::releaseDriversWindow);
    widgetDrivers->setDrivers(irVars);
    widgetDrivers->show();
}

void Pitlink::releaseDriversWindow()
{
    if (!widgetDrivers)
        return;
    // Emitted from inside the window's own close handling.
    widgetDrivers->deleteLater();
    widgetDrivers = nullptr;
}

void Pitlink::OnComboBoxChanged(int index)
{
    if (index >= 0 && index < interfaceAddresses.size())
        ui.lineEdit_ip->setText(interfaceAddresses.at(index));
}

bool Pitlink::serverRunning() const
{
    return ui.pushButton_startServer->text() != QLatin1String(kStartServerText);
}

void Pitlink::OnServerButton()
{
    if (!serverRunning()) {
        if (!server) {
            server = new irServer(settings, this, seams.serverLimits, &requestLimiter);
            connect(server, &irServer::sigDebugString, this, &Pitlink::OnDebugString);
            connect(server, &irServer::sigButtonChatClicked, this, &Pitlink::OnButtonChatClicked);
            connect(server, &irServer::sigKeyboardKey, this, &Pitlink::OnKeyboardKey);
            connect(server, &irServer::sigClientCountChanged, this,
                    [this](int count) { ui.statusBar->setClientText(StatusBar::clientText(count)); });
            // A newly accepted client is answered from the current snapshot
            // at once, not from an empty record until the next tick.
            connect(server, &irServer::sigSnapshotWanted, this, [this] {
                if (server)
                    server->updateVars(irVars);
            });
        }
        const quint16 port = portFromField(ui.lineEdit_port->text(), settings->serverPort());
        if (!server->startServer(ui.lineEdit_ip->text(), port)) {
            // Nothing listens: the button and the fields stay ready for
            // another port instead of showing a server that is not there.
            server->deleteLater();
            server = nullptr;
            return;
        }
        ui.pushButton_startServer->setText(QLatin1String(kStopServerText));
        ui.groupBox_server->setEnabled(false);
        ui.groupBox_paths->setEnabled(false);
        startDashboard();
        return;
    }
    ui.pushButton_startServer->setText(QLatin1String(kStartServerText));
    ui.groupBox_server->setEnabled(true);
    ui.groupBox_paths->setEnabled(true);
    stopDashboard();
    if (server) {
        server->stopServer();
        server->deleteLater();
        server = nullptr;
    }
    ui.statusBar->setClientText(StatusBar::clientText(0));
}

void Pitlink::startDashboard()
{
    const quint16 port = settings->webPort();
    if (port == 0 || dashboard || !server)
        return;
    dashboard = new DashboardServer(this);
    // Presses take the way of the client threads' requests: through the server.
    connect(dashboard, &DashboardServer::sigButtonChatClicked, server, &irServer::sigButtonChatClicked);
    connect(dashboard, &DashboardServer::sigKeyboardKey, server, &irServer::sigKeyboardKey);
    // And count against the same rate limits, a page being known by its address.
    dashboard->setPressGate([this](const QString &peer, bool macro) {
        return requestLimiter.admitPeer(peer, macro ? SimulatorRequest::ChatMacro : SimulatorRequest::Key);
    });
    dashboard->setToken(pairingToken());
    // Key buttons set up on any page are kept for every page, and for the next start.
    dashboard->setKeys(settings->dashboardKeys());
    connect(dashboard, &DashboardServer::sigKeysChanged, this, [this](const QVector<DashboardKey> &keys) {
        settings->setDashboardKeys(keys);
        if (!settings->sync())
            OnDebugString(QStringLiteral("(Server) - Could not save the dashboard's key buttons"), 0);
    });
    if (!dashboard->start(port)) {
        delete dashboard;
        dashboard = nullptr;
        OnDebugString(QStringLiteral("(Server) - Could not start the dashboard on port %1").arg(port), 0);
        return;
    }
    OnDebugString(QStringLiteral("(Server) - Dashboard at http://%1:%2/").arg(dashboardHost()).arg(port), 0);
    // For whoever started Pitlink from a terminal (the demo script shows it as a code).
    qDebug().noquote() << "Pairing address:" << pairingUrl();
}

QString Pitlink::dashboardHost() const
{
    const int index = ui.comboBox_netinterfaces->currentIndex();
    return index >= 0 && index < interfaceAddresses.size() ? interfaceAddresses.at(index)
                                                           : QStringLiteral("127.0.0.1");
}

QByteArray Pitlink::pairingToken()
{
    const QByteArray stored = settings->dashboardToken();
    if (isPairingToken(stored))
        return stored;
    return replacePairingToken();
}

QByteArray Pitlink::replacePairingToken()
{
    const QByteArray token = newPairingToken();
    settings->setDashboardToken(token);
    // Saved at once: a browser paired now stays paired after a crash.
    settings->sync();
    return token;
}

QString Pitlink::pairingUrl()
{
    return pairingAddress(dashboardHost(), settings->webPort(), pairingToken());
}

void Pitlink::OnPairing()
{
    if (!pairingDialog) {
        pairingDialog = new PairingDialog(this);
        connect(pairingDialog, &PairingDialog::sigNewCode, this, &Pitlink::OnNewPairingCode);
    }
    pairingDialog->setAddress(pairingUrl());
    pairingDialog->show();
    pairingDialog->raise();
}

void Pitlink::OnNewPairingCode()
{
    const QByteArray token = replacePairingToken();
    if (dashboard)
        dashboard->setToken(token);
    if (pairingDialog)
        pairingDialog->setAddress(pairingUrl());
    OnDebugString(QStringLiteral("(Server) - New pairing code: every device must pair again"), 0);
}

void Pitlink::stopDashboard()
{
    delete dashboard; // closes every page's connection
    dashboard = nullptr;
}

void Pitlink::OnDebugString(QString msg, int level)
{
    Q_UNUSED(level)
    // Client names and other texts come from the network: one line must not
    // swamp the pane.
    if (msg.size() > kDebugLineMaxChars) {
        msg.truncate(kDebugLineMaxChars);
        msg += QStringLiteral(" [cut]");
    }
    ui.plainTextEdit_debug->appendPlainText(msg);
}

void Pitlink::OnButtonChatClicked(int id)
{
    playChatMacro(iracingConnected, id);
}

void Pitlink::OnKeyboardKey(int key)
{
    pressSimulatorKey(iracingOnTop, key, platform::os());
}
