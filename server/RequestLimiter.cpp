#include "server/RequestLimiter.h"

namespace {
constexpr int kMaxPeers = 256;
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
    // Both must fit before either records: a request refused overall does
    // not use up the client's own allowance.
    if (!own.fits(nowMs) || !all.fits(nowMs)) {
        ++(chat ? droppedChat_ : droppedKeys_);
        return false;
    }
    own.record(nowMs);
    all.record(nowMs);
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
