#pragma once
// Admits at most a fixed number of events in any one second (a sliding
// window over the times of the last ones admitted) and counts the others.
// Not locked: one owner, or the owner's lock.

#include <QtGlobal>

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

private:
    std::vector<qint64> admitted_; // ring of the last admitted times
    std::size_t next_ = 0;         // the oldest of them
    qint64 refused_ = 0;
};
