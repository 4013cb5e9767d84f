#include "web/ConnectionSweep.h"

#include "web/DashboardHttp.h"

namespace {

// An answered connection is closed once the client has had this long to
// read the answer and close its side; what it still sends is dropped.
constexpr int kLingerMs = 1000;

} // namespace

SweepAction sweepAction(const ConnectionTimes &c, bool writing, qint64 nowMs, const DashboardLimits &limits)
{
    switch (c.phase) {
    case ConnectionPhase::Head:
    case ConnectionPhase::Body:
        if (c.firstByteMs < 0)
            return nowMs - c.openedMs >= limits.idleTimeoutMs ? SweepAction::Close : SweepAction::Keep;
        return nowMs - c.firstByteMs >= limits.requestTimeoutMs ? SweepAction::Close : SweepAction::Keep;
    case ConnectionPhase::Stream:
        if (writing) // a page that does not read
            return nowMs - c.progressMs >= limits.requestTimeoutMs ? SweepAction::Close : SweepAction::Keep;
        return nowMs - c.sentMs >= limits.resendMs ? SweepAction::Resend : SweepAction::Keep;
    case ConnectionPhase::Answered:
        return nowMs - c.progressMs >= kLingerMs ? SweepAction::Close : SweepAction::Keep;
    }
    return SweepAction::Keep;
}
