// The main window as a user first meets it: the form, the status bar and
// version, the debug pane, and what closing the window saves and closes.

#include "app_test_support.h"
#include "ui/WidgetDriverInfo.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>

namespace {

QString statusText(Pitlink &w, int field)
{
    QList<QLabel *> labels = w.statusBar()->findChildren<QLabel *>();
    return labels.value(field) ? labels.value(field)->text() : QStringLiteral("<none>");
}

class MainWindow : public PitlinkFixture {};

TEST_F(MainWindow, startsWithTheFormsTextsAndTheVersion)
{
    sim.setVersion(true, platform::VersionNumbers{{2, 1, 0, 17}});
    Pitlink &w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Pitlink"));
    EXPECT_EQ(w.size(), QSize(526, 373));
    Ui_PitlinkClass &ui = access->ui();
    EXPECT_EQ(ui.label_sessionTime->text(), QStringLiteral("0"));
    EXPECT_EQ(ui.label_laps->text(), QStringLiteral("0/0"));
    EXPECT_EQ(ui.label_sessionType->text(), QStringLiteral("n/a"));
    EXPECT_EQ(ui.label_trackname->text(), QStringLiteral("n/a"));
    EXPECT_EQ(ui.pushButton_startServer->text(), QStringLiteral("Start Server"));
    EXPECT_EQ(ui.lineEdit_port->text(), QStringLiteral("47812")) << "default port";
    EXPECT_EQ(statusText(w, 0), QStringLiteral("iRacing not connected"));
    EXPECT_EQ(statusText(w, 1), QStringLiteral("client not connected"));
    EXPECT_EQ(statusText(w, 2), QStringLiteral("v2.1.0.17"));
    EXPECT_TRUE(access->pollTimer().interval() == 1000);
    EXPECT_FALSE(access->telemetryTimer().isActive());
}

TEST_F(MainWindow, withoutVersionDataTheVersionIsAVAlone)
{
    sim.setVersion(false);
    Pitlink &w = open();
    EXPECT_EQ(statusText(w, 2), QStringLiteral("v"));
}

TEST_F(MainWindow, debugLinesAppearUndecoratedInOrder)
{
    open();
    access->debugString(QStringLiteral("(Server) - first"), 0);
    access->debugString(QStringLiteral("second line"), 1);
    EXPECT_EQ(access->ui().plainTextEdit_debug->toPlainText(),
              QStringLiteral("(Server) - first\nsecond line"));
    EXPECT_TRUE(access->ui().plainTextEdit_debug->isReadOnly());

    // Bounded: the newest lines are kept, an overlong line is cut.
    access->debugString(QString(5000, QLatin1Char('x')), 1);
    const QString last = access->ui().plainTextEdit_debug->document()->lastBlock().text();
    EXPECT_LT(last.size(), 1100);
    EXPECT_TRUE(last.startsWith(QStringLiteral("xxxx")));
    for (int i = 0; i < 6000; ++i)
        access->debugString(QStringLiteral("line %1").arg(i), 0);
    QPlainTextEdit *pane = access->ui().plainTextEdit_debug;
    EXPECT_LE(pane->document()->blockCount(), 5000);
    EXPECT_EQ(pane->document()->lastBlock().text(), QStringLiteral("line 5999"));
}

TEST_F(MainWindow, exitSavesTheFieldsAndTheNextStartShowsThem)
{
    documentsWithAppIni();
    Pitlink &w = open();
    w.show();
    Ui_PitlinkClass &ui = access->ui();
    ui.lineEdit_port->setText(QStringLiteral("70001"));
    ui.checkBox_startup_server->setChecked(true);
    ui.comboBox_netinterfaces->setCurrentIndex(1);
    EXPECT_EQ(ui.lineEdit_ip->text(), QStringLiteral("10.0.0.7")) << "the address follows the choice";
    ui.actionExit->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(sim.timerEndCount(), 1) << "resolution released though never raised";
    window.reset();

    QSettings file(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(file.value("paths/iracingdocument").toString(), documents);
    EXPECT_EQ(file.value("main/ip").toString(), QStringLiteral("10.0.0.7"));
    EXPECT_EQ(file.value("main/port").toInt(), 70001 & 0xFFFF);
    EXPECT_TRUE(file.value("main/autostartserver").toBool());
    EXPECT_EQ(file.value("main/netinterface").toString(), QStringLiteral("10.0.0.7 - wlan0"));
    EXPECT_FALSE(file.value("main/windowgeometry").toByteArray().isEmpty());
    EXPECT_FALSE(file.value("main/windowstate").toByteArray().isEmpty());

    autoStartDelayMs = 60 * 1000; // not reached in this test
    open();
    EXPECT_EQ(access->ui().lineEdit_ir_PathDocuments->text(), documents);
    EXPECT_EQ(access->ui().lineEdit_port->text(), QString::number(70001 & 0xFFFF));
    EXPECT_TRUE(access->ui().checkBox_startup_server->isChecked());
    EXPECT_EQ(access->ui().comboBox_netinterfaces->currentIndex(), 1);
}

TEST_F(MainWindow, aPortFieldWithLettersIsSavedAsZero)
{
    Pitlink &w = open();
    access->ui().lineEdit_port->setText(QStringLiteral("port"));
    w.close();
    window.reset();
    QSettings file(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(file.value("main/port").toInt(), 0);
}

TEST_F(MainWindow, closingTheMainWindowClosesTheDriversWindow)
{
    Pitlink &w = open();
    w.show();
    access->openDriversWindow();
    QPointer<WidgetDriverInfo> drivers = access->driversWindow();
    ASSERT_TRUE(drivers);
    EXPECT_TRUE(drivers->isVisible());
    access->openDriversWindow();
    EXPECT_EQ(access->driversWindow(), drivers.data()) << "a second open keeps the one window";

    access->ui().actionExit->trigger();
    EXPECT_EQ(access->driversWindow(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(drivers.isNull()) << "released after its close";
    // Nothing left open keeps the program running.
    for (QWidget *top : QApplication::topLevelWidgets())
        EXPECT_FALSE(top->isVisible()) << top->metaObject()->className();
}

TEST_F(MainWindow, theDriversWindowOpensAgainAfterItWasClosed)
{
    open();
    access->openDriversWindow();
    QPointer<WidgetDriverInfo> first = access->driversWindow();
    first->close();
    EXPECT_EQ(access->driversWindow(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    access->openDriversWindow();
    ASSERT_NE(access->driversWindow(), nullptr);
    EXPECT_TRUE(access->driversWindow()->isVisible());
}

} // namespace
