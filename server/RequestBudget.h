#pragma once
// How many requests the client threads may answer: at most a bound a second
// for each client, and an overall budget a second shared among the clients
// that want more than their part. A client over its allowance is told how
// long to wait; its thread then reads nothing more from it (TCP holds the
// client back), so nothing is dropped or reordered. Thread-safe.
//
// Each client has a token bucket refilled at its allowance, holding at most
// a quarter of a second of it (a short burst, then an even pace). The
// allowance is min(per-client bound, share). Every quarter of a second the
// share is worked out again: the budget less what the clients that were
// never held back used, split among those that were, and never below an
// even split among all clients heard from. So the allowances add up to the
// budget; a client that starts to want more is held to it from the next
// recount on.

#include <QtGlobal>

#include <mutex>
#include <vector>

class RequestBudget {
public:
    RequestBudget(int perClient, int overall);

    // A new client's place, full; give it back with leave().
    int join(qint64 nowMs);
    void leave(int client);
    // 0 when `client` may be answered one request now (it is counted), else
    // the milliseconds until it may ask again.
    int take(int client, qint64 nowMs);

private:
    struct Slot {
        bool used = false;
        bool held = false;   // was told to wait since the last recount
        double tokens = 0.0;
        qint64 refilledMs = 0;
        qint64 lastAskedMs = 0;
        qint64 taken = 0;    // since the last recount
    };

    void recount(qint64 nowMs);
    double allowance() const;
    static void refill(double *tokens, qint64 *refilledMs, double perSecond, qint64 nowMs);

    const double perClient_;
    const double overall_;
    std::mutex lock_; // guards everything below
    std::vector<Slot> slots_;
    double share_;
    qint64 recountedMs_ = 0;
};
