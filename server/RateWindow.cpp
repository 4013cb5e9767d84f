#include "server/RateWindow.h"

#include <chrono>
#include <limits>

namespace {
constexpr qint64 kWindowMs = 1000;
}

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

RateWindow::RateWindow(int perSecond)
    : admitted_(static_cast<std::size_t>(perSecond > 0 ? perSecond : 0),
                std::numeric_limits<qint64>::min())
{
}

bool RateWindow::fits(qint64 nowMs) const
{
    // The slot to reuse holds the oldest of the last N admitted events.
    return !admitted_.empty() && admitted_[next_] <= nowMs - kWindowMs;
}

void RateWindow::record(qint64 nowMs)
{
    if (admitted_.empty())
        return;
    admitted_[next_] = nowMs;
    next_ = (next_ + 1) % admitted_.size();
}

bool RateWindow::admit(qint64 nowMs)
{
    if (!fits(nowMs)) {
        ++refused_;
        return false;
    }
    record(nowMs);
    return true;
}

qint64 RateWindow::takeRefused()
{
    const qint64 refused = refused_;
    refused_ = 0;
    return refused;
}

int RateWindow::countWithin(qint64 nowMs) const
{
    int count = 0;
    for (const qint64 at : admitted_)
        count += at > nowMs - kWindowMs;
    return count;
}

qint64 RateWindow::freeFromMs() const
{
    if (admitted_.empty())
        return std::numeric_limits<qint64>::max();
    const qint64 oldest = admitted_[next_];
    return oldest == std::numeric_limits<qint64>::min() ? oldest : oldest + kWindowMs;
}

bool SharedRateWindow::admit(qint64 nowMs)
{
    if (nowMs < fullUntilMs_.load(std::memory_order_relaxed))
        return false;
    std::lock_guard<std::mutex> locker(lock_);
    const bool fits = window_.fits(nowMs);
    if (fits)
        window_.record(nowMs);
    fullUntilMs_.store(window_.freeFromMs(), std::memory_order_relaxed);
    return fits;
}
