// pitlink-sim as a separate process, read and steered through the real
// POSIX backend and the simulator link, as the program does.

#include "platform/Platform.h"
#include "simlink/Broadcast.h"
#include "simlink/SimClient.h"
#include "simlink/TelemetryLink.h"
#include "tools/sim/CodePage.h"
#include "tools/sim/SessionTextGenerator.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <string>

using namespace telemetry;

namespace {

constexpr int kDeadlineMs = 5000;
constexpr int kWaitMs = 16; // what every caller in the program waits for a sample

class SimTool : public ::testing::Test {
protected:
    void TearDown() override
    {
        SimClient::shared().reset();
        telemetryClose();
    }
    // Polls, each round waiting for a sample as the program does, until
    // `condition` holds or the deadline passes.
    static bool eventually(const std::function<bool()> &condition, int ms = kDeadlineMs)
    {
        for (QDeadlineTimer deadline(ms); !deadline.hasExpired();) {
            SimClient::shared().waitForSample(kWaitMs);
            if (condition())
                return true;
        }
        return condition();
    }
    static bool linked()
    {
        return eventually([] { return SimClient::shared().isLinked() && SimClient::shared().readDouble(index("SessionTime"), 0) > 0; });
    }
    static int index(const char *name) { return SimClient::shared().variableIndex(name); }
    static double sessionTime() { return SimClient::shared().readDouble(index("SessionTime"), 0); }
    static float speed() { return SimClient::shared().readFloat(index("Speed"), 0); }
    // Tick count of the newest sample the client took.
    static std::int32_t newestTick() { return SimClient::shared().sampleTick(); }
    static bool connectedBit()
    {
        TelemetryHeaderFields h;
        return telemetryHeaderFields(&h) && (h.statusFlags & kStatusConnected) != 0;
    }
    static std::string session(const std::string &path)
    {
        char value[2048];
        return SimClient::shared().sessionValue(path.c_str(), value, sizeof value) == 1 ? value : "(none)";
    }

    SimProcess sim;
    platform::Os &os = platform::systemOs();
};

TEST_F(SimTool, publishesLiveTelemetryWithEveryVariableTheProgramSamples)
{
    ASSERT_TRUE(sim.start());
    ASSERT_TRUE(linked());
    EXPECT_TRUE(telemetryAlive());
    const struct {
        const char *name;
        VarType type;
    } expected[] = {
        {"SessionTime", kTypeDouble}, {"SessionNum", kTypeInt}, {"SessionLapsRemain", kTypeInt},
        {"SessionFlags", kTypeBitField}, {"DisplayUnits", kTypeInt}, {"IsOnTrack", kTypeBool},
        {"IsReplayPlaying", kTypeBool}, {"PlayerCarPosition", kTypeInt}, {"PlayerCarClassPosition", kTypeInt},
        {"RaceLaps", kTypeInt}, {"Lap", kTypeInt}, {"Speed", kTypeFloat}, {"TrackTempCrew", kTypeFloat},
        {"AirTemp", kTypeFloat}, {"WeatherType", kTypeInt}, {"Skies", kTypeInt}, {"AirDensity", kTypeFloat},
        {"AirPressure", kTypeFloat}, {"WindVel", kTypeFloat}, {"WindDir", kTypeFloat},
        {"RelativeHumidity", kTypeFloat}, {"FogLevel", kTypeFloat}, {"FuelLevel", kTypeFloat},
        {"FuelLevelPct", kTypeFloat}, {"FuelUsePerHour", kTypeFloat}, {"PlayerCarIdx", kTypeInt}};
    for (const auto &e : expected) {
        TelemetryVarHeader v;
        ASSERT_TRUE(telemetryVarHeader(index(e.name), &v)) << e.name;
        EXPECT_EQ(v.valueType, e.type) << e.name;
    }
    EXPECT_EQ(SimClient::shared().readInt(index("SessionNum"), 0), sim::kRaceSessionNum);
    EXPECT_TRUE(SimClient::shared().readBool(index("IsOnTrack"), 0));
    EXPECT_GT(SimClient::shared().readFloat(index("FuelLevel"), 0), 0.0f);
    EXPECT_EQ(session("WeekendInfo:NumStarters:"), "24");

    const std::int32_t tick = newestTick();
    const double time = sessionTime();
    EXPECT_TRUE(eventually([&] { return newestTick() > tick + 3 && sessionTime() > time + 0.03; }));
}

TEST_F(SimTool, steeredValuesReadBackExactly)
{
    ASSERT_TRUE(sim.start());
    ASSERT_TRUE(linked());
    ASSERT_TRUE(sim.command("speed 42.5"));
    EXPECT_TRUE(eventually([] { return speed() == 42.5f; }));
    ASSERT_TRUE(sim.command("session 1"));
    EXPECT_TRUE(eventually([] { return SimClient::shared().readInt(index("SessionNum"), 0) == 1; }));
    ASSERT_TRUE(sim.command("speed live"));
    EXPECT_TRUE(eventually([] { return speed() != 42.5f; }));
}

TEST_F(SimTool, connectedBitFollowsCommandsAndTheDisconnectFault)
{
    ASSERT_TRUE(sim.start({"--disconnect-after", "0.2"}));
    ASSERT_TRUE(telemetryOpen());
    EXPECT_TRUE(sim.waitForLine("fault: disconnected"));
    EXPECT_FALSE(connectedBit());
    EXPECT_FALSE(eventually([] { return SimClient::shared().isLinked(); }, 100));
    ASSERT_TRUE(sim.command("connect"));
    EXPECT_TRUE(connectedBit());
    EXPECT_TRUE(linked());
    ASSERT_TRUE(sim.command("disconnect"));
    EXPECT_FALSE(connectedBit());
}

TEST_F(SimTool, optionsChooseDriversCodePageAndDocuments)
{
    QTemporaryDir dir;
    const QString documents = dir.path() + "/docs/iRacing";
    ASSERT_TRUE(sim.start({"--drivers", "3", "--codepage", "windows-1252", "--documents", documents}));
    EXPECT_TRUE(sim.sawLine("wrote " + documents + "/app.ini"));
    EXPECT_TRUE(QFile::exists(documents + "/controls.cfg"));
    EXPECT_TRUE(sim.sawLine("drivers=3"));
    ASSERT_TRUE(linked());
    EXPECT_EQ(session("WeekendInfo:NumStarters:"), "3");
    EXPECT_EQ(session("DriverInfo:Drivers:CarIdx:{0}UserName:"),
              sim::encodeText(sim::driverName(0), sim::CodePage::Windows1252));
    EXPECT_EQ(session("DriverInfo:Drivers:CarIdx:{3}UserName:"), "(none)");
}

TEST_F(SimTool, sessionFileIsPublishedInsteadOfTheGeneratedText)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("session.yaml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("---\nWeekendInfo:\n TrackName: test track\n...\n");
    file.close();
    ASSERT_TRUE(sim.start({"--session-file", file.fileName()}));
    ASSERT_TRUE(linked());
    EXPECT_EQ(session("WeekendInfo:TrackName:"), "test track");
    EXPECT_EQ(session("WeekendInfo:NumStarters:"), "(none)");
}

TEST_F(SimTool, badInputIsReportedWithoutStopping)
{
    SimProcess bad;
    bad.process.start(QStringLiteral(PITLINK_SIM_PATH), {"--drivers", "65"});
    ASSERT_TRUE(bad.process.waitForFinished(kDeadlineMs));
    EXPECT_EQ(bad.process.exitCode(), 2);
    EXPECT_TRUE(bad.process.readAllStandardError().contains("--drivers"));

    ASSERT_TRUE(sim.start());
    sim.send("fly away");
    EXPECT_TRUE(sim.waitForLine("error: unknown command fly away"));
    EXPECT_TRUE(sim.command("window front"));
}

TEST_F(SimTool, endOfInputKeepsItRunningUntilTerminated)
{
    ASSERT_TRUE(sim.start());
    ASSERT_TRUE(linked());
    sim.process.closeWriteChannel();
    const std::int32_t tick = newestTick();
    EXPECT_TRUE(eventually([&] { return newestTick() > tick + 5; }));
    EXPECT_EQ(sim.process.state(), QProcess::Running);
    sim.process.terminate();
    EXPECT_TRUE(sim.finishedCleanly());
    EXPECT_EQ(os.findWindow(kSimulatorWindowTitle), 0u);
}

} // namespace
