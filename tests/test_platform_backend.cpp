// The system backend against the real system, one source for both: natively
// it is the POSIX backend with the simulator substitute's shared memory and
// control channel; cross-compiled it is the Windows backend, run under Wine
// against the Windows substitute's section, event and window.

#include "platform/ClientSocket.h"
#include "platform/Platform.h"
#include "simlink/Broadcast.h"
#include "simlink/SimClient.h"
#include "simlink/TelemetryLayout.h"
#include "simlink/TelemetryLink.h"
#include "tools/sim/LiveSample.h"
#include "tools/sim/SessionTextGenerator.h"
#include "tools/sim/SimulatorSession.h"
#include "tools/sim/TelemetryImageWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
using socklen_t = int;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#define closesocket close
extern char **environ;
#endif

namespace {

using Clock = std::chrono::steady_clock;
// A hang guard: under a fresh Wine prefix the first substitute takes seconds to start.
constexpr int kDeadlineMs = 20000;

// Repeats `round` until it holds, for at most the deadline.
bool until(const std::function<bool()> &round)
{
    for (const auto deadline = Clock::now() + std::chrono::milliseconds(kDeadlineMs); Clock::now() < deadline;) {
        if (round())
            return true;
    }
    return false;
}

// A child process started (once) with its standard input and output on
// pipes (on POSIX one socket), steered line by line, and killed when the
// object goes.
class ChildProcess {
public:
    ~ChildProcess() { kill(); }

    // Adds the next whole output line (without its line end) to `lines`,
    // when one is there or comes within a moment.
    bool readLine(std::vector<std::string> *lines)
    {
        std::size_t end = pending_.find('\n');
        if (end == std::string::npos && readSome())
            end = pending_.find('\n');
        if (end == std::string::npos)
            return false;
        lines->emplace_back(pending_, 0, end > 0 && pending_[end - 1] == '\r' ? end - 1 : end);
        pending_.erase(0, end + 1);
        return true;
    }
#ifdef _WIN32
    bool start(const std::string &program)
    {
        // Test programs lie in ASCII paths: the narrow calls do.
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        bool started = CreatePipe(&startup.hStdInput, &input_, &inherit, 0) &&
                       CreatePipe(&output_, &startup.hStdOutput, &inherit, 0) &&
                       SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0) &&
                       SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION info{};
        std::string commandLine = "\"" + program + "\"";
        started = started && CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                            nullptr, &startup, &info);
        CloseHandle(startup.hStdInput); // harmless on null
        CloseHandle(startup.hStdOutput);
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        return started;
    }
    bool write(const std::string &data)
    {
        DWORD written = 0;
        return input_ && WriteFile(input_, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
               written == data.size();
    }
    // Its exit code once it has ended, within the deadline; -1 if it does not.
    int exitCode()
    {
        DWORD code = 0;
        if (!process_ || WaitForSingleObject(process_, kDeadlineMs) != WAIT_OBJECT_0 || !GetExitCodeProcess(process_, &code))
            return -1;
        return static_cast<int>(code);
    }
    void kill()
    {
        // Both fail harmlessly on null or once it has ended.
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_); // harmless on null
        CloseHandle(input_);
        CloseHandle(output_);
        process_ = input_ = output_ = nullptr;
    }

private:
    // Appends what the output has; false once it ended. Anonymous pipes
    // cannot wait with a time-out: without bytes it pauses briefly.
    bool readSome()
    {
        DWORD available = 0;
        DWORD got = 0;
        if (!PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available == 0) {
            Sleep(2);
            return true;
        }
        char chunk[4096];
        const bool read = ReadFile(output_, chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr);
        pending_.append(chunk, got);
        return read && got > 0;
    }

    void *process_ = nullptr;
    void *input_ = nullptr;
    void *output_ = nullptr;
#else
    bool start(const std::string &program)
    {
        // One socket pair: the child's end is its standard input and output.
        int ends[2] = {-1, -1};
        bool started = ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        char *const argv[] = {const_cast<char *>(program.c_str()), nullptr};
        started = started && ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]); // harmless on -1
        socket_ = ends[0];
        return started;
    }
    bool write(const std::string &data)
    {
        // Lines are far shorter than the socket's buffer: one write takes each
        // whole. A child that went away fails it, without ending the test process.
        return socket_ >= 0 && ::send(socket_, data.data(), data.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(data.size());
    }
    // Its exit code once it has ended, within the deadline; -1 if it does not.
    int exitCode()
    {
        int status = 0;
        if (pid_ <= 0 || !until([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }))
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    void kill()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(socket_); // harmless on -1
        pid_ = socket_ = -1;
    }

private:
    // Appends what the output has within a moment; false once it ended.
    bool readSome()
    {
        pollfd fd{socket_, POLLIN, 0};
        if (::poll(&fd, 1, 50) <= 0)
            return true; // the time-out (or a signal): the caller's deadline decides
        char chunk[4096];
        const ssize_t n = ::read(socket_, chunk, sizeof chunk);
        pending_.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        return n > 0;
    }

    int pid_ = -1;
    int socket_ = -1;
#endif
    std::string pending_;
};

TEST(SystemBackend, versionIsTheRunningProgramsOwn)
{
    // Built with the program's version resource on Windows, so the backend
    // reads this executable's resource through its own module path.
    platform::VersionNumbers version;
    ASSERT_TRUE(platform::systemOs().programVersion(&version));
    std::string text;
    for (unsigned part : version.part)
        text += "." + std::to_string(part);
    EXPECT_EQ(text, "." PITLINK_TEST_VERSION);
}

TEST(SystemBackend, registeredMessageIdsAreOnePerNameWhateverItsCase)
{
    platform::Os &os = platform::systemOs();
    const std::uint32_t id = os.registerMessage(telemetry::kBroadcastMessageName);
    EXPECT_GE(id, 0xC000u); // the registered range
    EXPECT_EQ(os.registerMessage("irsdk_BroadcastMsg"), id);
    EXPECT_NE(os.registerMessage("PITLINK_TEST_MESSAGE"), id);
}

#ifdef _WIN32
// Another program's window, put in front of the simulator's by a thread of
// its own that runs its messages until the object goes.
struct OtherWindow {
    OtherWindow()
    {
        std::promise<void> shown;
        thread_ = std::thread([this, &shown] {
            HWND window = CreateWindowExW(0, L"STATIC", L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                          200, 200, nullptr, nullptr, nullptr, nullptr);
            SetForegroundWindow(window);
            threadId_ = GetCurrentThreadId(); // published by the promise
            shown.set_value();
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0)
                DispatchMessageW(&message);
            DestroyWindow(window);
        });
        shown.get_future().wait();
    }
    ~OtherWindow()
    {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    std::thread thread_;
    DWORD threadId_ = 0;
};
#else
// The substitute's "behind" state already stands for another window in front.
struct OtherWindow { OtherWindow() {} };
#endif

// A connected loopback pair: the end a listener accepted, and its peer.
std::pair<std::intptr_t, std::intptr_t> loopbackPair()
{
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
    const auto listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    const auto peer = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(peer, reinterpret_cast<sockaddr *>(&address), sizeof address);
    const auto served = ::accept(listener, nullptr, nullptr);
    ::closesocket(listener);
    return {static_cast<std::intptr_t>(served), static_cast<std::intptr_t>(peer)};
}

long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(SystemBackend, clientSocketWaitsBoundedReadsWritesHoldsBackAndWakesOnInterrupt)
{
    using Result = platform::ClientSocket::Result;
    const auto [served, peer] = loopbackPair();
    platform::ClientSocket socket(served);
    ASSERT_TRUE(socket.open());
    char buffer[16];
    std::size_t got = 0;
    std::size_t sent = 0;
    EXPECT_EQ(socket.receive(buffer, sizeof buffer, 0, &got), Result::TimedOut);
    Clock::time_point start = Clock::now();
    EXPECT_EQ(socket.receive(buffer, sizeof buffer, 2000, &got), Result::TimedOut);
    EXPECT_GE(msSince(start), 1900);
    EXPECT_LT(msSince(start), 2900);

    ::send(peer, "ping", 4, 0);
    ASSERT_EQ(socket.receive(buffer, sizeof buffer, kDeadlineMs + 500, &got), Result::Done);
#ifndef _WIN32
    // The system keeps the time-out to its clock tick; over 20 s a millisecond a second shows.
    timeval held{};
    socklen_t size = sizeof held;
    ASSERT_EQ(::getsockopt(static_cast<int>(served), SOL_SOCKET, SO_RCVTIMEO, &held, &size), 0);
    EXPECT_EQ(held.tv_sec * 1000 + held.tv_usec / 1000, kDeadlineMs + 500);
#endif
    EXPECT_EQ(std::string(buffer, got), "ping");
    EXPECT_EQ(socket.send("pong", 4, &sent), Result::Done);
    EXPECT_EQ(sent, 4u);
    EXPECT_EQ(socket.wait(true, true, kDeadlineMs), unsigned(platform::ClientSocket::kWritable));

    // A peer that reads nothing: the system takes less and less, then none,
    // and no write waits for it.
    const std::string chunk(64 * 1024, 'x');
    int writes = 0;
    do {
        start = Clock::now();
        ASSERT_EQ(socket.send(chunk.data(), chunk.size(), &sent), Result::Done);
        EXPECT_LT(msSince(start), 1000);
    } while (sent > 0 && ++writes < 10000);
    EXPECT_EQ(socket.wait(false, true, 100), 0u);

    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        socket.interrupt();
    });
    start = Clock::now();
    EXPECT_NE(socket.receive(buffer, sizeof buffer, 3 * kDeadlineMs, &got), Result::Done);
    EXPECT_LT(msSince(start), kDeadlineMs);
    other.join();
    ::closesocket(peer);

    const auto left = loopbackPair();
    platform::ClientSocket closed(left.first);
    ASSERT_TRUE(closed.open());
    ::closesocket(left.second);
    EXPECT_EQ(closed.receive(buffer, sizeof buffer, kDeadlineMs, &got), Result::Closed);
    platform::ClientSocket none(-1);
    EXPECT_FALSE(none.open()) << "no socket behind the descriptor";
    EXPECT_EQ(none.receive(buffer, sizeof buffer, 0, &got), Result::Failed) << "an error is no time-out";
}

class SystemBackendWithSimulator : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim.start(PITLINK_SIM_PATH) && waitForLine("ready")); }
    void TearDown() override
    {
        SimClient::shared().reset();
        telemetryClose();
    }
    bool waitForLine(const std::string &text)
    {
        return until([&] { return sim.readLine(&lines) && lines.back().find(text) != std::string::npos; });
    }
    bool command(const std::string &line) { return sim.write(line + "\n") && waitForLine("ok " + line); }
    // Polls as the program does, each round waiting for a sample.
    static bool eventually(const std::function<bool()> &condition)
    {
        return until([&] {
            SimClient::shared().waitForSample(16); // as every caller in the program waits
            return condition();
        });
    }
    static double sessionTime() { return SimClient::shared().readDouble(SimClient::shared().variableIndex("SessionTime"), 0); }
    static bool linkedAndRunning() { return SimClient::shared().isLinked() && sessionTime() > 0; }
    // Opens the link and waits until the session has run for a second.
    static bool linkedASecond() { return telemetryOpen() && eventually([] { return linkedAndRunning() && sessionTime() > 1.0; }); }

    ChildProcess sim;
    std::vector<std::string> lines;
    platform::Os &os = platform::systemOs();
};

TEST_F(SystemBackendWithSimulator, telemetryViewCoversTheImageAndItsEventEndsWaitsAtEachSample)
{
    // The view covers the substitute's image in whole pages.
    TelemetryImageWriter writer;
    [[maybe_unused]] const sim::LiveSample variables(writer, sim::kDefaultDrivers); // declares the variables
    platform::MappingHandle mapping = os.openMapping(telemetry::kMappingName);
    std::size_t size = 0;
    const void *view = os.mapView(mapping, &size);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(size, (writer.imageSize({sim::kRingBuffers, sim::kSessionTextCapacity}) + 4095) / 4096 * 4096); // x86-64 pages, on both systems

    // Waits end with the substitute's 60 samples a second, long before their
    // time-out, and a sample announced before a wait began does not end it. (On Windows
    // the simulator sets and resets its event around each sample; a wait that
    // begins between the two returns at once: after a stall the substitute
    // catches up with a burst of samples, so a few stray waits are allowed;
    // an event left set would end nearly every wait at once.)
    auto newestTick = [view] {
        const auto *table = static_cast<const telemetry::TelemetryHeader *>(view)->bufferTable;
        return std::max_element(table, table + sim::kRingBuffers, [](auto &a, auto &b) { return a.tickCount < b.tickCount; })->tickCount;
    };
    platform::EventHandle event = os.openEvent(telemetry::kDataValidEventName);
    int endedBySample = 0;
    for (int i = 0; i < 20; ++i) {
        os.sleepMs(5);
        const std::int32_t before = newestTick();
        const Clock::time_point start = Clock::now();
        os.waitEvent(event, 2000); // a sample comes every 17 ms
        if (Clock::now() - start < std::chrono::seconds(1) && newestTick() != before)
            ++endedBySample;
    }
    EXPECT_GE(endedBySample, 14);
    os.unmapView(view, size);
    os.closeMapping(mapping);
    os.closeEvent(event);
}

// Hostile for half a second: the link stays and reads the new track, which
// comes with the valid header, not with the next lap's text 10 s on.
TEST_F(SystemBackendWithSimulator, linkFollowsAHeaderRewrittenInPlace)
{
    ASSERT_TRUE(linkedASecond());
    ASSERT_TRUE(command("rewrite-header monza"));
    const Clock::time_point rewritten = Clock::now();
    char value[2048];
    EXPECT_TRUE(eventually([&] { return linkedAndRunning() && SimClient::shared().sessionValue("WeekendInfo:TrackName:", value, sizeof value) == 1 && std::string(value) == "monza"; }));
    EXPECT_LT(msSince(rewritten), 3000);
}

// The link reads the session and, restarted in place, the ticks going back,
// takes the new samples. (The first fetch only synchronising and a closed
// link no longer reading the header are the same code on every system: the
// link test's.)
TEST_F(SystemBackendWithSimulator, linkReadsTheSessionAndFollowsASubstituteRestartedInPlace)
{
    ASSERT_TRUE(linkedASecond());
    char value[2048] = {};
    EXPECT_EQ(SimClient::shared().sessionValue("WeekendInfo:NumStarters:", value, sizeof value), 1);
    EXPECT_STREQ(value, std::to_string(sim::kDefaultDrivers).c_str());
    EXPECT_EQ(SimClient::shared().readInt(SimClient::shared().variableIndex("SessionNum"), 0), sim::kRaceSessionNum);
    const double beforeRestart = sessionTime();
    ASSERT_TRUE(command("restart"));
    EXPECT_TRUE(eventually([&] { return linkedAndRunning() && sessionTime() < beforeRestart; }));
}

// A substitute that quits clears the connected bit (its window goes with the
// process, as a killed one's does, below); a new one starts its ticks afresh
// in a new window, and the link, which kept its memory, follows it.
TEST_F(SystemBackendWithSimulator, linkFollowsTheNextSubstituteAfterOneQuits)
{
    ASSERT_TRUE(linkedASecond());
    const double beforeQuit = sessionTime();
    const platform::WindowId firstWindow = os.findWindow(telemetry::kSimulatorWindowTitle);
    ASSERT_TRUE(command("quit"));
    EXPECT_EQ(sim.exitCode(), 0);
    TelemetryHeaderFields header;
    ASSERT_TRUE(telemetryHeaderFields(&header));
    EXPECT_EQ(header.statusFlags & telemetry::kStatusConnected, 0);
    ChildProcess next;
    ASSERT_TRUE(next.start(PITLINK_SIM_PATH));
    EXPECT_TRUE(eventually([&] { return linkedAndRunning() && sessionTime() < beforeQuit; }));
    const platform::WindowId window = os.findWindow(telemetry::kSimulatorWindowTitle);
    EXPECT_NE(window, 0u);
    EXPECT_NE(window, firstWindow) << "a window that comes back is a new window";
}

// One substitute runs at a time. Killed, it has no chance to take its window
// away: it goes with it.
TEST_F(SystemBackendWithSimulator, aSubstituteOwnsTheBlockAloneUntilItsProcessEndsWithItsWindow)
{
    ChildProcess second;
    ASSERT_TRUE(second.start(PITLINK_SIM_PATH));
    EXPECT_EQ(second.exitCode(), 1);
    const platform::WindowId window = os.findWindow(telemetry::kSimulatorWindowTitle);
    ASSERT_NE(window, 0u);
    sim.kill();
    EXPECT_EQ(os.findWindow(telemetry::kSimulatorWindowTitle), 0u);
    EXPECT_NE(os.foregroundWindow(), window);
}

// Keys reach the simulator only while its window is in front. (A window
// gone is the quitting substitute's, above.)
TEST_F(SystemBackendWithSimulator, simulatorWindowIsFoundInFrontAndBehindAndTakesKeysOnlyInFront)
{
    const platform::WindowId window = os.findWindow(telemetry::kSimulatorWindowTitle);
    EXPECT_EQ(os.foregroundWindow(), window);
    EXPECT_EQ(os.findWindow("IRACING.COM simulator"), window); // titles match in any case
    EXPECT_EQ(os.findWindow("iRacing.com Simulator 2"), 0u);

    ASSERT_TRUE(command("window back"));
    const OtherWindow other;
    EXPECT_EQ(os.findWindow(telemetry::kSimulatorWindowTitle), window);
    EXPECT_NE(os.foregroundWindow(), window);
    EXPECT_NE(os.foregroundWindow(), 0u);
    os.injectKey(66, false);
    os.injectKey(66, true);
    ASSERT_TRUE(command("window front"));
    // Keys reach their window in order: once this one shows, 66 would have.
    os.injectKey(67, false);
    EXPECT_TRUE(waitForLine("key vk=67 down"));
    EXPECT_EQ(lines.back(), "key vk=67 down") << "in front: to the simulator";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "key vk=66 down to another program"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "key vk=66 up"), 0);
}

// A chat macro's arguments and the message received (the dropped codes are
// the link test's); the last one marks the end.
TEST_F(SystemBackendWithSimulator, broadcastsReachTheSimulatorWindowAsSent)
{
    sendBroadcast(kBroadcastChatMacro, 1, 2);
    sendBroadcast(kBroadcastChatMacro, 0, -1);
    ASSERT_TRUE(waitForLine("arg2=-1"));
    std::string received; // the simulator's own message, decoded
    for (const std::string &line : lines) {
        if (line.find(" code=") != std::string::npos)
            received += line.substr(line.find("wparam=")) + "\n";
    }
    EXPECT_EQ(received, R"(wparam=0x10008 lparam=2 code=8 arg1=1 arg2=2
wparam=0x8 lparam=-1 code=8 arg1=0 arg2=-1
)");
}

} // namespace
