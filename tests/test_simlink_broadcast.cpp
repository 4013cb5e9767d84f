#include "platform/fake/FakeOs.h"
#include "simlink/Broadcast.h"

#include <gtest/gtest.h>

namespace {

class BroadcastTest : public ::testing::Test {
protected:
    void SetUp() override { platform::setOs(&fake); }
    void TearDown() override { platform::setOs(nullptr); }
    platform::FakeOs fake;
};

TEST_F(BroadcastTest, packsEveryAcceptedCodeAndDropsOthers)
{
    for (int code = 0; code <= kBroadcastMaxCode; ++code)
        sendBroadcast(code, 3, code * 7);
    sendBroadcast(13, 0, 0);
    sendBroadcast(-1, 0, 0);
    const auto sent = fake.broadcasts();
    ASSERT_EQ(sent.size(), 13u);
    for (int code = 0; code <= kBroadcastMaxCode; ++code) {
        EXPECT_EQ(sent[code].message, 0xC0DEu);
        EXPECT_EQ(sent[code].wParam, static_cast<std::uint64_t>(code | (3 << 16)));
        EXPECT_EQ(sent[code].lParam, code * 7);
    }
    // Registered once for the whole process, however many calls follow.
    EXPECT_LE(fake.registerCount(), 1);
}

TEST_F(BroadcastTest, chatMacroParametersAreSignExtended)
{
    sendBroadcast(8, 0, 2);
    sendBroadcast(8, 1, 2);
    sendBroadcast(8, 0, -1);
    sendBroadcast(8, 0x8000, 0);
    sendBroadcast(8, 0x12345, 0);
    const auto sent = fake.broadcasts();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0].wParam, 8u);
    EXPECT_EQ(sent[0].lParam, 2);
    EXPECT_EQ(sent[1].wParam, 65544u);
    EXPECT_EQ(sent[2].lParam, -1);
    EXPECT_EQ(sent[3].wParam, 0xFFFFFFFF80000008ull);
    EXPECT_EQ(sent[4].wParam, 0x23450008u); // only the low 16 bits of argument 1
}

} // namespace
