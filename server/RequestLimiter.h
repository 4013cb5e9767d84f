#pragma once
// Bounds how often network clients make the simulator act: chat macros and
// key presses, per client and over all clients of every front end (the TCP
// server and any other that takes such requests). What is refused is counted
// and reported as one line. Thread-safe: client threads ask concurrently.
//
// The overall bound is shared: a source (a TCP client or a page address)
// may press while its count in the last second is below its part, the
// overall rate split among the sources that pressed within that second,
// itself included, and one more kept for a newcomer. A lone source keeps its
// own full rate; one that floods cannot take the presses of another.

#include "server/RateWindow.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

struct RequestRates {
    int chatPerClient = 2;  // a second
    int chatOverall = 4;
    int keysPerClient = 10;
    int keysOverall = 20;
};

enum class SimulatorRequest { ChatMacro, Key };

class RequestLimiter {
public:
    // One client's own allowance; each client keeps one, made by newClient().
    class Client {
    public:
        explicit Client(const RequestRates &rates = RequestRates(), quint64 id = 0)
            : id(id), chat(rates.chatPerClient), keys(rates.keysPerClient)
        {
        }

    private:
        friend class RequestLimiter;
        quint64 id;
        RateWindow chat;
        RateWindow keys;
    };

    explicit RequestLimiter(const RequestRates &rates = RequestRates());

    Client newClient() { return Client(rates_, ++lastId_); }

    // Whether `client` may have `request` carried out now; a refused request
    // is counted for the report and must be dropped.
    bool admit(Client &client, SimulatorRequest request, qint64 nowMs = steadyMs());
    // The same for a front end that knows a client only by its address (a
    // web page): the allowance is kept here, for a bounded number of
    // addresses; when they are all taken, every one starts afresh, and the
    // overall bound still holds.
    bool admitPeer(const QString &peer, SimulatorRequest request, qint64 nowMs = steadyMs());

    // "(Server) - %1 chat macros and %2 keys dropped (too many requests)" for
    // what was refused since the last call, or an empty text. Meant to be
    // called once a second.
    QString takeDroppedReport();

private:
    // The sources that pressed in the last second: their ids and last press.
    using Pressers = std::vector<std::pair<quint64, qint64>>;

    bool admitLocked(Client &client, SimulatorRequest request, qint64 nowMs);

    const RequestRates rates_;
    std::mutex lock_; // guards everything below and every Client passed in
    RateWindow chat_;
    RateWindow keys_;
    qint64 droppedChat_ = 0;
    qint64 droppedKeys_ = 0;
    QHash<QString, Client> peers_;
    Pressers chatPressers_;
    Pressers keyPressers_;
    std::atomic<quint64> lastId_{0};
};
