#include "server/irServerThread.h"

#include "app/AppSettings.h"
#include "server/SnapshotStore.h"
#include "simlink/TelemetryLayout.h"

#include <QDebug>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

// Bytes taken from the socket per read, so one burst never sits in memory twice.
constexpr qint64 kReadChunk = 64 * 1024;
constexpr int kLevelInfo = 0;

} // namespace

irServerThread::irServerThread(AppSettings *settings_, qintptr socketDescriptor_, QObject *parent,
                               const ServerLimits &limits_)
    : QThread(parent), settings(settings_), socketDescriptor(socketDescriptor_), limits(limits_)
{
}

irServerThread::~irServerThread()
{
    // Destroying a running thread aborts the process; the owner joins first,
    // and this makes sure of it.
    quit();
    wait();
}

void irServerThread::run()
{
    qDebug() << " Thread started";
    std::unique_ptr<QTcpSocket> ownSocket(new QTcpSocket);
    if (!ownSocket->setSocketDescriptor(socketDescriptor, QAbstractSocket::ConnectedState,
                                        QIODevice::ReadWrite)) {
        emit error(ownSocket->error());
        return;
    }
    std::unique_ptr<QTimer> ownTimer(new QTimer);
    ownTimer->setSingleShot(true);
    ownTimer->setInterval(limits.stallTimeoutMs);
    socket = ownSocket.get();
    stallTimer = ownTimer.get();

    connect(socket, &QTcpSocket::readyRead, this, &irServerThread::readyRead, Qt::DirectConnection);
    connect(socket, &QTcpSocket::disconnected, this, &irServerThread::disconnected);
    // The loop also ends here, without waiting for the GUI thread.
    connect(socket, &QTcpSocket::disconnected, this, [this] { quit(); }, Qt::DirectConnection);
    connect(stallTimer, &QTimer::timeout, this, &irServerThread::onStall, Qt::DirectConnection);

    qDebug() << socketDescriptor << " Client connected";
    // An exit requested before this point is remembered: exec() returns at once.
    exec();

    // The socket and the timer die on the thread they belong to.
    stallTimer = nullptr;
    socket = nullptr;
    ownSocket->disconnect(this);
    ownSocket->abort();
}

void irServerThread::readyRead()
{
    while (socket && socket->bytesAvailable() > 0) {
        const QByteArray bytes = socket->read(kReadChunk);
        if (bytes.isEmpty())
            break;
        FrameReader::Result result = reader.feed(bytes);
        if (result.headerNotFound)
            emit sigDebugString(QStringLiteral("Client: Header not found."), kLevelInfo);
        for (const QByteArray &frame : qAsConst(result.frames)) {
            qDebug() << socketDescriptor << ":"
                     << ": Data in: " << frame;
            irMessage message(frame);
            handleMessage(message);
            if (!socket || socket->state() != QAbstractSocket::ConnectedState)
                return;
        }
    }
    if (!socket)
        return;
    socket->flush();
    if (reader.midFrame())
        stallTimer->start(); // restarts: the time-out counts from the newest byte
    else
        stallTimer->stop();
}

void irServerThread::handleMessage(irMessage &message)
{
    const std::optional<irMessage> reply = handleCommand(message, *this);
    if (reply)
        sendToClient(reply->raw);
}

void irServerThread::sendToClient(const QByteArray &frame)
{
    socket->write(frame);
    if (socket->bytesToWrite() > limits.maxPendingReplyBytes) {
        emit sigDebugString(QStringLiteral("(Server) - Client %1 does not read its replies, "
                                           "disconnected")
                                .arg(socketDescriptor),
                            kLevelInfo);
        socket->abort();
    }
}

void irServerThread::onStall()
{
    qDebug() << socketDescriptor << " Incomplete frame stalled, disconnecting";
    socket->disconnectFromHost();
    if (socket->state() != QAbstractSocket::UnconnectedState)
        socket->abort(); // replies still waiting for a client that stopped
}

void irServerThread::disconnected()
{
    qDebug() << socketDescriptor << " Disconnected";
    emit sigDebugString(QStringLiteral("(Server) - Client disconnected ID:%1").arg(socketDescriptor),
                        kLevelInfo);
    emit sigDisconnected();
    exit(0);
}

void irServerThread::OnDebugString(QString str, int level) { emit sigDebugString(str, level); }

QString irServerThread::documentsPath() const
{
    return settings ? settings->documentsPath() : QString();
}

std::optional<irVariables> irServerThread::snapshot() const
{
    if (!irVars)
        return std::nullopt;
    return irVars->copy();
}

platform::WindowId irServerThread::simulatorWindow() const
{
    return platform::os().findWindow(telemetry::kSimulatorWindowTitle);
}

platform::WindowId irServerThread::foregroundWindow() const
{
    return platform::os().foregroundWindow();
}
