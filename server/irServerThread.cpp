#include "server/irServerThread.h"

#include "app/AppSettings.h"
#include "server/ClientText.h"
#include "server/SnapshotStore.h"
#include "simlink/TelemetryLayout.h"

#include <QDebug>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

// Bytes taken from the socket per read, so one burst never sits in memory twice.
constexpr qint64 kReadChunk = 64 * 1024;
// A traced frame shows its length and this many of its first bytes.
constexpr int kTracedBytes = 200;
constexpr int kReportIntervalMs = 1000;
constexpr int kLevelInfo = 0;

} // namespace

irServerThread::irServerThread(AppSettings *settings_, qintptr socketDescriptor_, QObject *parent,
                               const ServerLimits &limits_)
    : QThread(parent), settings(settings_), socketDescriptor(socketDescriptor_), limits(limits_),
      lastReceived(steadyMs()), paneLines(limits_.paneLinesPerSecond),
      traceLines(limits_.paneLinesPerSecond)
{
}

irServerThread::~irServerThread()
{
    // Destroying a running thread aborts the process; the owner joins first,
    // and this makes sure of it.
    quit();
    wait();
}

void irServerThread::setRequestLimiter(RequestLimiter *limiter)
{
    requestLimiter = limiter;
    if (limiter)
        requestBudget = limiter->newClient();
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
    // A full read buffer stops reading from the system, so TCP holds back a
    // client whose requests wait.
    ownSocket->setReadBufferSize(limits.readBufferBytes);
    // Frees the slot of a device that vanished, on the system's timing.
    ownSocket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    std::unique_ptr<QTimer> ownStall(new QTimer);
    ownStall->setSingleShot(true);
    ownStall->setInterval(limits.stallTimeoutMs);
    std::unique_ptr<QTimer> ownProgress(new QTimer);
    ownProgress->setSingleShot(true);
    ownProgress->setInterval(limits.noProgressTimeoutMs);
    std::unique_ptr<QTimer> reportTimer(new QTimer);
    reportTimer->setInterval(kReportIntervalMs);
    socket = ownSocket.get();
    stallTimer = ownStall.get();
    progressTimer = ownProgress.get();

    connect(socket, &QTcpSocket::readyRead, this, &irServerThread::readyRead, Qt::DirectConnection);
    connect(socket, &QTcpSocket::bytesWritten, this, &irServerThread::onBytesWritten,
            Qt::DirectConnection);
    connect(socket, &QTcpSocket::disconnected, this, &irServerThread::disconnected);
    // The loop also ends here, without waiting for the GUI thread.
    connect(socket, &QTcpSocket::disconnected, this, [this] { quit(); }, Qt::DirectConnection);
    connect(stallTimer, &QTimer::timeout, this, &irServerThread::onStall, Qt::DirectConnection);
    connect(progressTimer, &QTimer::timeout, this, &irServerThread::onNoProgress,
            Qt::DirectConnection);
    connect(reportTimer.get(), &QTimer::timeout, this, &irServerThread::reportHidden,
            Qt::DirectConnection);
    reportTimer->start();

    qDebug() << socketDescriptor << " Client connected";
    // An exit requested before this point is remembered: exec() returns at once.
    exec();

    // The socket and the timers die on the thread they belong to.
    reportHidden();
    progressTimer = nullptr;
    stallTimer = nullptr;
    socket = nullptr;
    ownSocket->disconnect(this);
    ownSocket->abort();
}

void irServerThread::readyRead() { serve(); }

void irServerThread::serve()
{
    if (serving)
        return; // a write inside the loop below reported progress
    serving = true;
    bool received = false;
    while (socket && !paused && socket->state() == QAbstractSocket::ConnectedState) {
        if (nextFrame < frames.size()) {
            const QByteArray &frame = frames.at(nextFrame++);
            traceFrame(frame);
            irMessage message(frame);
            handleMessage(message);
            continue;
        }
        frames.clear();
        nextFrame = 0;
        if (socket->bytesAvailable() <= 0)
            break;
        const QByteArray bytes = socket->read(std::min(socket->bytesAvailable(), kReadChunk));
        if (bytes.isEmpty())
            break;
        received = true;
        lastReceived.store(steadyMs());
        FrameReader::Result result = reader.feed(bytes);
        if (result.headerNotFound)
            debugString(QStringLiteral("Client: Header not found."), kLevelInfo);
        frames = std::move(result.frames);
    }
    serving = false;
    if (!socket)
        return;
    if (paused || !reader.midFrame())
        stallTimer->stop(); // a paused client is not stalling: it is held back
    else if (received || !stallTimer->isActive())
        stallTimer->start(); // counts from the newest byte
}

void irServerThread::handleMessage(irMessage &message)
{
    const std::optional<irMessage> reply = handleCommand(message, *this);
    if (reply)
        sendToClient(reply->raw);
}

void irServerThread::sendToClient(const QByteArray &frame)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    socket->write(frame);
    const qint64 queued = socket->bytesToWrite();
    socket->flush();
    // A flush made while bytesWritten() is being handled reports nothing, so
    // progress is judged here too.
    const qint64 waiting = socket->bytesToWrite();
    watchProgress(waiting < queued);
    if (waiting > limits.pauseAboveBytes)
        paused = true;
}

void irServerThread::watchProgress(bool bytesLeft)
{
    if (socket->bytesToWrite() == 0)
        progressTimer->stop();
    else if (bytesLeft || !progressTimer->isActive())
        progressTimer->start(); // counts from the last byte that left
}

void irServerThread::onBytesWritten()
{
    if (!socket)
        return;
    watchProgress(true);
    if (paused && socket->bytesToWrite() < limits.resumeBelowBytes) {
        paused = false;
        serve();
    }
}

void irServerThread::onStall()
{
    qDebug() << socketDescriptor << " Incomplete frame stalled, disconnecting";
    socket->disconnectFromHost();
    if (socket->state() != QAbstractSocket::UnconnectedState)
        socket->abort(); // replies still waiting for a client that stopped
}

void irServerThread::onNoProgress()
{
    emit sigDebugString(QStringLiteral("(Server) - Client %1 does not read its replies, "
                                       "disconnected")
                            .arg(socketDescriptor),
                        kLevelInfo);
    socket->abort();
}

void irServerThread::traceFrame(const QByteArray &frame)
{
    if (!traceLines.admit(steadyMs()))
        return;
    const QString shown = printableText(QString::fromUtf8(utf8Prefix(frame, kTracedBytes)));
    qDebug().noquote() << socketDescriptor << ": Data in:" << frame.size() << "bytes:" << shown;
}

void irServerThread::reportHidden()
{
    const qint64 lines = paneLines.takeRefused();
    if (lines > 0) {
        emit sigDebugString(QStringLiteral("(Server) - Client %1: %2 more lines not shown")
                                .arg(socketDescriptor)
                                .arg(lines),
                            kLevelInfo);
    }
    const qint64 frames = traceLines.takeRefused();
    if (frames > 0)
        qDebug().noquote() << socketDescriptor << ":" << frames << "more frames not traced";
}

void irServerThread::debugString(const QString &line, int level)
{
    if (paneLines.admit(steadyMs()))
        emit sigDebugString(line, level);
}

void irServerThread::trace(const QString &line)
{
    if (traceLines.admit(steadyMs()))
        qDebug().noquote() << socketDescriptor << ":" << printableText(line.left(kTracedBytes));
}

void irServerThread::chatClicked(int id)
{
    if (!requestLimiter || requestLimiter->admit(requestBudget, SimulatorRequest::ChatMacro))
        emit sigButtonChatClicked(id);
}

void irServerThread::keyboardKey(int key)
{
    if (!requestLimiter || requestLimiter->admit(requestBudget, SimulatorRequest::Key))
        emit sigKeyboardKey(key);
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

QByteArray irServerThread::dataText(int command) const
{
    if (!irVars)
        return noDataText().toUtf8();
    return irVars->dataText(command);
}

platform::WindowId irServerThread::simulatorWindow() const
{
    return platform::os().findWindow(telemetry::kSimulatorWindowTitle);
}

platform::WindowId irServerThread::foregroundWindow() const
{
    return platform::os().foregroundWindow();
}
