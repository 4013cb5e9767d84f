// Start-up: the documents folder check, controls.cfg, the network list, the
// automatic server start, and choosing another documents folder.

#include "app_test_support.h"

#include <QMutex>
#include <QStringList>

namespace {

// Lines the program writes to the debug output while a test runs.
class DebugCapture {
public:
    DebugCapture() { previous = qInstallMessageHandler(&DebugCapture::handle); }
    ~DebugCapture()
    {
        qInstallMessageHandler(previous);
    }
    static QStringList lines()
    {
        QMutexLocker lock(&mutex);
        return captured;
    }
    static void clear()
    {
        QMutexLocker lock(&mutex);
        captured.clear();
    }

private:
    static void handle(QtMsgType, const QMessageLogContext &, const QString &msg)
    {
        QMutexLocker lock(&mutex);
        captured.append(msg);
    }
    QtMessageHandler previous;
    static QMutex mutex;
    static QStringList captured;
};
QMutex DebugCapture::mutex;
QStringList DebugCapture::captured;

class StartUp : public PitlinkFixture {
protected:
    void SetUp() override
    {
        PitlinkFixture::SetUp();
        DebugCapture::clear();
    }
    DebugCapture capture;
};

TEST_F(StartUp, anAppIniThatIsNoFileIsReportedBeforeTheWindowShows)
{
    for (const bool folderNamedAppIni : {false, true}) {
        dialogs.boxes.clear();
        if (folderNamedAppIni)
            QDir().mkpath(documents + QStringLiteral("/app.ini"));
        presetSettings([this](AppSettings &s) { s.setDocumentsPath(documents); });
        open();
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Pit-link"));
        EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("app.ini not found.\nPlease check path to iRacing Documents"));
        EXPECT_FALSE(dialogs.boxes[0].mainWindowVisible);
        EXPECT_EQ(access->ui().lineEdit_ir_PathDocuments->text(), documents);
        window.reset();
    }
}

TEST_F(StartUp, controlsCfgIsCopiedToTheDebugOutputOrItsErrorIs)
{
    documentsWithAppIni();
    {
        QFile cfg(documents + QStringLiteral("/controls.cfg"));
        ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
        cfg.write("[Controls]\nthrottle=axis 2\n");
    }
    open();
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(DebugCapture::lines().join('\n').contains(QStringLiteral("throttle=axis 2")));

    window.reset();
    DebugCapture::clear();
    QFile::remove(documents + QStringLiteral("/controls.cfg"));
    QDir().mkpath(documents + QStringLiteral("/controls.cfg")); // cannot be read as a file
    open();
    EXPECT_TRUE(dialogs.boxes.empty());
    const QString out = DebugCapture::lines().join('\n');
    EXPECT_FALSE(out.contains(QStringLiteral("throttle")));
    EXPECT_FALSE(out.isEmpty()) << "the error text is written";
}

TEST_F(StartUp, networkListHoldsUsableIpv4AddressesAndTheSavedChoice)
{
    NetworkInterfaceRecord loop = eth0();
    loop.humanReadableName = QStringLiteral("lo");
    loop.loopBack = true;
    NetworkInterfaceRecord down = eth0();
    down.humanReadableName = QStringLiteral("eth1");
    down.running = false;
    NetworkInterfaceRecord twoAddresses = wlan0();
    twoAddresses.addresses.append({QStringLiteral("10.0.0.8"), true});
    interfaces = {loop, eth0(), down, twoAddresses};
    presetSettings([](AppSettings &s) {
        s.setServerIp(QStringLiteral("1.2.3.4"));
        s.setNetInterface(QStringLiteral("10.0.0.8 - wlan0"));
    });
    open();
    QComboBox *list = access->ui().comboBox_netinterfaces;
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(0), QStringLiteral("192.168.1.20 - eth0"));
    EXPECT_EQ(list->itemText(1), QStringLiteral("10.0.0.7 - wlan0"));
    EXPECT_EQ(list->itemText(2), QStringLiteral("10.0.0.8 - wlan0"));
    EXPECT_EQ(access->addresses(), (QList<QString>{"192.168.1.20", "10.0.0.7", "10.0.0.8"}));
    EXPECT_EQ(list->currentIndex(), 2);
    EXPECT_EQ(access->ui().lineEdit_ip->text(), QStringLiteral("10.0.0.8")) << "not the saved IP";

    list->setCurrentIndex(0);
    EXPECT_EQ(access->ui().lineEdit_ip->text(), QStringLiteral("192.168.1.20"));
}

TEST_F(StartUp, withoutUsableAddressesTheSavedIpStays)
{
    interfaces.clear();
    presetSettings([](AppSettings &s) { s.setServerIp(QStringLiteral("1.2.3.4")); });
    open();
    EXPECT_EQ(access->ui().comboBox_netinterfaces->count(), 0);
    EXPECT_TRUE(access->addresses().isEmpty());
    EXPECT_EQ(access->ui().lineEdit_ip->text(), QStringLiteral("1.2.3.4"));
}

TEST_F(StartUp, autostartStartsTheServerOnceAfterTheDelayAndKeepsOneStartedByAClick)
{
    // autostart, clicked before the delay
    for (const auto &c : {std::make_pair(true, false), std::make_pair(true, true), std::make_pair(false, false)}) {
        autoStartDelayMs = 100;
        presetSettings([&c](AppSettings &s) {
            s.setAutoStartServer(c.first);
            s.setServerPort(0); // any free port
        });
        open();
        EXPECT_EQ(access->server(), nullptr) << "not before the delay";
        if (c.second)
            access->ui().pushButton_startServer->click();
        irServer *clicked = access->server();
        QTest::qWait(300);
        const bool started = c.first || c.second;
        ASSERT_EQ(access->server() != nullptr, started);
        if (clicked) {
            EXPECT_EQ(access->server(), clicked) << "the automatic start must not stop it";
        }
        EXPECT_EQ(access->ui().pushButton_startServer->text(),
                  started ? QStringLiteral("Stop Server") : QStringLiteral("Start Server"));
        if (!started) {
            window.reset();
            continue;
        }
        EXPECT_TRUE(access->server()->isListening());
        EXPECT_FALSE(access->ui().groupBox_server->isEnabled());
        EXPECT_FALSE(access->ui().groupBox_paths->isEnabled());
        EXPECT_TRUE(access->ui().plainTextEdit_debug->toPlainText().contains(
            QStringLiteral("(Server) - Listening to port %1").arg(access->server()->serverPort())));
        window.reset();
    }
}

TEST_F(StartUp, choosingTheDocumentsFolder)
{
    documentsWithAppIni();
    open();
    const QString other = dir.path() + QStringLiteral("/other");
    QDir().mkpath(other);

    // Cancelled: nothing changes.
    dialogs.answer = QUrl();
    access->openFolderDialog();
    ASSERT_EQ(dialogs.captions.size(), 1u);
    EXPECT_EQ(dialogs.captions[0], QStringLiteral("Path to iracing documents"));
    EXPECT_EQ(dialogs.filters[0], QStringLiteral("iRacing (app.ini)"));
    EXPECT_EQ(dialogs.starts[0].toLocalFile(), documents);
    EXPECT_EQ(access->ui().lineEdit_ir_PathDocuments->text(), documents);
    EXPECT_TRUE(dialogs.boxes.empty());

    // A folder without app.ini: shown, reported, not stored.
    dialogs.answer = QUrl::fromLocalFile(other + QStringLiteral("/something.txt"));
    access->openFolderDialog();
    EXPECT_EQ(access->ui().lineEdit_ir_PathDocuments->text(), other);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(access->settings().documentsPath(), documents);

    // A folder with app.ini: stored at once.
    QFile ini(other + QStringLiteral("/app.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.close();
    dialogs.answer = QUrl::fromLocalFile(other + QStringLiteral("/app.ini"));
    access->openFolderDialog();
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(access->settings().documentsPath(), other);
}

} // namespace
