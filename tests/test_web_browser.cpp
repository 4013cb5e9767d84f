// The dashboard in a real browser: Pitlink on the real POSIX backend with the
// simulator substitute, and Debian's Chromium driven through chromedriver by
// web_browser_check.py. Screenshots land in the build folder. Every wait
// spins the event loop: timers, queued presses, the child's output.

#include "app_test_support.h"
#include "sim_process.h"
#include "ui/PairingDialog.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// A guard against a hang, not a speed goal: a loaded or sanitized run is slower.
constexpr int kBrowserDeadlineMs = 150000;
// How long a press that must not come is waited for.
constexpr int kQuietMs = 2000;

TEST(DashboardInBrowser, pairsShowsTheRacePlaysMacrosOnlyFromItsOwnPageAndComesBackAfterAServerRestart)
{
    QTemporaryDir dir;
    const QString documents = dir.path() + QStringLiteral("/documents");
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--documents", documents}));

    // The page's port 0 would be "off": it takes one found free.
    const quint16 webPort = freePort();
    QFile ini(dir.path() + QStringLiteral("/pitlink.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[main]\nport=0\nwebport=%1\n\n[paths]\niracingdocument=%2\n").arg(webPort).arg(documents).toUtf8());
    ini.close();

    PitlinkSeams seams;
    seams.settingsFile = ini.fileName();
    seams.networkInterfaces = [] { return QList<NetworkInterfaceRecord>(); };
    auto window = std::make_unique<Pitlink>(nullptr, seams);
    auto access = std::make_unique<PitlinkTestAccess>(PitlinkTestAccess{*window});
    access->serverButton();
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(webPort);
    EXPECT_TRUE(access->ui().plainTextEdit_debug->toPlainText().contains(QStringLiteral("(Server) - Dashboard at ") + url)) << access->ui().plainTextEdit_debug->toPlainText().toStdString();
    const QString pairingUrl = url + QStringLiteral("?pair=") + QString::fromLatin1(access->settings().dashboardToken());
    ASSERT_TRUE(QTest::qWaitFor([&] { return access->vars().simConnected && access->vars().trackName != "n/a"; },
                          kLinkDeadlineMs));

    QProcess browser;
    browser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    browser.start(QStringLiteral(PITLINK_PYTHON),
                  {QStringLiteral(PITLINK_BROWSER_CHECK), pairingUrl, access->vars().trackName,
                   QStringLiteral(PITLINK_SHOTS_DIR)});
    // Whether the simulator played macro `macro` (index macro - 1 of its
    // broadcast) within `ms`; Pitlink handles its queued presses meanwhile.
    const auto heard = [&sim](int macro, int ms) {
        const QString line = QStringLiteral("code=8 arg1=0 arg2=%1").arg(macro - 1);
        return QTest::qWaitFor([&] { return sim.waitForLine(line, 0) || !sim.lines.filter(line).isEmpty(); }, ms);
    };
    QStringList said;
    const bool finished = QTest::qWaitFor(
        [&] {
            while (browser.canReadLine()) {
                said << QString::fromUtf8(browser.readLine()).trimmed();
                if (said.last() == QLatin1String("pressed macro 1"))
                    browser.write(heard(1, kSimDeadlineMs) ? "heard\n" : "not heard\n");
                // Macros 2 and 3 are what the other site and the unpaired
                // browser try.
                if (said.last() == QLatin1String("attacked") || said.last() == QLatin1String("unpaired pressed"))
                    browser.write(heard(2, kQuietMs) || heard(3, 0) ? "heard\n" : "unheard\n");
                if (said.last() == QLatin1String("new code")) {
                    access->openPairing();
                    window->findChild<PairingDialog *>()->pushButton_newCode->click();
                    browser.write("renewed\n");
                }
                // A new Pitlink on the same settings file.
                if (said.last() == QLatin1String("restart pitlink")) {
                    window.reset();
                    window = std::make_unique<Pitlink>(nullptr, seams);
                    access = std::make_unique<PitlinkTestAccess>(PitlinkTestAccess{*window});
                    access->serverButton();
                    browser.write("restarted\n");
                }
                if (said.last() == QLatin1String("stop simulator")) {
                    sim.process.kill();
                    sim.process.waitForFinished(kSimDeadlineMs);
                    browser.write("stopped\n");
                }
                if (said.last() == QLatin1String("restart")) {
                    access->serverButton(); // Stop Server
                    access->serverButton(); // Start Server
                    browser.write("restarted\n");
                }
            }
            return browser.state() == QProcess::NotRunning;
        },
        kBrowserDeadlineMs);
    if (!finished)
        browser.kill();
    browser.waitForFinished(kSimDeadlineMs);
    said << QString::fromUtf8(browser.readAll()).trimmed();
    const std::string log = said.join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(finished) << log;
    // Every failure in the check raises and so exits non-zero; 0 comes only after "done".
    EXPECT_EQ(browser.exitCode(), 0) << log;
}

} // namespace
