#include "platform/Platform.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<Os *> installed{nullptr};
}

Os &os()
{
    Os *replacement = installed.load(std::memory_order_acquire);
    return replacement ? *replacement : systemOs();
}

void lowerCurrentThreadPriority() { os().lowerCurrentThreadPriority(); }

void setOs(Os *replacement) { installed.store(replacement, std::memory_order_release); }

} // namespace platform
