#pragma once
// The simulator substitute's side of the system: the telemetry memory and the
// data-valid event it publishes, the simulator's window and what reaches it,
// and its console (command input, stop requests). Only the substitute links
// a host (library pitlink_simhost); the program itself uses Os.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class SimulatorWindow { Gone, Front, Behind };

// Something the simulator's window received, or a key that was injected
// while it was not in front.
struct SimulatorRecord {
    enum class Kind { Broadcast, Key };
    Kind kind = Kind::Broadcast;
    std::uint32_t message = 0; // broadcast: registered message id
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
    std::uint32_t keyCode = 0; // key: virtual-key code
    bool keyUp = false;
    bool toSimulator = true; // key: reached the simulator's window
};

class SimulatorHost {
public:
    virtual ~SimulatorHost() = default;

    // Creates (or takes over) the telemetry memory `mappingName` with at least
    // `size` bytes and the event `eventName`, and prepares a window titled
    // `windowTitle` (shown by setWindow). False with a reason when it cannot.
    virtual bool open(const char *mappingName, const char *eventName, std::size_t size, const char *windowTitle,
                      std::string *error) = 0;
    // The writable memory; size() may exceed the size asked for (an object
    // left by an earlier run, whole pages).
    virtual unsigned char *memory() const = 0;
    virtual std::size_t size() const = 0;
    // Wakes every reader waiting at this moment; none that waits later.
    virtual void announceSample() = 0;

    // Returns once the window is in the new state.
    virtual void setWindow(SimulatorWindow state) = 0;
    // Appends what arrived, waiting up to `timeoutMs` for the first record.
    // Returns how many records were lost to a full queue since the last call.
    virtual std::uint32_t takeRecords(std::vector<SimulatorRecord> *records, int timeoutMs) = 0;
    // Takes the window away; the memory stays mapped until destruction.
    virtual void close() = 0;

    // Appends the bytes standard input has ready, without waiting. False once
    // standard input has ended.
    virtual bool readInput(std::string *bytes) = 0;
    // True once Ctrl+C or a termination request arrived.
    virtual bool stopRequested() = 0;
};

// The host for this system; it starts watching for stop requests.
std::unique_ptr<SimulatorHost> makeSimulatorHost();

} // namespace platform
