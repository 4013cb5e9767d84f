// The settings file and the race data record: what start-up, close and the
// client threads rely on.

#include "app/AppSettings.h"
#include "model/irVariables.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class Settings : public ::testing::Test {
protected:
    QString file() const { return dir.path() + QStringLiteral("/pitlink.ini"); }
    QTemporaryDir dir;
    QObject owner;
};

TEST_F(Settings, defaultsWhenTheFileIsAbsent)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    const QString data = QStandardPaths::writableLocation(QStandardPaths::DataLocation);
    QT_WARNING_POP
    EXPECT_EQ(AppSettings::defaultFilePath(), data + QStringLiteral("/pitlink.ini"));

    AppSettings s(&owner, file());
    EXPECT_EQ(s.documentsPath(), QString());
    EXPECT_EQ(s.serverIp(), QString());
    EXPECT_EQ(s.serverPort(), 47812);
    EXPECT_EQ(s.webPort(), 47813);
    EXPECT_FALSE(s.autoStartServer());
    EXPECT_EQ(s.netInterface(), QString());
    EXPECT_TRUE(s.mainWindowState().isEmpty());
    EXPECT_TRUE(s.mainWindowGeometry().isEmpty());
    EXPECT_FALSE(s.driversWindowStayOnTop());
    EXPECT_FALSE(QFile::exists(file())) << "reading writes nothing";
}

TEST_F(Settings, valuesAreKeptInTheIniFile)
{
    {
        QObject parent;
        AppSettings s(&parent, file());
        s.setDocumentsPath(QStringLiteral("C:/Users/Ann/Documents/iRacing"));
        s.setServerIp(QStringLiteral("10.0.0.7"));
        s.setServerPort(4465);
        s.setAutoStartServer(true);
        s.setNetInterface(QStringLiteral("10.0.0.7 - wlan0"));
        s.setMainWindowState(QByteArray("\x00\x01state", 7));
        s.setMainWindowGeometry(QByteArray("geometry"));
        s.setDriversWindowStayOnTop(true);
    } // written out with its parent
    QSettings raw(file(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("paths/iracingdocument").toString(), QStringLiteral("C:/Users/Ann/Documents/iRacing"));
    EXPECT_EQ(raw.value("main/ip").toString(), QStringLiteral("10.0.0.7"));
    EXPECT_EQ(raw.value("main/port").toInt(), 4465);
    EXPECT_TRUE(raw.value("main/autostartserver").toBool());
    EXPECT_EQ(raw.value("main/netinterface").toString(), QStringLiteral("10.0.0.7 - wlan0"));
    EXPECT_TRUE(raw.value("driverwindow/stayontop").toBool());

    raw.setValue("main/port", 70000); // written by hand or an older program
    raw.sync();
    AppSettings again(&owner, file());
    EXPECT_EQ(again.serverPort(), 4464) << "the low 16 bits";
    EXPECT_EQ(again.mainWindowState(), QByteArray("\x00\x01state", 7));
    EXPECT_EQ(again.mainWindowGeometry(), QByteArray("geometry"));
    EXPECT_TRUE(again.driversWindowStayOnTop());

    // The dashboard's port: a whole number from 0 (off) to 65535, else the default.
    const QMap<QString, int> webPorts{{"8080", 8080}, {"0", 0},       {"65535", 65535}, {"65536", 47813},
                                      {"-1", 47813},  {"80x", 47813}, {"8.5", 47813},   {"", 47813}};
    for (auto w = webPorts.cbegin(); w != webPorts.cend(); ++w) {
        raw.setValue("main/webport", w.key());
        raw.sync();
        EXPECT_EQ(AppSettings(&owner, file()).webPort(), w.value()) << w.key().toStdString();
    }
}

TEST_F(Settings, clientThreadsReadWhileTheGuiThreadWrites)
{
    AppSettings s(&owner, file());
    const QString a = QStringLiteral("/documents/a");
    const QString b = QStringLiteral("/documents/b-with-a-longer-name");
    s.setDocumentsPath(a);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!stop) {
                const QString seen = s.documentsPath();
                if (seen != a && seen != b)
                    ++torn;
                if (s.serverPort() != 47812)
                    ++torn;
            }
        });
    }
    for (int i = 0; i < 2000; ++i)
        s.setDocumentsPath(i % 2 ? a : b);
    stop = true;
    for (std::thread &r : readers)
        r.join();
    EXPECT_EQ(torn.load(), 0);
}

TEST(RaceRecord, startValues)
{
    const irVariables fresh;
    EXPECT_EQ(fresh.sessionType, QStringLiteral("n/a"));
    EXPECT_EQ(fresh.trackName, QStringLiteral("n/a"));
    EXPECT_EQ(fresh.trackDisplayShortName, QStringLiteral("n/a"));
    EXPECT_DOUBLE_EQ(fresh.sessionLength, -1.0);
    EXPECT_DOUBLE_EQ(fresh.sessionTime, -1.0);
    EXPECT_EQ(fresh.sessionInfoNum, 1);
    for (int count : {fresh.sessionLaps, fresh.sessionNumLapsToAvg, fresh.numSessions, fresh.numStarters,
                      fresh.numCarClasses, fresh.numCarTypes})
        EXPECT_EQ(count, -1);
    EXPECT_TRUE(fresh.drivers.isEmpty());
    EXPECT_TRUE(fresh.results.isEmpty());
    EXPECT_EQ(fresh.playerDriver.position, 1000);
    EXPECT_EQ(fresh.playerDriver.driverCarIdx, -1);
    EXPECT_EQ(fresh.sessionNum, 0);
    EXPECT_EQ(fresh.sessionFlags, 0);
}

} // namespace
