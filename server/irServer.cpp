#include "server/irServer.h"

#include "server/irServerThread.h"

#include <QDebug>
#include <QHostAddress>
#include <QTcpSocket>

namespace {
constexpr int kLevelInfo = 0;
}

irServer::irServer(AppSettings *settings_, QObject *parent, const ServerLimits &limits_)
    : QTcpServer(parent), settings(settings_), limits(limits_)
{
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
    // Ask every thread first, then join: they end in parallel, and none of
    // them blocks, so this returns at once.
    const QList<irServerThread *> running = clients.values();
    for (irServerThread *thread : running)
        thread->exit(0);
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
    qDebug() << socketDescriptor << " Connecting...";
    emit sigDebugString(QStringLiteral("(Server) - Connecting... %1").arg(socketDescriptor),
                        kLevelInfo);

    if (clients.size() >= limits.maxClients) {
        emit sigDebugString(QStringLiteral("(Server) - Too many clients (%1), connection %2 closed")
                                .arg(limits.maxClients)
                                .arg(socketDescriptor),
                            kLevelInfo);
        QTcpSocket refused;
        if (refused.setSocketDescriptor(socketDescriptor))
            refused.abort();
        return;
    }

    auto *thread = new irServerThread(settings, socketDescriptor, this, limits);
    connect(thread, &QThread::finished, this, [this, thread] { clientFinished(thread); });
    connect(thread, &irServerThread::sigDebugString, this, &irServer::OnDebugString);
    connect(thread, &irServerThread::sigDisconnected, this, &irServer::OnClientDisconnected);
    connect(thread, &irServerThread::sigButtonChatClicked, this, &irServer::sigButtonChatClicked);
    connect(thread, &irServerThread::sigKeyboardKey, this, &irServer::sigKeyboardKey);
    thread->setVars(&irVars);

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
