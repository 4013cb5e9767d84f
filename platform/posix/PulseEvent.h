#pragma once
// The data-valid event on POSIX: a shared-memory word counting samples. The
// simulator substitute bumps it and wakes every waiter; a waiter sleeps until
// the count differs from the one it saw when its wait began, so a wait that
// starts after a sample waits for the next one and nothing is stored up.
//
// The wait is a futex on the shared word rather than a process-shared
// condition variable: a waiter process that dies in the middle of a wait
// leaves a condition variable's internal state inconsistent and can block
// the poster, while a futex keeps no state about its waiters.

#include <atomic>
#include <cstdint>

namespace platform::posix {

constexpr std::uint32_t kPulseEventMagic = 0x31564550; // "PEV1"

struct PulseEventBlock {
    std::atomic<std::uint32_t> magic;    // set last, once the block is usable
    std::atomic<std::uint32_t> sequence; // samples announced so far
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "shared across processes");
static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t), "futex word");

// Waits until *word no longer holds `seen`, at most `timeoutMs`. True when it
// changed. Works across processes on shared mappings, read-only ones included.
bool waitForChange(const std::atomic<std::uint32_t> &word, std::uint32_t seen, int timeoutMs);
// Wakes every thread waiting on *word (after the caller changed it).
void wakeAll(std::atomic<std::uint32_t> &word);

// Announces one sample.
void pulse(PulseEventBlock &block);
// Waits for the next sample after the call began, at most `timeoutMs`.
bool waitForPulse(const PulseEventBlock &block, int timeoutMs);

} // namespace platform::posix
