#pragma once
// The running substitute: the telemetry memory with its live sample and
// session text, the simulator's window and what it receives, and the
// commands that steer it. main() only feeds it time, input lines and output.

#include "platform/SimulatorHost.h"
#include "tools/sim/LiveSample.h"
#include "tools/sim/SimCommand.h"
#include "tools/sim/SimOptions.h"
#include "tools/sim/TelemetryImageWriter.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

constexpr int kSamplesPerSecond = 60;
constexpr int kRingBuffers = 3;
constexpr int kSessionTextCapacity = 512 * 1024;
// With torn writes, one sample in this many is written over the newest buffer.
constexpr int kTornEverySamples = 20;
// After a stall longer than this the sample clock starts afresh instead of
// catching up with a burst.
constexpr std::chrono::milliseconds kMaxCatchUp{250};
// A restarted simulator counts its ticks from here.
constexpr std::int32_t kRestartTick = 1;

class SimulatorSession {
public:
    using Clock = std::chrono::steady_clock;

    // `host` is the system side (memory, event, window, console).
    SimulatorSession(SimOptions options, std::unique_ptr<platform::SimulatorHost> host);
    ~SimulatorSession();
    SimulatorSession(const SimulatorSession &) = delete;
    SimulatorSession &operator=(const SimulatorSession &) = delete;

    // Creates the memory and the window (in front) and publishes the first
    // sample. False with a reason when it cannot.
    bool open(Clock::time_point now, std::string *error);

    // Publishes the samples due by `now` (at most one) and applies the
    // disconnect fault when its time has come. Returns lines to print.
    std::vector<std::string> advance(Clock::time_point now);
    // Time until the next sample is due, never negative.
    Clock::duration untilNextSample(Clock::time_point now) const;

    // Applies one command; returns the line to print.
    std::string apply(const SimCommand &command, Clock::time_point now);
    bool quitRequested() const { return quit_; }

    // Waits up to `timeoutMs` for broadcasts and keys; one line each.
    std::vector<std::string> takeRecordLines(int timeoutMs);

    // Clears the connected bit and takes the window away.
    void close();

    platform::SimulatorHost &host() { return *host_; }

    const LiveSample &sample() const { return *sample_; }
    std::int32_t nextTick() const { return writer_.nextTick(); }

private:
    void publish();
    void publishSessionText();
    void restart(Clock::time_point now);
    void startHeaderRewrite(const std::string &track, Clock::time_point now);
    // While the header is hostile: writes the next pattern, or puts the
    // valid header back once the time is over. False when not rewriting.
    bool rewriteHeader(Clock::time_point now);
    void restoreHeader();

    SimOptions options_;
    std::string fileText_; // the --session-file text, when given
    std::unique_ptr<platform::SimulatorHost> host_;
    TelemetryImageWriter writer_;
    std::unique_ptr<LiveSample> sample_;
    std::uint32_t broadcastMessage_ = 0;
    Clock::time_point opened_{};
    Clock::time_point lastSample_{};
    Clock::time_point nextSample_{};
    std::int64_t samplesPublished_ = 0;
    int textLaps_ = -1; // laps the published session text shows
    std::string trackName_ = SessionTextOptions().trackName;
    std::vector<std::uint8_t> validHeader_; // non-empty while the header is hostile
    Clock::time_point hostileUntil_{};
    int hostileStep_ = 0;
    bool disconnectDone_ = false;
    bool quit_ = false;
    bool open_ = false;
};

} // namespace sim
