// The simulator substitute's parts: its output lines, the live sample, the
// documents folder and the torn-write fault. Options and commands are checked
// through the running program (test_tools_sim).

#include "platform/fake/FakeOs.h"
#include "simlink/Broadcast.h"
#include "simlink/TelemetryLink.h"
#include "simlink/TelemetryLinkHooks.h"
#include "tools/sim/DocumentsFolder.h"
#include "tools/sim/LiveSample.h"
#include "tools/sim/RecordLine.h"
#include "tools/sim/TornPublish.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstring>
#include <set>
#include <vector>

using namespace telemetry;

namespace {

TEST(RecordLine, broadcastIsDecodedAsTheLinkPacksIt)
{
    for (int code = 0; code <= kBroadcastMaxCode; ++code) {
        for (int argument1 : {0, 1, 0x7FFF, 0x8000, 0xFFFF}) {
            const sim::BroadcastRequest r = sim::decodeBroadcast(broadcastWParam(code, argument1), broadcastLParam(-5));
            EXPECT_EQ(r.code, code);
            EXPECT_EQ(r.argument1, argument1);
            EXPECT_EQ(r.argument2, -5);
        }
    }
    EXPECT_EQ(sim::broadcastLine(49443, broadcastWParam(8, 0), 2, true),
              "broadcast msg=49443 wparam=0x8 lparam=2 code=8 arg1=0 arg2=2");
    EXPECT_EQ(sim::broadcastLine(7, 0xFFFFFFFF80000008ull, -1, false),
              "broadcast msg=7 wparam=0xffffffff80000008 lparam=-1");
    EXPECT_EQ(sim::keyLine(65, false), "key vk=65 down");
    EXPECT_EQ(sim::keyLine(65, true), "key vk=65 up");
}

// A writer laid out on a plain byte image, with reads of the staging sample.
class LiveSampleTest : public ::testing::Test {
protected:
    LiveSampleTest() : sample(writer, 5)
    {
        TelemetryImageWriter::Layout layout;
        layout.sessionTextCapacity = 64;
        image.assign(writer.imageSize(layout), 0);
        writer.layout(image.data(), image.size(), layout);
    }
    const TelemetryVarHeader *var(const char *name)
    {
        for (int i = 0; i < writer.header()->variableCount; ++i) {
            if (std::strncmp(writer.varHeader(i)->name, name, kVarNameLength) == 0)
                return writer.varHeader(i);
        }
        return nullptr;
    }
    template <typename T> T read(const char *name, int entry = 0)
    {
        sample.write(writer);
        const TelemetryVarHeader *v = var(name);
        T value{};
        if (v)
            std::memcpy(&value, writer.staging().data() + v->valueOffset + entry * sizeof(T), sizeof(T));
        return value;
    }

    TelemetryImageWriter writer;
    sim::LiveSample sample;
    std::vector<std::uint8_t> image;
};

TEST_F(LiveSampleTest, declaresEverySampledVariableWithItsType)
{
    const char *doubles[] = {"SessionTime"};
    const char *ints[] = {"SessionNum", "SessionLapsRemain", "DisplayUnits", "PlayerCarPosition",
                          "PlayerCarClassPosition", "RaceLaps", "Lap", "WeatherType", "Skies", "PlayerCarIdx"};
    const char *bools[] = {"IsOnTrack", "IsReplayPlaying"};
    const char *floats[] = {"Speed", "TrackTempCrew", "AirTemp", "AirDensity", "AirPressure", "WindVel",
                            "WindDir", "RelativeHumidity", "FogLevel", "FuelLevel", "FuelLevelPct",
                            "FuelUsePerHour"};
    auto check = [this](const char *name, VarType type) {
        const TelemetryVarHeader *v = var(name);
        ASSERT_NE(v, nullptr) << name;
        EXPECT_EQ(v->valueType, type) << name;
        EXPECT_EQ(v->entryCount, 1) << name;
    };
    for (const char *n : doubles)
        check(n, kTypeDouble);
    for (const char *n : ints)
        check(n, kTypeInt);
    for (const char *n : bools)
        check(n, kTypeBool);
    for (const char *n : floats)
        check(n, kTypeFloat);
    check("SessionFlags", kTypeBitField);
    ASSERT_NE(var("CarIdxLap"), nullptr);
    EXPECT_EQ(var("CarIdxLap")->entryCount, sim::kCarSlots);
}

TEST_F(LiveSampleTest, timeFuelAndLapsMoveOn)
{
    EXPECT_EQ(read<std::int32_t>("SessionNum"), sim::kRaceSessionNum);
    EXPECT_EQ(read<std::int32_t>("Lap"), 1);
    const float fuel = read<float>("FuelLevel");
    sample.advance(2.5 * sim::kLapSeconds);
    EXPECT_DOUBLE_EQ(read<double>("SessionTime"), 2.5 * sim::kLapSeconds);
    EXPECT_LT(read<float>("FuelLevel"), fuel);
    EXPECT_FLOAT_EQ(read<float>("FuelLevelPct"), read<float>("FuelLevel") / sim::kFuelMaxLitres);
    EXPECT_GT(read<float>("FuelUsePerHour"), 0.0f);
    EXPECT_EQ(read<std::int32_t>("Lap"), 3);
    EXPECT_EQ(read<std::int32_t>("RaceLaps"), 2);
    EXPECT_EQ(read<std::int32_t>("SessionLapsRemain"), sim::kRaceLaps - 2);
    EXPECT_EQ(read<std::int32_t>("CarIdxLap", 4), 3);
    EXPECT_EQ(read<std::int32_t>("CarIdxLap", 5), -1); // no such car
    const int position = read<std::int32_t>("PlayerCarPosition");
    EXPECT_GE(position, 1);
    EXPECT_LE(position, 5);

    sample.advance(100 * sim::kLapSeconds);
    EXPECT_EQ(sample.lapsComplete(), sim::kRaceLaps);
    EXPECT_GE(read<float>("FuelLevel"), sim::kFuelRefillBelowLitres); // refilled, never empty
}

TEST_F(LiveSampleTest, speedVariesUntilFixedAndAgainWhenLive)
{
    std::set<float> seen;
    for (int i = 0; i < 60; ++i) {
        sample.advance(sim::kLapSeconds / 60);
        const float s = read<float>("Speed");
        EXPECT_GE(s, sim::kMinLiveSpeed);
        EXPECT_LE(s, sim::kMaxLiveSpeed);
        seen.insert(s);
    }
    EXPECT_GT(seen.size(), 10u);
    sample.fixSpeed(42.5f);
    sample.advance(1.3);
    EXPECT_EQ(read<float>("Speed"), 42.5f);
    sample.liveSpeed();
    sample.advance(1.3);
    EXPECT_NE(read<float>("Speed"), 42.5f);
}

TEST_F(LiveSampleTest, resetStartsTheSessionAgainAndKeepsTheSessionNumber)
{
    sample.setSessionNum(1);
    sample.advance(3 * sim::kLapSeconds);
    sample.reset();
    EXPECT_DOUBLE_EQ(read<double>("SessionTime"), 0.0);
    EXPECT_EQ(read<std::int32_t>("RaceLaps"), 0);
    EXPECT_EQ(read<std::int32_t>("SessionNum"), 1);
}

TEST(DocumentsFolder, createsTheFolderWithChatMacrosAnIniReaderSees)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/a/b/iRacing";
    const sim::DocumentsResult result = sim::prepareDocumentsFolder(folder);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.written.size(), 2u);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(folder + "/controls.cfg")));
    QSettings ini(QString::fromStdString(folder + "/app.ini"), QSettings::IniFormat);
    for (int i = 1; i <= sim::kChatMacroCount; ++i) {
        const QVariant value = ini.value(QStringLiteral("Autochat Messages/AutoChatStr%1").arg(i));
        EXPECT_EQ(value.type(), QVariant::String) << i; // a comma would make it a list
        EXPECT_EQ(value.toString().toStdString(), sim::chatMacroText(i)) << i;
        EXPECT_FALSE(value.toString().isEmpty()) << i;
    }
}

TEST(DocumentsFolder, existingFilesAreLeftAlone)
{
    QTemporaryDir dir;
    QFile mine(dir.filePath("app.ini"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("[Autochat Messages]\nAutoChatStr1=mine\n");
    mine.close();
    const sim::DocumentsResult result = sim::prepareDocumentsFolder(dir.path().toStdString());
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(result.written.size(), 1u); // only controls.cfg
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), QByteArray("[Autochat Messages]\nAutoChatStr1=mine\n"));
    EXPECT_TRUE(sim::prepareDocumentsFolder(dir.path().toStdString()).written.empty());
    EXPECT_FALSE(sim::prepareDocumentsFolder(dir.filePath("app.ini").toStdString()).ok); // a file, not a folder
}

// The in-place rewrite against the real link's torn-read check.
class TornPublishTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setOs(&fake);
        fake.setInstantTimeouts(true);
        value = writer.addVariable("Value", kTypeInt, 8);
        TelemetryImageWriter::Layout layout;
        layout.sessionTextCapacity = 64;
        fake.image().assign(writer.imageSize(layout), 0);
        writer.layout(fake.image().data(), fake.image().size(), layout);
        writer.setConnected(true);
        setAll(1);
        writer.publish();
        buffer.assign(static_cast<std::size_t>(writer.header()->bufferSize), 0);
        telemetryFetch(buffer.data(), buffer.size()); // synchronises
        writer.publish();
        ASSERT_TRUE(telemetryFetch(buffer.data(), buffer.size()));
        setAll(2);
        writer.publish();
    }
    void TearDown() override
    {
        setTelemetryCopyHook(nullptr, nullptr);
        telemetryClose();
        platform::setOs(nullptr);
    }
    void setAll(int v)
    {
        for (int i = 0; i < 8; ++i)
            writer.setInt(value, v, i);
    }
    int copied(int entry) const
    {
        std::int32_t v;
        std::memcpy(&v, buffer.data() + entry * 4, 4);
        return v;
    }
    static void rewrite(void *self)
    {
        auto *test = static_cast<TornPublishTest *>(self);
        if (test->rewritesLeft-- > 0)
            sim::publishInPlace(test->writer);
    }

    platform::FakeOs fake;
    TelemetryImageWriter writer;
    int value = 0;
    std::vector<std::uint8_t> buffer;
    int rewritesLeft = 0;
};

TEST_F(TornPublishTest, copyOverlappingOneRewriteIsRetakenWhole)
{
    setAll(3);
    rewritesLeft = 1;
    setTelemetryCopyHook(&TornPublishTest::rewrite, this);
    ASSERT_TRUE(telemetryFetch(buffer.data(), buffer.size()));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(copied(i), 3) << i;
}

TEST_F(TornPublishTest, copiesOverlappingRewritesEveryTimeAreDropped)
{
    setAll(3);
    rewritesLeft = 2;
    setTelemetryCopyHook(&TornPublishTest::rewrite, this);
    EXPECT_FALSE(telemetryFetch(buffer.data(), buffer.size()));
    setTelemetryCopyHook(nullptr, nullptr);
    EXPECT_TRUE(telemetryFetch(buffer.data(), buffer.size())); // the sample was not counted as taken
    EXPECT_EQ(copied(7), 3);
}

TEST_F(TornPublishTest, countMovesBeforeTheFirstPieceAndAfterTheLast)
{
    const TelemetryHeader *h = writer.header();
    int newest = 0;
    for (int i = 1; i < h->bufferCount; ++i)
        newest = h->bufferTable[i].tickCount > h->bufferTable[newest].tickCount ? i : newest;
    const std::int32_t before = h->bufferTable[newest].tickCount;
    std::vector<std::int32_t> during;
    setAll(4);
    EXPECT_EQ(sim::publishInPlace(writer, 4, [&](int) { during.push_back(h->bufferTable[newest].tickCount); }), newest);
    ASSERT_EQ(during.size(), 4u);
    for (std::int32_t tick : during)
        EXPECT_GT(tick, before);
    EXPECT_GT(h->bufferTable[newest].tickCount, during.back());
    EXPECT_GT(writer.nextTick(), h->bufferTable[newest].tickCount);
}

} // namespace
