#pragma once
// The simulator substitute's side of the telemetry memory and the data-valid
// event. Both objects are created once and kept: they are never shrunk or
// unlinked, so a reader that mapped them never loses a page.

#include "platform/posix/PulseEvent.h"
#include "platform/posix/SharedMemory.h"

#include <cstddef>
#include <string>

namespace platform::posix {

class SimulatorTelemetryHost {
public:
    // Opens or creates the memory `mappingName` with at least `size` bytes
    // (an existing larger object keeps its size) and the event `eventName`.
    bool open(const char *mappingName, const char *eventName, std::size_t size, std::string *error);

    unsigned char *memory() const { return static_cast<unsigned char *>(memory_.data()); }
    std::size_t size() const { return memory_.size(); }
    // Wakes every reader waiting for a sample.
    void announceSample();

private:
    SharedMemory memory_;
    SharedMemory event_;
};

} // namespace platform::posix
