#include "platform/posix/SimulatorTelemetry.h"

namespace platform::posix {

bool SimulatorTelemetryHost::open(const char *mappingName, const char *eventName, std::size_t size,
                                  std::string *error)
{
    auto fail = [error](const std::string &why) {
        if (error)
            *error = why;
        return false;
    };
    const std::string memoryName = sharedMemoryName(mappingName);
    if (!memory_.openOrCreate(memoryName, size, nullptr))
        return fail("cannot create the telemetry memory " + memoryName);
    const std::string eventObject = sharedMemoryName(eventName);
    if (!event_.openOrCreate(eventObject, sizeof(PulseEventBlock), nullptr))
        return fail("cannot create the data-valid event " + eventObject);
    // The sequence is kept as it is: readers compare it only for change.
    auto *block = static_cast<PulseEventBlock *>(event_.data());
    block->magic.store(kPulseEventMagic, std::memory_order_release);
    return true;
}

void SimulatorTelemetryHost::announceSample()
{
    if (event_.isOpen())
        pulse(*static_cast<PulseEventBlock *>(event_.data()));
}

} // namespace platform::posix
