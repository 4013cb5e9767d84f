#include "server/RequestBudget.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 kRecountMs = 250;
// A client heard from within this long counts among those the budget is split by.
constexpr qint64 kActiveMs = 1000;
constexpr double kMsPerSecond = 1000.0;
// A bucket holds this much of its rate: a burst, then the rate, evenly.
constexpr double kBurstSeconds = 0.25;
} // namespace

RequestBudget::RequestBudget(int perClient, int overall)
    : perClient_(std::max(1, perClient)), overall_(std::max(1, overall)), share_(overall_)
{
}

int RequestBudget::join(qint64 nowMs)
{
    std::lock_guard<std::mutex> locker(lock_);
    auto free = std::find_if(slots_.begin(), slots_.end(), [](const Slot &s) { return !s.used; });
    if (free == slots_.end())
        free = slots_.insert(slots_.end(), Slot());
    *free = Slot();
    free->used = true;
    free->tokens = std::max(1.0, allowance() * kBurstSeconds);
    free->refilledMs = nowMs;
    free->lastAskedMs = nowMs;
    if (recountedMs_ == 0)
        recountedMs_ = nowMs;
    return static_cast<int>(free - slots_.begin());
}

void RequestBudget::leave(int client)
{
    std::lock_guard<std::mutex> locker(lock_);
    if (client >= 0 && client < static_cast<int>(slots_.size()))
        slots_[static_cast<std::size_t>(client)].used = false;
}

double RequestBudget::allowance() const { return std::min(perClient_, share_); }

void RequestBudget::refill(double *tokens, qint64 *refilledMs, double perSecond, qint64 nowMs)
{
    const qint64 elapsed = std::max<qint64>(0, nowMs - *refilledMs);
    const double most = std::max(1.0, perSecond * kBurstSeconds);
    *tokens = std::min(most, *tokens + static_cast<double>(elapsed) * perSecond / kMsPerSecond);
    *refilledMs = std::max(*refilledMs, nowMs);
}

int RequestBudget::take(int client, qint64 nowMs)
{
    std::lock_guard<std::mutex> locker(lock_);
    if (client < 0 || client >= static_cast<int>(slots_.size()))
        return 0;
    if (nowMs - recountedMs_ >= kRecountMs)
        recount(nowMs);
    Slot &slot = slots_[static_cast<std::size_t>(client)];
    const double rate = allowance();
    refill(&slot.tokens, &slot.refilledMs, rate, nowMs);
    slot.lastAskedMs = nowMs;
    if (slot.tokens >= 1.0) {
        slot.tokens -= 1.0;
        ++slot.taken;
        return 0;
    }
    slot.held = true;
    return std::max(1, static_cast<int>(std::ceil((1.0 - slot.tokens) * kMsPerSecond / rate)));
}

void RequestBudget::recount(qint64 nowMs)
{
    const double seconds = static_cast<double>(nowMs - recountedMs_) / kMsPerSecond;
    recountedMs_ = nowMs;
    int active = 0;
    for (const Slot &s : slots_)
        active += s.used && nowMs - s.lastAskedMs < kActiveMs;
    const double even = overall_ / std::max(1, active);
    // The clients that took less than an even part and were never held back
    // keep what they use; the rest of the budget goes to the others.
    double left = overall_;
    int wanting = 0;
    for (Slot &s : slots_) {
        if (!s.used || nowMs - s.lastAskedMs >= kActiveMs) {
            s.taken = 0;
            s.held = false;
            continue;
        }
        const double used = static_cast<double>(s.taken) / seconds;
        if (!s.held && used < even)
            left -= used;
        else
            ++wanting;
        s.taken = 0;
        s.held = false;
    }
    share_ = wanting > 0 ? std::max(even, left / wanting) : overall_;
}
