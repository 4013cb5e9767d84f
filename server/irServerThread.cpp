#include "server/irServerThread.h"

#include "model/AppSettings.h"
#include "server/ClientText.h"
#include "server/SnapshotStore.h"
#include "simlink/TelemetryLayout.h"

#include <QDebug>

#include <algorithm>

namespace {

// A traced frame shows its length and this many of its first bytes.
constexpr int kTracedBytes = 200;
constexpr int kReportIntervalMs = 1000;
// The longest wait before the deadlines are looked at again; a stop wakes
// the thread sooner.
constexpr int kWaitSliceMs = 500;
constexpr int kLevelInfo = 0;

using Socket = platform::ClientSocket;

} // namespace

irServerThread::irServerThread(AppSettings *settings_, qintptr socketDescriptor_, QObject *parent,
                               const ServerLimits &limits_)
    : QThread(parent), settings(settings_), socketDescriptor(socketDescriptor_), limits(limits_),
      lastReceived(steadyMs()), socket(socketDescriptor_), paneLines(limits_.paneLinesPerSecond),
      traceLines(limits_.paneLinesPerSecond)
{
}

irServerThread::~irServerThread()
{
    // Destroying a running thread aborts the process; the owner joins first,
    // and this makes sure of it. The socket closes after.
    stop();
    wait();
    // Qt's join is invisible to ThreadSanitizer; this hand-over is not.
    (void)ended.load(std::memory_order_acquire);
}

void irServerThread::setRequestLimiter(RequestLimiter *limiter)
{
    requestLimiter = limiter;
    if (limiter)
        requestBudget = limiter->newClient();
}

void irServerThread::stop()
{
    stopping.store(true);
    socket.interrupt();
}

void irServerThread::run()
{
    qDebug() << " Thread started";
    if (!socket.open()) {
        emit error(QAbstractSocket::UnsupportedSocketOperationError);
        return;
    }
    readBuffer.resize(static_cast<std::size_t>(std::max(1, limits.readBufferBytes)));
    stallFromMs = steadyMs();
    qDebug() << socketDescriptor << " Client connected";

    qint64 nextReportMs = stallFromMs + kReportIntervalMs;
    Wait state = Wait::Go;
    while (state == Wait::Go && !stopping.load()) {
        serve();
        const qint64 now = steadyMs();
        if (now >= nextReportMs) {
            reportHidden();
            nextReportMs = now + kReportIntervalMs;
        }
        const int waitMs = nextWaitMs(now, &state);
        if (state != Wait::Go)
            break;
        state = repliesSent < replies.size() ? flushReplies(waitMs) : readyRead(waitMs);
    }
    reportHidden();
    if (!stopping.load())
        disconnected();
    socket.interrupt(); // the client sees the end now, not when the object goes
    ended.store(true, std::memory_order_release);
}

int irServerThread::nextWaitMs(qint64 now, Wait *ending)
{
    qint64 waitMs = kWaitSliceMs;
    if (broken) {
        *ending = Wait::Stop;
        return 0;
    }
    if (repliesSent < replies.size()) {
        const qint64 left = progressFromMs + limits.noProgressTimeoutMs - now;
        if (left <= 0) {
            emit sigDebugString(QStringLiteral("(Server) - Client %1 does not read its replies, "
                                               "disconnected")
                                    .arg(socketDescriptor),
                                kLevelInfo);
            *ending = Wait::Stop;
            return 0;
        }
        waitMs = std::min(waitMs, left);
    }
    // A held-back client is not stalling: the stall rule waits while paused.
    if (!paused && reader.midFrame()) {
        const qint64 left = stallFromMs + limits.stallTimeoutMs - now;
        if (left <= 0) {
            qDebug() << socketDescriptor << " Incomplete frame stalled, disconnecting";
            *ending = Wait::Stop;
            return 0;
        }
        waitMs = std::min(waitMs, left);
    }
    return static_cast<int>(waitMs);
}

irServerThread::Wait irServerThread::readyRead(int timeoutMs)
{
    std::size_t got = 0;
    switch (socket.receive(readBuffer.data(), readBuffer.size(), timeoutMs, &got)) {
    case Socket::Result::Done:
        break;
    case Socket::Result::TimedOut:
        return Wait::Go;
    case Socket::Result::Closed:
    case Socket::Result::Failed:
        return Wait::Stop;
    }
    if (got == 0)
        return Wait::Go;
    const qint64 now = steadyMs();
    lastReceived.store(now);
    stallFromMs = now;
    FrameReader::Result result = reader.feed(readBuffer.data(), static_cast<qint64>(got));
    if (result.headerNotFound)
        debugString(QStringLiteral("Client: Header not found."), kLevelInfo);
    frames = std::move(result.frames);
    nextFrame = 0;
    return Wait::Go;
}

void irServerThread::serve()
{
    while (!paused && !broken && nextFrame < frames.size() && !stopping.load()) {
        const QByteArray frame = frames.at(nextFrame++);
        traceFrame(frame);
        irMessage message(frame);
        handleMessage(message);
    }
    if (nextFrame >= frames.size()) {
        frames.clear();
        nextFrame = 0;
    }
}

irServerThread::Wait irServerThread::flushReplies(int timeoutMs)
{
    const unsigned ready = socket.wait(!paused, true, timeoutMs);
    if (ready & Socket::kBroken)
        return Wait::Stop;
    if (ready & Socket::kWritable)
        sendWaiting();
    if (broken)
        return Wait::Stop;
    // Requests are read on while replies wait, up to the bound.
    if (!paused && (ready & Socket::kReadable))
        return readyRead(0);
    return Wait::Go;
}

void irServerThread::handleMessage(irMessage &message)
{
    const std::optional<irMessage> reply = handleCommand(message, *this);
    if (reply)
        sendToClient(reply->raw);
}

void irServerThread::sendToClient(const QByteArray &frame)
{
    if (broken)
        return;
    if (repliesSent < replies.size()) {
        replies.append(frame); // behind the replies that wait
    } else {
        std::size_t sent = 0;
        if (socket.send(frame.constData(), static_cast<std::size_t>(frame.size()), &sent) ==
            Socket::Result::Failed) {
            broken = true;
            return;
        }
        if (sent == static_cast<std::size_t>(frame.size()))
            return;
        replies = frame.mid(static_cast<int>(sent));
        repliesSent = 0;
        progressFromMs = steadyMs(); // replies wait from now
    }
    if (replies.size() - repliesSent > limits.pauseAboveBytes)
        paused = true;
}

void irServerThread::sendWaiting()
{
    std::size_t sent = 0;
    if (socket.send(replies.constData() + repliesSent,
                    static_cast<std::size_t>(replies.size() - repliesSent),
                    &sent) == Socket::Result::Failed) {
        broken = true;
        return;
    }
    const qint64 now = steadyMs();
    if (sent > 0)
        progressFromMs = now;
    repliesSent += static_cast<int>(sent);
    if (repliesSent == replies.size()) {
        replies.clear();
        repliesSent = 0;
    } else if (repliesSent >= replies.size() / 2) {
        // Dropping the sent front now and then keeps the copying linear.
        replies.remove(0, repliesSent);
        repliesSent = 0;
    }
    if (paused && replies.size() - repliesSent < limits.resumeBelowBytes) {
        paused = false;
        stallFromMs = now; // the stall rule starts afresh
    }
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
}

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
