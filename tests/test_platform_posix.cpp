// The POSIX backend against the real system: the pulsed data-valid event,
// shared memory, and the control channel to the simulator substitute.

#include "platform/Platform.h"
#include "platform/posix/PulseEvent.h"
#include "platform/posix/SharedMemory.h"
#include "platform/posix/SimulatorControl.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace platform::posix;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kDeadlineMs = 3000;

TEST(PulseEvent, waitWithoutPulseReturnsFalseAfterItsTimeOut)
{
    PulseEventBlock block{};
    block.sequence.store(7);
    const auto start = Clock::now();
    EXPECT_FALSE(waitForPulse(block, 60));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(55));
}

// A signal handled by the process (as Qt's and the termination handler's
// are) interrupts the sleep's system call; the sleep goes on for the rest.
TEST(PosixOs, aSleepInterruptedByAHandledSignalLastsItsWholeTime)
{
    static std::atomic<int> handled{0};
    struct sigaction action {};
    action.sa_handler = [](int) { handled.fetch_add(1); };
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
    const pthread_t sleeper = ::pthread_self();
    std::thread interrupter([sleeper] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::pthread_kill(sleeper, SIGUSR1);
    });
    const auto start = Clock::now();
    platform::systemOs().sleepMs(400);
    const auto slept = Clock::now() - start;
    interrupter.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(handled.load(), 1);
    EXPECT_GE(slept, std::chrono::milliseconds(395));
}

TEST(SharedMemory, recreatingKeepsSizeAndBytesAndGrowsOnlyUpwards)
{
    // A name of this process only, so parallel runs never meet.
    const std::string object = "Local\\PitlinkTestShm" + std::to_string(::getpid());
    const std::string name = sharedMemoryName(object.c_str());
    SharedMemory::unlink(name);
    SharedMemory missing;
    EXPECT_FALSE(missing.openExisting(std::string(), false)) << "no name";
    // Made but not yet sized, as a writer's object is for a moment: nothing to map.
    ::close(::shm_open(name.c_str(), O_CREAT | O_RDWR, 0600));
    EXPECT_FALSE(missing.openExisting(name, false));

    // One whose creator ended before sizing it is new to the next opener.
    SharedMemory writer;
    bool created = false;
    ASSERT_TRUE(writer.openOrCreate(name, 8192, &created));
    EXPECT_TRUE(created);
    static_cast<unsigned char *>(writer.data())[100] = 0xAB;
    // With standard input closed, the object is given descriptor 0.
    const int input = ::dup(0);
    ::close(0);
    EXPECT_TRUE(missing.openExisting(name, false));
    ::dup2(input, 0);
    ::close(input);

    // The telemetry link's view of it, and a data-valid event made in it, are
    // mapped read-only: the writer's is still the one mapping that may write.
    platform::Os &os = platform::systemOs();
    platform::MappingHandle mapping = os.openMapping(object.c_str());
    std::size_t viewSize = 0;
    const void *view = os.mapView(mapping, &viewSize);
    ASSERT_NE(view, nullptr);
    static_cast<PulseEventBlock *>(writer.data())->magic.store(kPulseEventMagic);
    platform::EventHandle event = os.openEvent(object.c_str());
    ASSERT_NE(event, nullptr);
    QFile maps(QStringLiteral("/proc/self/maps"));
    const QString mapped = maps.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(maps.readAll()) : QString();
    EXPECT_EQ(mapped.count(QRegularExpression(QStringLiteral(" rw-s .*%1\n").arg(QString::fromStdString(name)))), 1) << mapped.toStdString();
    os.closeEvent(event);
    os.unmapView(view, viewSize);
    os.closeMapping(mapping);

    // (Opening what exists read-only is the telemetry link's way: the backend test's.)
    SharedMemory smaller;
    ASSERT_TRUE(smaller.openOrCreate(name, 100, &created));
    EXPECT_FALSE(created);
    EXPECT_EQ(smaller.size(), 8192u);
    const auto *seen = static_cast<const unsigned char *>(smaller.data());
    EXPECT_EQ(seen[100], 0xAB);

    SharedMemory larger;
    ASSERT_TRUE(larger.openOrCreate(name, 16384, &created));
    EXPECT_EQ(larger.size(), 16384u);
    static_cast<unsigned char *>(larger.data())[101] = 0xCD;
    EXPECT_EQ(seen[101], 0xCD); // the earlier mapping stays valid and shared

    // A size the system cannot give (the object can be sized to it, but no
    // address space can hold it) is refused.
    SharedMemory impossible;
    EXPECT_FALSE(impossible.openOrCreate(name, std::size_t(1) << 50, &created));
    // A name the system takes neither to make nor to open.
    EXPECT_FALSE(impossible.openOrCreate("/" + std::string(300, 'n'), 64, &created));
    SharedMemory::unlink(name);
}

// A block of another layout is made anew; a wait ends when a record arrives;
// records are drained once; a full ring counts what it lost, once. A key is
// recorded with no window. The window stays the block's owner's.
TEST(SimulatorControl, recordsAreDrainedOnceAfterAWaitAndAFullRingCountsItsLosses)
{
    // A block left by a build with another layout (here all zeros) is made anew.
    SharedMemory::unlink(kSimulatorControlName);
    ASSERT_TRUE(SharedMemory().openOrCreate(kSimulatorControlName, 64, nullptr));
    SimulatorControlHost host;
    std::string error;
    ASSERT_TRUE(host.open("iRacing.com Simulator", &error)) << error;
    // A client of its own: it finds the block made here, whatever an earlier
    // client of the process held.
    SimulatorControlClient client;
    std::vector<ControlRecord> records;
    std::uint32_t lost = 0;
    const auto take = [&](int timeoutMs) {
        records.clear();
        lost = host.takeRecords(&records, timeoutMs);
        return records.size();
    };
    // With no window yet, a key still reaches some program.
    std::thread sender([&client] { client.key(32, false); });
    const auto start = Clock::now();
    ASSERT_EQ(take(kDeadlineMs), 1u);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kDeadlineMs / 2)) << "not the time-out";
    sender.join();
    host.setWindow(WindowState::Front);

    for (std::uint32_t i = 0; i < kControlRingCapacity + 6; ++i)
        client.broadcast(1, i, 0);
    EXPECT_EQ(take(0), kControlRingCapacity);
    EXPECT_EQ(lost, 6u);
    EXPECT_EQ(records.back().wParam, kControlRingCapacity - 1);
    take(0);
    EXPECT_EQ(lost, 0u);

    // Closed after another (here an id no process has) took the block over,
    // the host leaves that owner's window as it stands.
    SharedMemory view;
    ASSERT_TRUE(view.openExisting(kSimulatorControlName, true));
    static_cast<ControlBlock *>(view.data())->ownerPid = 0x7fffffff;
    host.close();
    EXPECT_EQ(static_cast<ControlBlock *>(view.data())->windowState, WindowState::Front);
}

// Standard input that cannot be read or is at its end has ended: the
// substitute runs a last command with no line end, stops reading and still
// hears a stop request. A record is taken after the input is read, so its
// line shows the loop went past it.
TEST(SimulatorSubstitute, aStandardInputThatEndsIsLeftAndAStopRequestIsStillHeard)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open() && file.write("speed 42.5") > 0 && file.flush());
    for (const bool ended : {false, true}) {
        SCOPED_TRACE(ended ? "a file whose last command has no line end" : "unreadable: a directory");
        SimProcess sim;
        sim.process.setStandardInputFile(ended ? file.fileName() : QStringLiteral("/"));
        ASSERT_TRUE(sim.start());
        EXPECT_TRUE(!ended || sim.waitForLine("ok speed 42.5"));
        platform::systemOs().broadcastMessage(platform::systemOs().registerMessage("irsdk_BroadcastMsg"), 0, 0);
        EXPECT_TRUE(sim.waitForLine("broadcast msg="));
        sim.process.terminate();
        EXPECT_TRUE(sim.process.waitForFinished(kDeadlineMs));
        EXPECT_EQ(sim.process.exitCode(), 0);
    }
}

} // namespace
