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

int idleClientToEvict(const QVector<qint64> &lastReceivedMs, qint64 nowMs, int idleEvictMs)
{
    int idlest = -1;
    qint64 idleMs = -1;
    for (int i = 0; i < lastReceivedMs.size(); ++i) {
        const qint64 idle = nowMs - lastReceivedMs[i];
        if (idle > idleMs) {
            idleMs = idle;
            idlest = i;
        }
    }
    return idleMs < idleEvictMs ? -1 : idlest;
}
