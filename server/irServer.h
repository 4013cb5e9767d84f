#pragma once
// The TCP server dashboards talk to. Lives on the GUI thread; every accepted
// connection is served by an irServerThread of its own. Client threads reach
// the main window only through the queued signals relayed here.

#include "model/irVariables.h"
#include "server/RateWindow.h"
#include "server/RequestBudget.h"
#include "server/RequestLimiter.h"
#include "server/SnapshotStore.h"

#include <QSet>
#include <QString>
#include <QTcpServer>
#include <QTimer>

#include <memory>

class AppSettings;
class irServerThread;

// Limits and waits; the defaults are the program's, tests shorten them.
struct ServerLimits {
    int stallTimeoutMs = 10000; // an incomplete frame with no new byte
    int maxClients = 64;        // connections beyond it are closed
    // At the cap, the client that has sent nothing for the longest time is
    // closed for a newcomer, if that is at least this long.
    int idleEvictMs = 60000;
    int readBufferBytes = 64 * 1024;         // a client's requests not yet read
    qint64 pauseAboveBytes = 1024 * 1024;    // unsent replies: stop reading requests
    qint64 resumeBelowBytes = 256 * 1024;    // and read on below this
    int noProgressTimeoutMs = 10000;         // replies wait and none of their bytes leaves
    // Lines for the debug pane a second, for all clients together and for
    // the connection lines; the rest are counted. The trace lines of the
    // debug output are bounded the same way.
    int paneLinesPerSecond = 20;
    // Requests answered a second for one client: past it, its thread reads
    // none of its requests until the next slot, and TCP holds it back.
    int requestsPerClient = 240;
    // Requests answered a second for all clients, shared among those that
    // want more than their part.
    int requestsOverall = 4000;
};

// The bounds every client thread of one server draws on together.
struct SharedBudgets {
    explicit SharedBudgets(const ServerLimits &limits)
        : requests(limits.requestsPerClient, limits.requestsOverall),
          paneLines(limits.paneLinesPerSecond), traceLines(limits.paneLinesPerSecond)
    {
    }
    RequestBudget requests;
    SharedRateWindow paneLines;
    SharedRateWindow traceLines;
};

class irServer : public QTcpServer {
    Q_OBJECT
public:
    // `requestLimiter` bounds the clients' chat and key requests together with
    // those of other front ends; null gives the server one of its own.
    irServer(AppSettings *settings, QObject *parent, const ServerLimits &limits = ServerLimits(),
             RequestLimiter *requestLimiter = nullptr);
    ~irServer() override; // ends and joins every client thread

    // Listens on every local address; the address is not used. Reports
    // through sigDebugString and returns whether it listens.
    bool startServer(const QString &address, quint16 port);
    // Stops listening, ends every client thread and waits for each.
    void stopServer();

    // Copies `vars` over the server's record under its lock (a telemetry tick,
    // or a client being accepted).
    void updateVars(const irVariables &vars);
    // A private copy of the server's record, taken under its lock.
    irVariables varsCopy() const;

    int clientCount() const;

signals:
    void sigDebugString(QString str, int level);
    void sigButtonChatClicked(int id);
    void sigKeyboardKey(int key);
    void sigClientCountChanged(int count);
    // Asks the owner for a fresh snapshot (a client was accepted).
    void sigSnapshotWanted();

public slots:
    void OnDebugString(QString str, int level);
    void OnClientDisconnected();

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    void clientFinished(irServerThread *thread);
    void setClientCount(int count);
    // Closes the client silent for longest, when that is long enough; returns
    // whether a slot is free now.
    bool evictIdleClient();
    void connectionLine(const QString &line);
    void reportDropped();

    AppSettings *settings;
    const ServerLimits limits;
    SnapshotStore irVars;
    std::unique_ptr<RequestLimiter> ownLimiter;
    RequestLimiter *requestLimiter;
    RateWindow connectionLines;
    SharedBudgets budgets; // outlives every client thread: they are joined first
    QTimer reportTimer; // once a second: what the bounds held back
    // Every client thread that has been started and not yet joined; all
    // touched on the GUI thread only.
    QSet<irServerThread *> clients;
    int countedClients = 0;
};
