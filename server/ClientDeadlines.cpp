#include "server/ClientDeadlines.h"

#include "server/irServer.h"

#include <algorithm>

namespace {

// The longest wait before the deadlines are looked at again; a stop wakes
// the thread sooner.
constexpr qint64 kWaitSliceMs = 500;

} // namespace

int nextClientWaitMs(const ClientWaitState &s, qint64 nowMs, const ServerLimits &limits, ClientTimeOut *timedOut)
{
    *timedOut = ClientTimeOut::None;
    qint64 waitMs = kWaitSliceMs;
    if (s.repliesWaiting) {
        const qint64 left = s.progressFromMs + limits.noProgressTimeoutMs - nowMs;
        if (left <= 0) {
            *timedOut = ClientTimeOut::NotReading;
            return 0;
        }
        waitMs = std::min(waitMs, left);
    }
    if (s.held && !s.paused)
        waitMs = std::min(waitMs, std::max<qint64>(0, s.heldUntilMs - nowMs));
    // A held-back client is not stalling: the stall rule waits while paused
    // or past its rate.
    if (!s.paused && !s.held && s.midFrame) {
        const qint64 left = s.stallFromMs + limits.stallTimeoutMs - nowMs;
        if (left <= 0) {
            *timedOut = ClientTimeOut::Stalled;
            return 0;
        }
        waitMs = std::min(waitMs, left);
    }
    return static_cast<int>(waitMs);
}
