#include "platform/fake/FakeOs.h"

#include <chrono>
#include <thread>

namespace platform {

void FakeOs::waitEvent(EventHandle event, int timeoutMs)
{
    // Nothing pulses the fake's event: a wait lasts its time-out.
    if (event && timeoutMs > 0 && !instantTimeouts_)
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
}

} // namespace platform
