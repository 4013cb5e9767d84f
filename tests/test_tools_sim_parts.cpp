// The simulator substitute's torn-write fault against the real link's
// torn-read check. The rest of the substitute is checked wherever the
// end-to-end, backend and browser tests run it.

#include "platform/fake/FakeOs.h"
#include "simlink/TelemetryLink.h"
#include "simlink/TelemetryLinkHooks.h"
#include "tools/sim/TornPublish.h"

#include <gtest/gtest.h>


#include <cstring>
#include <vector>

using namespace telemetry;

namespace {

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
