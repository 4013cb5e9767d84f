#include "server/RequestLimiter.h"

#include <algorithm>

namespace {
constexpr int kMaxPeers = 256;
constexpr qint64 kWindowMs = 1000;
}

RequestLimiter::RequestLimiter(const RequestRates &rates)
    : rates_(rates), chat_(rates.chatOverall), keys_(rates.keysOverall)
{
}

bool RequestLimiter::admit(Client &client, SimulatorRequest request, qint64 nowMs)
{
    std::lock_guard<std::mutex> locker(lock_);
    return admitLocked(client, request, nowMs);
}

bool RequestLimiter::admitPeer(const QString &peer, SimulatorRequest request, qint64 nowMs)
{
    std::lock_guard<std::mutex> locker(lock_);
    auto found = peers_.find(peer);
    if (found == peers_.end()) {
        if (peers_.size() >= kMaxPeers)
            peers_.clear();
        found = peers_.insert(peer, newClient());
    }
    return admitLocked(found.value(), request, nowMs);
}

bool RequestLimiter::admitLocked(Client &client, SimulatorRequest request, qint64 nowMs)
{
    const bool chat = request == SimulatorRequest::ChatMacro;
    RateWindow &own = chat ? client.chat : client.keys;
    RateWindow &all = chat ? chat_ : keys_;
    Pressers &pressers = chat ? chatPressers_ : keyPressers_;
    // Only presses of the last second count: the list holds one entry a
    // source, at most as many as the overall rate.
    pressers.erase(std::remove_if(pressers.begin(), pressers.end(),
                                  [nowMs](const std::pair<quint64, qint64> &p) {
                                      return p.second <= nowMs - kWindowMs;
                                  }),
                   pressers.end());
    auto mine = std::find_if(pressers.begin(), pressers.end(),
                             [&client](const std::pair<quint64, qint64> &p) { return p.first == client.id; });
    const int sources = static_cast<int>(pressers.size()) + (mine == pressers.end() ? 1 : 0);
    const int overall = chat ? rates_.chatOverall : rates_.keysOverall;
    // The press itself must fit the part: (count + 1) * (sources + 1) <= overall.
    const bool withinPart = (own.countWithin(nowMs) + 1) * (sources + 1) <= overall;
    // All must fit before anything records: a request refused overall does
    // not use up the client's own allowance.
    if (!own.fits(nowMs) || !withinPart || !all.fits(nowMs)) {
        ++(chat ? droppedChat_ : droppedKeys_);
        return false;
    }
    own.record(nowMs);
    all.record(nowMs);
    if (mine == pressers.end())
        pressers.emplace_back(client.id, nowMs);
    else
        mine->second = nowMs;
    return true;
}

QString RequestLimiter::takeDroppedReport()
{
    std::lock_guard<std::mutex> locker(lock_);
    if (droppedChat_ == 0 && droppedKeys_ == 0)
        return QString();
    const QString line =
        QStringLiteral("(Server) - %1 chat macros and %2 keys dropped (too many requests)")
            .arg(droppedChat_)
            .arg(droppedKeys_);
    droppedChat_ = 0;
    droppedKeys_ = 0;
    return line;
}
