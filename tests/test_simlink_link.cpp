#include "fake_simulator.h"
#include "simlink/Broadcast.h"
#include "simlink/SessionInfoIndex.h"
#include "simlink/SessionInfoQuery.h"
#include "tests/test_simlink_paths.h"
#include "tools/sim/SessionTextGenerator.h"
#include "tools/sim/TornPublish.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace telemetry;

namespace {

class LinkTest : public ::testing::Test {
protected:
    LinkTest() { build(); }
    void build(TelemetryImageWriter::Layout layout = {})
    {
        telemetryClose();
        layout.sessionTextCapacity = 1024;
        fake.build("WeekendInfo:\n TrackName: Some Track\n", layout);
        buf.assign(static_cast<std::size_t>(writer.header()->bufferSize), 0);
    }
    bool fetch() { return telemetryFetch(buf.data(), buf.size()); }
    // The first fetch only synchronises; then each new sample is taken once.
    void takeSample()
    {
        writer.publish();
        ASSERT_FALSE(fetch()) << "the first fetch only synchronises";
        ASSERT_FALSE(fetch()) << "same tick is nothing new";
        writer.publish();
        ASSERT_TRUE(fetch());
    }
    // Ring entry i gets tick ticks[i] and data marked 0xA0 + i.
    void setRing(const std::vector<std::int32_t> &ticks)
    {
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            writer.header()->bufferTable[i].tickCount = ticks[i];
            writer.bufferData(static_cast<int>(i))[0] = static_cast<std::uint8_t>(0xA0 + i);
        }
    }

    FakeSimulator fake;
    TelemetryImageWriter &writer = fake.writer;
    SimClient &c = SimClient::shared();
    const int speed = fake.declare("Speed", kTypeFloat);
    const int gear = fake.declare("Gear", kTypeInt);
    const int flag = fake.declare("Flag", kTypeChar);
    const int lap = fake.declare("LapDist", kTypeDouble);
    const int arr = fake.declare("CarIdxPos", kTypeInt, 4);
    const int longName = fake.declare(std::string(32, 'N'), kTypeInt);
    const int onPitRoad = fake.declare("CarIdxOnPitRoad", kTypeBool, 2);
    std::vector<std::uint8_t> buf;
};

// The header is checked at each fetch, not only when the link opens; the
// smallest sample, one byte and no variables (their empty table may lie at
// the mapping's very end), is no fault.
TEST_F(LinkTest, aHeaderPointingOutsideTheMappingOnceLinkedGivesNoSample)
{
    takeSample();
    writer.header()->variableCount = 0;
    writer.header()->variableTableOffset = static_cast<std::int32_t>(writer.blockSize());
    writer.header()->bufferSize = 1;
    writer.publish();
    EXPECT_TRUE(fetch()) << "one byte, no variables";
    writer.publish();
    writer.header()->bufferSize = 0;
    EXPECT_FALSE(fetch());
}

// The table's entry past the ring is no buffer, whatever it holds.
TEST_F(LinkTest, theNewestEntryIsTakenAndOnEqualTicksTheLowerIndex)
{
    takeSample();
    setRing({50, 50, 10});
    writer.header()->bufferTable[3] = TelemetryBufferInfo{99, writer.header()->bufferTable[2].dataOffset, {}};
    ASSERT_TRUE(fetch());
    EXPECT_EQ(buf[0], 0xA0);
}

// Ticks going back (the simulator restarted) or a cleared connected bit end
// the link's run of samples: it synchronises again before it takes one.
TEST_F(LinkTest, ticksGoingBackOrAClearedConnectedBitSynchroniseAgain)
{
    writer.setNextTick(50);
    takeSample();
    setRing({5, 4, 3});
    EXPECT_FALSE(fetch());
    setRing({5, 6, 3});
    EXPECT_TRUE(fetch());
    EXPECT_EQ(buf[0], 0xA1);
    writer.setConnected(false);
    writer.publish();
    EXPECT_FALSE(fetch());
    writer.setConnected(true);
    takeSample();
}

TEST_F(LinkTest, aliveWhileTheLastSampleTakenCopiedOrNotIsYoungerThanThirtySeconds)
{
    takeSample();
    fake.advanceSeconds(29);
    EXPECT_TRUE(telemetryAlive());
    fake.advanceSeconds(1);
    EXPECT_FALSE(telemetryAlive());
    writer.publish();
    EXPECT_TRUE(telemetryFetch(nullptr, 0));
    EXPECT_TRUE(telemetryAlive());
    EXPECT_FALSE(telemetryFetch(nullptr, 0)) << "a sample taken without a copy is taken once";
}

// The substitute's in-place rewrite (its torn-write fault) runs during the
// link's copy: a copy that overlapped one rewrite is taken again, whole; one
// that overlaps a rewrite every time is dropped, and the sample stays new.
TEST_F(LinkTest, copiesTornByAnInPlaceRewriteAreRetakenOnceThenDropped)
{
    static int rewritesLeft;
    takeSample();
    setTelemetryCopyHook(
        [](void *w) {
            if (rewritesLeft-- > 0)
                sim::publishInPlace(*static_cast<TelemetryImageWriter *>(w));
        },
        &writer);
    for (int times : {1, 2}) {
        writer.publish();
        writer.setInt(arr, 10 + times, 3); // what the rewrite writes
        rewritesLeft = times;
        EXPECT_EQ(fetch(), times == 1) << times;
    }
    EXPECT_TRUE(fetch()) << "the dropped sample was not taken";
    EXPECT_EQ(0, std::memcmp(buf.data(), writer.staging().data(), buf.size()));
}

TEST_F(LinkTest, inPlaceRewriteMovesTheTickBeforeItsFirstPieceAndAfterItsLast)
{
    const int newest = writer.publish();
    const std::int32_t *tick = &writer.header()->bufferTable[newest].tickCount;
    std::vector<std::int32_t> ticks{*tick};
    EXPECT_EQ(sim::publishInPlace(writer, 4, [&](int) { ticks.push_back(*tick); }), newest);
    ticks.push_back(*tick);
    ticks.push_back(writer.nextTick());
    const std::int32_t t = ticks[0];
    EXPECT_EQ(ticks, (std::vector<std::int32_t>{t, t + 1, t + 1, t + 1, t + 1, t + 2, t + 3}));
}

TEST_F(LinkTest, withoutMappingViewOrEventTheWaitSleepsTheTimeout)
{
    for (const auto part : {&FakeSimulator::setMappingAvailable, &FakeSimulator::setViewAvailable, &FakeSimulator::setEventAvailable}) {
        telemetryClose();
        const std::int64_t slept = fake.sleptMs();
        (fake.*part)(false);
        EXPECT_FALSE(telemetryOpen());
        EXPECT_FALSE(telemetryWait(1, nullptr, 0)); // the shortest time-out is slept as well
        EXPECT_EQ(fake.sleptMs() - slept, 1);
        EXPECT_EQ(telemetryVarIndex("Gear"), -1);
        (fake.*part)(true);
        EXPECT_TRUE(telemetryOpen());
    }
}

TEST_F(LinkTest, typedReadsConvertAndClampTheSampleGrowsAndDefaultsWhileTheLinkIsDown)
{
    char text[64];
    EXPECT_EQ(c.variableIndex("Gear"), 0) << "link down";
    EXPECT_EQ(c.sessionValue("WeekendInfo:TrackName:", text, sizeof text), 0) << "link down";
    writer.setFloat(speed, 0.99f);
    writer.setChar(flag, static_cast<std::int8_t>(-1)); // stored 255
    writer.setInt(arr, 13, 3);
    writer.setInt(longName, 77);
    writer.setChar(onPitRoad, 1, 1);
    fake.link();
    EXPECT_FALSE(c.readBool(c.variableIndex("Speed"), 0));
    EXPECT_FLOAT_EQ(c.readFloat(flag, 0), -1.0f);
    EXPECT_TRUE(c.readBool(flag, 0));
    EXPECT_TRUE(c.readBool(onPitRoad, 1)) << "a byte an entry";
    writer.header()->variableCount = onPitRoad;
    EXPECT_FALSE(c.readBool(onPitRoad, 1)) << "its descriptor lies just behind the count";
    writer.header()->variableCount = onPitRoad + 1;
    EXPECT_EQ(c.readInt(arr, 3), 13);
    EXPECT_EQ(c.readInt(arr, 4), 0) << "entry out of range";
    EXPECT_EQ(c.readInt(gear, -1), 0);
    EXPECT_EQ(c.variableIndex(std::string(32, 'N').c_str()), longName);
    EXPECT_EQ(c.variableIndex("Spe"), -1) << "a prefix is not the name";
    EXPECT_EQ(c.variableIndex(nullptr), -1);

    for (const auto &v : {std::make_pair(std::nan(""), 0), std::make_pair(1e300, std::numeric_limits<int>::max()),
                          std::make_pair(-1e300, std::numeric_limits<int>::min()), std::make_pair(-2.9, -2)}) {
        writer.setDouble(lap, v.first);
        fake.deliver();
        EXPECT_EQ(c.readInt(lap, 0), v.second) << v.first;
    }
    // Grown while linked: the copy stops at our buffer's size, then re-allocates
    // and takes the sample the simulator published between the two copies.
    const std::int32_t current = writer.header()->bufferSize;
    static std::int32_t grown;
    grown = current + 8; // still inside: the fourth buffer follows the third
    writer.header()->bufferSize = grown;
    writer.publish();
    static int publishesLeft;
    publishesLeft = 1;
    setTelemetryCopyHook(
        [](void *w) {
            if (publishesLeft-- > 0) {
                static_cast<TelemetryImageWriter *>(w)->header()->bufferSize = grown;
                static_cast<TelemetryImageWriter *>(w)->publish();
            }
        },
        &writer);
    EXPECT_TRUE(c.waitForSample(16)) << "the re-allocating call";
    EXPECT_EQ(c.sampleSize(), grown);
    writer.header()->bufferSize = current;
    writer.publish();
    publishesLeft = 1;
    EXPECT_FALSE(c.waitForSample(16)) << "grown again between the two copies: only part was taken";

    writer.varHeader(longName)->valueType = 9;
    EXPECT_EQ(c.readInt(longName, 0), 0) << "unknown type";
    writer.varHeader(gear)->valueOffset = c.sampleSize() - 2;
    EXPECT_EQ(c.readInt(gear, 0), 0) << "value past the sample";
    writer.setConnected(false);
    writer.publish();
    EXPECT_FALSE(c.waitForSample(16));
    EXPECT_EQ(c.sampleSize(), 0) << "the simulator gone: its last sample is dropped";
}

// What the layout allows links (it sets no cap on the ring and no alignment);
// a header pointing outside the mapping, or overflowing on the way, is
// refused by the open, and its session text is not handed out (a fetch or
// wait opens first; the variable lookup's own open check is the test without
// a mapping's). A row's last argument is the statements that shape the
// header (or the mapping).
#define SHAPE(what, links, ring, ...)                                                                          \
    {what, links, ring,                                                                                        \
     []([[maybe_unused]] FakeSimulator &f, [[maybe_unused]] TelemetryHeader *h, [[maybe_unused]] int size) {   \
         __VA_ARGS__;                                                                                          \
     }}
TEST_F(LinkTest, headersLinkOnlyWhenAllTheyPointAtIsInsideTheMapping)
{
    const struct {
        const char *what;
        bool links;
        int ring; // buffers the writer fills
        void (*apply)(FakeSimulator &, TelemetryHeader *, int size);
    } shapes[] = {
        SHAPE("an unused entry's data at offset 0", true, 1,
              h->bufferCount = 2;
              h->bufferTable[1].dataOffset = 0),
        SHAPE("no buffers: entry 0 is read", true, 1, h->bufferCount = 0),
        // The fifth entry's count is the first descriptor's type: ticks above it.
        SHAPE("five buffers inside the mapping", true, 3,
              h->bufferCount = 5;
              f.writer.setNextTick(10)),
        SHAPE("variable table at an offset not a multiple of 4", true, 3,
              // The last descriptor's unread unit field overlaps the text.
              std::memmove(f.writer.block() + h->variableTableOffset + 2, f.writer.block() + h->variableTableOffset,
                           static_cast<std::size_t>(h->variableCount) * sizeof(TelemetryVarHeader));
              h->variableTableOffset += 2;
              f.writer.setSessionText("WeekendInfo:\n TrackName: Some Track\n")),
        SHAPE("text on the header: no track, telemetry still read", true, 1, h->sessionTextOffset = 0),
        SHAPE("ring past the mapping", false, 3, h->bufferCount = size / 16),
        // The fifth entry overlays the first descriptor.
        SHAPE("fifth entry's data past the end", false, 3,
              h->bufferCount = 5;
              reinterpret_cast<TelemetryVarHeader *>(h + 1)->valueOffset = size),
        SHAPE("negative dataOffset", false, 3, h->bufferTable[1].dataOffset = -16),
        SHAPE("buffer past end", false, 3, h->bufferTable[2].dataOffset = size - h->bufferSize + 1),
        SHAPE("variable table past end", false, 3, h->variableTableOffset = size - 100),
        SHAPE("text past end", false, 3, h->sessionTextOffset = size),
        SHAPE("negative text offset", false, 3, h->sessionTextOffset = -1),
        SHAPE("an image smaller than a header", false, 1, f.image() = std::vector<unsigned char>(f.image().begin(), f.image().begin() + 20)),
    };
    for (const auto &shape : shapes) {
        SCOPED_TRACE(shape.what);
        build({shape.ring});
        writer.setInt(gear, 7);
        writer.publish();
        shape.apply(fake, writer.header(), static_cast<int>(writer.blockSize()));
        char value[32];
        std::size_t limit = 1;
        if (shape.links) {
            fake.link();
            EXPECT_EQ(c.readInt(c.variableIndex("Gear"), 0), 7);
            EXPECT_EQ(c.sessionValue("WeekendInfo:TrackName:", value, sizeof value) == 1,
                      writer.header()->sessionTextOffset != 0);
        } else {
            EXPECT_FALSE(telemetryOpen());
            EXPECT_EQ(telemetrySessionText(&limit), nullptr);
            EXPECT_EQ(limit, 0u);
        }
        c.reset();
    }
}
#undef SHAPE

TEST_F(LinkTest, sessionTextRewrittenInPlaceIsNoticedAndAnUnterminatedOneStopsAtTheMapping)
{
    writer.setSessionText("A: 1\nB: 2\n");
    fake.link();
    char value[16];
    // The last rows rewrite the text in the same place with the same length,
    // no wait in between: both answers follow.
    const struct {
        const char *name;
        const char *text;
        const char *path;
        int size; // of the buffer
        int result;
        const char *value;
    } cases[] = {
        {"cut: the negated length of the whole value", "A: 1\nB: 2\n", "B:", 1, -1, ""},
        {"rewritten: B moved and changed", "B: 3\nA: 4\n", "B:", 16, 1, "3"},
        {"rewritten: only the last character of A's value", "B: 3\nA: 5\n", "A:", 16, 1, "5"},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.name);
        writer.setSessionText(row.text);
        EXPECT_EQ(c.sessionValue(row.path, value, row.size), row.result);
        EXPECT_STREQ(value, row.value);
    }
    // Filled from the text to the end of the mapping: no NUL anywhere.
    const int offset = writer.header()->sessionTextOffset;
    std::memset(writer.block() + offset, 'x', writer.blockSize() - static_cast<std::size_t>(offset));
    EXPECT_EQ(c.sessionValue("A:", value, sizeof value), 0);
    std::size_t limit = 0;
    EXPECT_NE(telemetrySessionText(&limit), nullptr);
    EXPECT_EQ(limit, writer.blockSize() - static_cast<std::size_t>(offset));
}

// Another process may rewrite the header at any moment, also between a check
// and the use of what was checked. A writer thread rewrites one field at a
// time with extreme and random values, flipping back to the valid value as
// fast as it can, while this thread runs every read of the link. Nothing may
// read outside the mapping (the sanitizer build aborts if it does), and the
// sample buffer never outgrows the mapping.
TEST_F(LinkTest, headerRewrittenDuringReadsStaysInsideTheMapping)
{
#ifdef PITLINK_TSAN
    GTEST_SKIP() << "the race with the writer is this test's purpose";
#endif
    fake.link();
    const auto size = static_cast<std::int32_t>(writer.blockSize());
    const std::pair<const char *, std::size_t> fields[] = {
        {"statusFlags", offsetof(TelemetryHeader, statusFlags)},
        {"sessionTextOffset", offsetof(TelemetryHeader, sessionTextOffset)},
        {"variableCount", offsetof(TelemetryHeader, variableCount)},
        {"variableTableOffset", offsetof(TelemetryHeader, variableTableOffset)},
        {"bufferCount", offsetof(TelemetryHeader, bufferCount)},
        {"bufferSize", offsetof(TelemetryHeader, bufferSize)},
        {"dataOffset", offsetof(TelemetryHeader, bufferTable[0].dataOffset)},
    };
    const std::int32_t extremes[] = {0, -1, 1, 2, 5, 6, INT32_MIN, INT32_MAX, size, size - 1, size / 2 + 1, 0x10000000, -144};
    std::atomic<int> current{-1};
    std::atomic<bool> done{false};
    std::thread rewriter([&] {
        std::minstd_rand random(12345);
        std::uniform_int_distribution<std::int32_t> near(-16, size + 16);
        // Each value stays for a random while, so a read may see either and
        // a pair of reads may straddle a change.
        const auto hold = [&] {
            for (volatile unsigned spin = random() % 64; spin > 0; spin = spin - 1) {
            }
        };
        for (std::size_t f = 0; f < std::size(fields); ++f) {
            current.store(static_cast<int>(f));
            auto *at = reinterpret_cast<std::int32_t *>(writer.block() + fields[f].second);
            const std::int32_t valid = __atomic_load_n(at, __ATOMIC_RELAXED);
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            for (unsigned n = 0; std::chrono::steady_clock::now() < until && !done.load(); ++n) {
                __atomic_store_n(at, n % 2 ? extremes[(n / 2) % std::size(extremes)] : near(random), __ATOMIC_RELAXED);
                hold();
                __atomic_store_n(at, valid, __ATOMIC_RELAXED);
                // New samples keep the reads going past "nothing new".
                __atomic_store_n(&writer.header()->bufferTable[n % 3].tickCount, static_cast<std::int32_t>(n),
                                 __ATOMIC_RELAXED);
                hold();
            }
        }
        done.store(true);
    });
    char value[64];
    // Only the wait sizes the sample buffer; every call is there for the sanitizer.
    while (!done.load() && !HasFailure()) {
        fetch();
        c.waitForSample(0);
        EXPECT_LE(c.sampleSize(), size) << "the wait, while rewriting " << fields[std::max(0, current.load())].first;
        c.sessionValue("WeekendInfo:TrackName:", value, sizeof value);
        for (const int var : {c.variableIndex("CarIdxPos"), speed, lap, flag, longName})
            value[0] = static_cast<char>(c.readInt(var, 1) + c.readDouble(var, 0) + c.readBool(var, 0) + c.readFloat(var, 0));
    }
    done.store(true);
    rewriter.join();
}

// The registered message id is the backend test's: the substitute decodes
// only a message with its own id.
TEST_F(LinkTest, broadcastsPackAcceptedCodesAndDropOthers)
{
    const struct {
        const char *name;
        int code;
        int argument1;
        std::uint64_t wParam; // 0: dropped
    } cases[] = {
        {"the highest code", kBroadcastMaxCode, 3, 0x3000C},
        {"the high word sign-extended", 8, 0x8000, 0xFFFFFFFF80000008ull},
        {"only the low 16 bits of argument 1", 8, 0x12345, 0x23450008},
        {"above the highest code", kBroadcastMaxCode + 1, 0, 0},
        {"a negative code", -1, 0, 0},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.name);
        const std::size_t before = fake.broadcasts().size();
        sendBroadcast(row.code, row.argument1, 0);
        const auto sent = fake.broadcasts();
        ASSERT_EQ(sent.size(), before + (row.wParam != 0));
        if (row.wParam == 0)
            continue;
        EXPECT_EQ(sent.back().wParam, row.wParam);
    }
    EXPECT_LE(fake.registerCount(), 1) << "registered once for the whole process";
}

const std::string kDrivers = R"(DriverInfo:
 Drivers:
 - CarIdx: 0
   UserName: Anna
   CarNumber: -1
 - CarIdx: 1
   CarNumber: 12
 - CarIdx: 12
   UserName: Bert  
   ClubName:
 - CarIdx: 2 
   UserName: Space
SessionInfo:
 Sessions:
 - SessionNum: 2
   ResultsPositions:
   - Position: 2
     Time: 91.5
)";

TEST(SessionInfoQueryTest, answersPathsByKeysSelectorsAndIndentation)
{
    const struct {
        std::string text;
        const char *path;
        const char *expected; // nullptr: not found
        const char *name;
    } cases[] = {
        {"WeekendInfo:\n TrackName: X\n", "WeekendInfo:Track:", nullptr, "colon compared"},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{12}UserName:", "Bert  ", "trailing spaces kept"},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{0}CarNumber:", "-1", "a negative value"},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{2}UserName:", nullptr, "2 followed by a space"},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{12}", "12", "path ending in a selector"},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{12}ClubName:", "", "empty value found"},
        {kDrivers, "SessionInfo:Sessions:SessionNum:{2}ResultsPositions:Position:{2}Time:", "91.5", "two selectors"},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{1}UserName:", nullptr, "not taken from the next entry"},
        {"A:\n   B: 1\n  C: 2\n   D: 3\n", "A:B:D:", nullptr, "leaving the block under a deeper match ends it"},
        {"A:\nX:\n Y: 1\nB: 2\n", "A:B:", "2", "a match at depth 0 does not bound the search"},
        {"A:\n B: 1\n", "A:{x", nullptr, "unclosed brace"},
        {"A:\r\n\r\n B: crlf\r\n", "A:B:", "crlf", "CR LF line ends"},
    };
    // Declared once: a query that finds nothing clears what the one before found.
    const char *start = nullptr;
    int length = -1;
    for (const auto &c : cases) {
        const bool found = SessionInfoQuery(c.text.c_str(), c.path, &start, &length);
        SCOPED_TRACE(std::string(c.name) + ": " + c.path);
        EXPECT_EQ(found, c.expected != nullptr);
        EXPECT_EQ(found ? std::string(start, static_cast<std::size_t>(length)) : "", c.expected ? c.expected : "");
        EXPECT_TRUE(found || (start == nullptr && length == 0));
    }
    EXPECT_FALSE(SessionInfoQuery("A: 1\n", nullptr, &start, &length));
    // The limit ends an unterminated text: the line reaching it is not evaluated.
    const std::string text = "A:\n B: 1\n";
    EXPECT_FALSE(SessionInfoQuery(text.data(), text.size() - 1, "A:B:", &start, &length));
}

void expectIndexAgrees(const std::string &text, const std::vector<std::string> &paths)
{
    SessionInfoIndex index;
    index.use(text.c_str(), text.size() + 1);
    for (const std::string &path : paths) {
        const char *plainStart = nullptr;
        int plainLength = 0;
        const bool plain = SessionInfoQuery(text.c_str(), text.size() + 1, path.c_str(), &plainStart, &plainLength);
        for (int round = 0; round < 2; ++round) { // the second answer comes from the index
            const char *indexStart = nullptr;
            int indexLength = 0;
            const bool indexed = index.query(path.c_str(), &indexStart, &indexLength);
            ASSERT_EQ(plain, indexed) << path;
            // The index answers from its own copy: the same place in it.
            ASSERT_EQ(plainStart ? plainStart - text.c_str() : -1, indexStart ? indexStart - index.text() : -1) << path;
            ASSERT_EQ(plainLength, indexLength) << path;
        }
    }
    index.use(text.c_str(), text.size() + 1);
    EXPECT_EQ(index.builds(), 1) << "the same text is not indexed again";
}

TEST(SessionInfoIndexTest, answersEveryProgramPathLikeThePlainQuery)
{
    sim::SessionTextOptions options;
    options.drivers = 64;
    expectIndexAgrees(sim::generateSessionText(options), pollPaths(2));
    expectIndexAgrees("A:\n B: 1\n", {"A:{x", "A:B:{1", "A:B:", "A:{1}B:", "A:B:{1}C:", "A:B:{1}"});
    // A path found nowhere is looked for again once text stands where the NUL stood.
    char grows[] = "A: 1\n\0B: 2\n";
    SessionInfoIndex index;
    index.use(grows, sizeof grows);
    const char *start = nullptr;
    int length = 0;
    EXPECT_FALSE(index.query("B:", &start, &length));
    grows[5] = '\n';
    EXPECT_TRUE(index.query("B:", &start, &length));
    // The same text under a new limit is indexed again, up to that limit.
    index.use(grows, 5);
    EXPECT_FALSE(index.query("B:", &start, &length));
    EXPECT_FALSE(index.query("B:", nullptr, &length));
    EXPECT_FALSE(index.query(nullptr, &start, &length));
}

} // namespace
