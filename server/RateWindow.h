#pragma once
// Admits at most a fixed number of events in any one second (a sliding
// window over the times of the last ones admitted) and counts the others.
// Not locked: one owner, or the owner's lock.

#include <QtGlobal>

#include <atomic>
#include <mutex>
#include <vector>

// Milliseconds of a monotonic clock, for the windows and idle times.
qint64 steadyMs();

class RateWindow {
public:
    explicit RateWindow(int perSecond);

    // Whether an event at `nowMs` fits; nothing is recorded.
    bool fits(qint64 nowMs) const;
    // Records an event that fits.
    void record(qint64 nowMs);
    // Records the event when it fits, else counts it as refused.
    bool admit(qint64 nowMs);

    // The events refused since the last call.
    qint64 takeRefused();
    // The events admitted within the second before `nowMs`.
    int countWithin(qint64 nowMs) const;
    // When the next event fits (a time past when one fits now).
    qint64 freeFromMs() const;

private:
    std::vector<qint64> admitted_; // ring of the last admitted times
    std::size_t next_ = 0;         // the oldest of them
    qint64 refused_ = 0;
};

// One window for events of many threads (the debug lines of every client).
// A refusal while the window is full costs one atomic read, no lock; the
// caller counts what is refused.
class SharedRateWindow {
public:
    explicit SharedRateWindow(int perSecond) : window_(perSecond) {}
    bool admit(qint64 nowMs);

private:
    std::mutex lock_; // guards window_
    RateWindow window_;
    std::atomic<qint64> fullUntilMs_{0};
};
