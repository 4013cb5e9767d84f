// The settings file, what start-up and close rely on (key names are checked
// where the main window saves them), and the texts of the session group.

#include "app/AppSettings.h"
#include "app/SessionLabels.h"
#include "model/irVariables.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <vector>

namespace {

TEST(Settings, defaultsAndWhatIsReadBack)
{
    QTemporaryDir dir;
    QObject owner;
    const QString file = dir.path() + QStringLiteral("/pitlink.ini");
    {
        AppSettings s(&owner, file);
        EXPECT_FALSE(s.autoStartServer());
        EXPECT_FALSE(s.driversWindowStayOnTop());
        EXPECT_TRUE(s.mainWindowState().isEmpty());
        EXPECT_FALSE(QFile::exists(file)) << "reading writes nothing";
        s.setMainWindowState(QByteArray("\x00\x01state", 7));
        s.setMainWindowGeometry(QByteArray("geometry"));
        s.sync();
    }
    QSettings raw(file, QSettings::IniFormat);
    raw.setValue("main/port", 70000); // written by hand or an older program
    // The dashboard's port: a whole number from 0 (off) to 65535, else the default.
    const std::vector<std::pair<const char *, int>> webPorts{
        {"8080", 8080},   {"0", 0},       {"65535", 65535}, {"65536", 47813}, {"-1", 47813},
        {"80x", 47813},   {"8.5", 47813}, {"", 47813},      {nullptr, 47813}};
    for (const auto &w : webPorts) {
        if (w.first)
            raw.setValue("main/webport", QString::fromLatin1(w.first));
        else
            raw.remove("main/webport");
        raw.sync();
        AppSettings s(&owner, file);
        EXPECT_EQ(s.webPort(), w.second) << (w.first ? w.first : "absent");
        EXPECT_EQ(s.serverPort(), 4464) << "the low 16 bits";
        EXPECT_EQ(s.mainWindowState(), QByteArray("\x00\x01state", 7));
        EXPECT_EQ(s.mainWindowGeometry(), QByteArray("geometry"));
    }
}

TEST(SessionLabels, showWhatIsReadSoFar)
{
    struct Case {
        double time, length;
        int sessionLaps;
        const char *timeLabel, *lapsLabel;
    };
    const Case cases[] = {
        {-1.0, 7200.0, -1, "", ""},                     // nothing read yet: no "/" either
        {-1.0, 7200.0, 25, "", "3/25"},                 // laps read before the clock
        {3723.5, -1.0, -1, "01:02:03/", ""},            // the clock read before the laps
        {3723.5, 7200.0, kUnlimitedLaps, "01:02:03/02:00", "3/unlimited"},
        {3723.5, 86400.0, 25, "01:02:03/", "3/25"},     // a day or more is no time of day
    };
    for (const Case &c : cases) {
        EXPECT_EQ(sessionTimeLabel(c.time, c.length), QString::fromLatin1(c.timeLabel)) << c.time << " " << c.length;
        EXPECT_EQ(lapsLabel(3, c.sessionLaps), QString::fromLatin1(c.lapsLabel)) << c.sessionLaps;
    }
}

} // namespace
