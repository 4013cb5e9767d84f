#include "platform/posix/PulseEvent.h"

#include <chrono>
#include <climits>
#include <ctime>

#ifdef __linux__
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace platform::posix {

namespace {

using Clock = std::chrono::steady_clock;

#ifdef __linux__
std::uint32_t *futexWord(const std::atomic<std::uint32_t> &word)
{
    // The atomic is lock-free and has the size of its value (asserted in the
    // header), so its address is the address of the 32-bit word.
    return reinterpret_cast<std::uint32_t *>(const_cast<std::atomic<std::uint32_t> *>(&word));
}
#endif

// Sleeps until woken, a change of the word or `remaining` has passed.
void sleepOnWord(const std::atomic<std::uint32_t> &word, std::uint32_t seen, Clock::duration remaining)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count();
    struct timespec ts {};
    ts.tv_sec = static_cast<time_t>(ns / 1000000000);
    ts.tv_nsec = static_cast<long>(ns % 1000000000);
#ifdef __linux__
    // Not FUTEX_PRIVATE_FLAG: the word lives in memory shared with another
    // process. The kernel returns at once when the word no longer holds `seen`.
    ::syscall(SYS_futex, futexWord(word), FUTEX_WAIT, seen, &ts, nullptr, 0);
#else
    // Without futexes: poll at 1 ms, which is well below a 60 Hz sample.
    (void)word;
    (void)seen;
    struct timespec step {0, 1000000};
    ::nanosleep(ts.tv_sec > 0 || ts.tv_nsec > step.tv_nsec ? &step : &ts, nullptr);
#endif
}

} // namespace

bool waitForChange(const std::atomic<std::uint32_t> &word, std::uint32_t seen, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        if (word.load(std::memory_order_acquire) != seen)
            return true;
        const auto now = Clock::now();
        if (now >= deadline)
            return false;
        sleepOnWord(word, seen, deadline - now);
    }
}

void wakeAll(std::atomic<std::uint32_t> &word)
{
#ifdef __linux__
    ::syscall(SYS_futex, futexWord(word), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
#else
    (void)word;
#endif
}

void pulse(PulseEventBlock &block)
{
    block.sequence.fetch_add(1, std::memory_order_acq_rel);
    wakeAll(block.sequence);
}

bool waitForPulse(const PulseEventBlock &block, int timeoutMs)
{
    const std::uint32_t seen = block.sequence.load(std::memory_order_acquire);
    return waitForChange(block.sequence, seen, timeoutMs);
}

} // namespace platform::posix
