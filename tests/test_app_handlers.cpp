// The main window's chat and key handlers, as a client's requests reach them.

#include "app_test_support.h"
#include "simlink/Broadcast.h"

namespace {

class Handlers : public PitlinkFixture {};

TEST_F(Handlers, chatMacrosOneToFifteenOnlyWhileLinked)
{
    open();
    access->chat(2);
    EXPECT_TRUE(sim.broadcasts().empty()) << "not linked";

    link();
    access->chat(2);
    access->chat(0);
    access->chat(14);
    access->chat(15);
    access->chat(-1);
    const auto sent = sim.broadcasts();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].wParam, broadcastWParam(8, 0));
    EXPECT_EQ(sent[0].lParam, broadcastLParam(2));
    EXPECT_EQ(sent[1].lParam, broadcastLParam(0));
    EXPECT_EQ(sent[2].lParam, broadcastLParam(14));
}

TEST_F(Handlers, keyGoesDownThenUpOnlyIntoTheSimulator)
{
    link();
    access->key(32);
    auto keys = sim.keys();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].code, 32);
    EXPECT_FALSE(keys[0].up);
    EXPECT_EQ(keys[1].code, 32);
    EXPECT_TRUE(keys[1].up);

    access->key(0x10041);
    ASSERT_EQ(sim.keys().size(), 4u);
    EXPECT_EQ(sim.keys()[2].code, 0x41) << "low 16 bits";

    // The user switched to another program since the last poll.
    sim.setForegroundWindow(FakeSimulator::kOtherWindow);
    access->key(32);
    EXPECT_EQ(sim.keys().size(), 4u);

    // The simulator's window went away since the last poll.
    sim.setForegroundWindow(FakeSimulator::kSimulatorWindow);
    sim.setWindow(telemetry::kSimulatorWindowTitle, 0);
    access->key(32);
    EXPECT_EQ(sim.keys().size(), 4u);
}

TEST_F(Handlers, noKeyWhileTheLastPollFoundAnotherWindowInFront)
{
    sim.showWindow(false);
    sim.publishOnWait = true;
    open();
    access->poll();
    ASSERT_FALSE(access->onTop());
    sim.setForegroundWindow(FakeSimulator::kSimulatorWindow);
    access->key(32);
    EXPECT_TRUE(sim.keys().empty());
}

} // namespace
