#include "server/irServer.h"

#include "server/ClientDeadlines.h"
#include "server/irServerThread.h"

#include <QDebug>
#include <QHostAddress>
#include <QTcpSocket>

namespace {
constexpr int kLevelInfo = 0;
constexpr int kReportIntervalMs = 1000;
constexpr qint64 kMsPerSecond = 1000;
} // namespace

irServer::irServer(AppSettings *settings_, QObject *parent, const ServerLimits &limits_,
                   RequestLimiter *requestLimiter_)
    : QTcpServer(parent), settings(settings_), limits(limits_),
      ownLimiter(requestLimiter_ ? nullptr : new RequestLimiter),
      requestLimiter(requestLimiter_ ? requestLimiter_ : ownLimiter.get()),
      connectionLines(limits_.paneLinesPerSecond), budgets(limits_)
{
    reportTimer.setInterval(kReportIntervalMs);
    connect(&reportTimer, &QTimer::timeout, this, &irServer::reportDropped);
    reportTimer.start();
}

irServer::~irServer()
{
    // The owner may be half destroyed already: nothing is signalled from here.
    blockSignals(true);
    stopServer();
}

bool irServer::startServer(const QString &address, quint16 port)
{
    Q_UNUSED(address); // every local address is served, whatever the field holds
    if (!listen(QHostAddress::Any, port)) {
        qDebug() << "Could not start server";
        emit sigDebugString(QStringLiteral("(Server) - Could not start server"), kLevelInfo);
        return false;
    }
    qDebug() << "Listening to port " << serverPort() << "...";
    emit sigDebugString(QStringLiteral("(Server) - Listening to port %1").arg(serverPort()),
                        kLevelInfo);
    return true;
}

void irServer::stopServer()
{
    // No new client may slip in while the owner lets go of the server.
    close();
    // Ask every thread first, then join: they end in parallel, and a stop
    // wakes each at once, so this returns at once.
    const QList<irServerThread *> running = clients.values();
    for (irServerThread *thread : running)
        thread->stop();
    for (irServerThread *thread : running)
        clientFinished(thread);
}

void irServer::updateVars(const irVariables &vars) { irVars.set(vars); }

irVariables irServer::varsCopy() const { return irVars.copy(); }

int irServer::clientCount() const { return countedClients; }

void irServer::OnDebugString(QString str, int level) { emit sigDebugString(str, level); }

void irServer::OnClientDisconnected()
{
    // The client is counted out when its thread has finished.
    qDebug() << "Client disconnected";
}

void irServer::incomingConnection(qintptr socketDescriptor)
{
    connectionLine(QStringLiteral("(Server) - Connecting... %1").arg(socketDescriptor));

    if (clients.size() >= limits.maxClients && !evictIdleClient()) {
        connectionLine(QStringLiteral("(Server) - Too many clients (%1), connection %2 closed")
                           .arg(limits.maxClients)
                           .arg(socketDescriptor));
        QTcpSocket refused;
        if (refused.setSocketDescriptor(socketDescriptor))
            refused.abort();
        return;
    }

    auto *thread = new irServerThread(settings, socketDescriptor, this, &budgets, limits);
    connect(thread, &QThread::finished, this, [this, thread] { clientFinished(thread); });
    connect(thread, &irServerThread::sigDebugString, this, &irServer::OnDebugString);
    connect(thread, &irServerThread::sigDisconnected, this, &irServer::OnClientDisconnected);
    connect(thread, &irServerThread::sigButtonChatClicked, this, &irServer::sigButtonChatClicked);
    connect(thread, &irServerThread::sigKeyboardKey, this, &irServer::sigKeyboardKey);
    thread->setVars(&irVars);
    thread->setRequestLimiter(requestLimiter);

    // The owner refreshes the record now, so the first request already sees
    // the current race and not the one of the last tick before.
    emit sigSnapshotWanted();

    clients.insert(thread);
    thread->start();
    setClientCount(clients.size());
}

void irServer::clientFinished(irServerThread *thread)
{
    // A thread stopped by stopServer() reports here twice: once joined, and
    // once more when its queued finished() arrives.
    if (!clients.remove(thread))
        return;
    thread->wait();
    thread->deleteLater();
    setClientCount(clients.size());
}

void irServer::setClientCount(int count)
{
    if (count == countedClients)
        return;
    countedClients = count;
    emit sigClientCountChanged(count);
}

bool irServer::evictIdleClient()
{
    const qint64 now = steadyMs();
    const QList<irServerThread *> threads = clients.values();
    QVector<qint64> lastReceived;
    lastReceived.reserve(threads.size());
    for (irServerThread *thread : threads)
        lastReceived.append(thread->lastReceivedMs());
    const int evicted = idleClientToEvict(lastReceived, now, limits.idleEvictMs);
    if (evicted < 0)
        return false;
    irServerThread *idlest = threads[evicted];
    connectionLine(QStringLiteral("(Server) - Client %1 idle for %2 s, closed for a new connection")
                       .arg(idlest->descriptor())
                       .arg((now - lastReceived[evicted]) / kMsPerSecond));
    // A stop wakes the thread at once, so joining it here is quick.
    idlest->stop();
    clientFinished(idlest);
    return true;
}

void irServer::connectionLine(const QString &line)
{
    // Connection attempts come as fast as any device sends them.
    if (!connectionLines.admit(steadyMs()))
        return;
    qDebug().noquote() << line;
    emit sigDebugString(line, kLevelInfo);
}

void irServer::reportDropped()
{
    const qint64 hidden = connectionLines.takeRefused();
    if (hidden > 0) {
        emit sigDebugString(QStringLiteral("(Server) - %1 more connection lines not shown").arg(hidden),
                            kLevelInfo);
    }
    const QString dropped = requestLimiter->takeDroppedReport();
    if (!dropped.isEmpty())
        emit sigDebugString(dropped, kLevelInfo);
}
