#pragma once
// The TCP server dashboards talk to. Lives on the GUI thread; every accepted
// connection is served by an irServerThread of its own. Client threads reach
// the main window only through the queued signals relayed here.

#include "model/irVariables.h"
#include "server/SnapshotStore.h"

#include <QSet>
#include <QString>
#include <QTcpServer>

class AppSettings;
class irServerThread;

// Limits and waits; the defaults are the program's, tests shorten them.
struct ServerLimits {
    int stallTimeoutMs = 10000;          // an incomplete frame with no new byte
    int maxClients = 64;                 // connections beyond it are closed
    qint64 maxPendingReplyBytes = 4 * 1024 * 1024; // unread replies per client
};

class irServer : public QTcpServer {
    Q_OBJECT
public:
    irServer(AppSettings *settings, QObject *parent, const ServerLimits &limits = ServerLimits());
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

    AppSettings *settings;
    const ServerLimits limits;
    SnapshotStore irVars;
    // Every client thread that has been started and not yet joined; all
    // touched on the GUI thread only.
    QSet<irServerThread *> clients;
    int countedClients = 0;
};
