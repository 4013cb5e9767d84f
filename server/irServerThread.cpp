#include "server/irServerThread.h"

#include "model/AppSettings.h"
#include "server/ClientDeadlines.h"
#include "server/ClientText.h"
#include "server/SnapshotStore.h"
#include "simlink/TelemetryLayout.h"

#include <QDebug>

#include <algorithm>

namespace {

// A traced frame shows its length and this many of its first bytes.
constexpr int kTracedBytes = 200;
constexpr int kReportIntervalMs = 1000;
constexpr int kLevelInfo = 0;
// A client past its rate waits at least this long, so a flood wakes its
// thread for a few requests at a time rather than for each one.
constexpr int kMinHoldMs = 10;

using Socket = platform::ClientSocket;

} // namespace

irServerThread::irServerThread(AppSettings *settings_, qintptr socketDescriptor_, QObject *parent,
                               SharedBudgets *budgets_, const ServerLimits &limits_)
    : QThread(parent), settings(settings_), socketDescriptor(socketDescriptor_), limits(limits_),
      budgets(budgets_), lastReceived(steadyMs()), socket(socketDescriptor_)
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
        pressAllowance = limiter->newClient();
}

void irServerThread::stop()
{
    stopping.store(true);
    socket.interrupt();
}

void irServerThread::run()
{
    // Before any work: a flooding client must not take the GUI thread's time.
    platform::lowerCurrentThreadPriority();
    qDebug() << " Thread started";
    if (!socket.open()) {
        emit error(QAbstractSocket::UnsupportedSocketOperationError);
        return;
    }
    readBuffer.resize(static_cast<std::size_t>(std::max(1, limits.readBufferBytes)));
    stallFromMs = steadyMs();
    if (budgets)
        budgetSlot = budgets->requests.join(stallFromMs);
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
        if (repliesSent < replies.size())
            state = flushReplies(waitMs);
        else if (heldFrame)
            state = holdOn(waitMs);
        else
            state = readyRead(waitMs);
    }
    if (budgets)
        budgets->requests.leave(budgetSlot);
    reportHidden();
    if (!stopping.load())
        disconnected();
    socket.interrupt(); // the client sees the end now, not when the object goes
    ended.store(true, std::memory_order_release);
}

int irServerThread::nextWaitMs(qint64 now, Wait *ending)
{
    if (broken) {
        *ending = Wait::Stop;
        return 0;
    }
    ClientWaitState state;
    state.repliesWaiting = repliesSent < replies.size();
    state.progressFromMs = progressFromMs;
    state.held = heldFrame != nullptr;
    state.heldUntilMs = heldUntilMs;
    state.paused = paused;
    state.midFrame = reader.midFrame();
    state.stallFromMs = stallFromMs;
    ClientTimeOut timedOut = ClientTimeOut::None;
    const int waitMs = nextClientWaitMs(state, now, limits, &timedOut);
    switch (timedOut) {
    case ClientTimeOut::None:
        return waitMs;
    case ClientTimeOut::NotReading:
        emit sigDebugString(QStringLiteral("(Server) - Client %1 does not read its replies, disconnected")
                                .arg(socketDescriptor),
                            kLevelInfo);
        break;
    case ClientTimeOut::Stalled:
        qDebug() << socketDescriptor << " Incomplete frame stalled, disconnecting";
        break;
    }
    *ending = Wait::Stop;
    return 0;
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
    reader.append(readBuffer.data(), static_cast<qint64>(got));
    return Wait::Go;
}

void irServerThread::serve()
{
    while (!paused && !broken && !stopping.load()) {
        if (!heldFrame) {
            bool headerNotFound = false;
            if (!reader.next(&heldFrame, &heldSize, &headerNotFound)) {
                heldFrame = nullptr;
                if (headerNotFound)
                    debugString(QStringLiteral("Client: Header not found."), kLevelInfo);
                return;
            }
        }
        if (!admitted(steadyMs()))
            return;
        const char *frame = heldFrame;
        heldFrame = nullptr; // still valid: the reader takes nothing until the next frame
        traceFrame(frame, heldSize);
        reply.clear();
        if (answerRequest(RequestView(frame, heldSize), *this, &reply))
            sendToClient(reply.data(), reply.size());
    }
}

bool irServerThread::admitted(qint64 now)
{
    if (!budgets)
        return true;
    if (heldUntilMs > now)
        return false;
    const int waitMs = budgets->requests.take(budgetSlot, now);
    if (waitMs > 0) {
        heldUntilMs = now + std::max(waitMs, kMinHoldMs);
        return false;
    }
    if (heldUntilMs != 0) {
        heldUntilMs = 0;
        stallFromMs = now; // the stall rule starts afresh after a hold
    }
    return true;
}

irServerThread::Wait irServerThread::holdOn(int timeoutMs)
{
    // Nothing is read while held; only a broken connection or a stop wakes it.
    if (socket.wait(false, false, timeoutMs) & Socket::kBroken)
        return Wait::Stop;
    return Wait::Go;
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
    // Requests are read on while replies wait, up to the bound, once those
    // read are answered.
    if (!paused && !heldFrame && (ready & Socket::kReadable))
        return readyRead(0);
    return Wait::Go;
}

void irServerThread::sendToClient(const char *frame, std::size_t size)
{
    if (broken)
        return;
    if (repliesSent < replies.size()) {
        replies.append(frame, size); // behind the replies that wait
    } else {
        std::size_t sent = 0;
        if (socket.send(frame, size, &sent) == Socket::Result::Failed) {
            broken = true;
            return;
        }
        if (sent == size)
            return;
        replies.assign(frame + sent, size - sent);
        repliesSent = 0;
        progressFromMs = steadyMs(); // replies wait from now
    }
    if (static_cast<qint64>(replies.size() - repliesSent) > limits.pauseAboveBytes)
        paused = true;
}

void irServerThread::sendWaiting()
{
    std::size_t sent = 0;
    if (socket.send(replies.data() + repliesSent, replies.size() - repliesSent, &sent) ==
        Socket::Result::Failed) {
        broken = true;
        return;
    }
    const qint64 now = steadyMs();
    if (sent > 0)
        progressFromMs = now;
    repliesSent += sent;
    if (repliesSent == replies.size()) {
        replies.clear(); // the room stays for the next ones
        repliesSent = 0;
    } else if (repliesSent >= replies.size() / 2) {
        // Dropping the sent front now and then keeps the copying linear.
        replies.erase(0, repliesSent);
        repliesSent = 0;
    }
    if (paused && static_cast<qint64>(replies.size() - repliesSent) < limits.resumeBelowBytes) {
        paused = false;
        stallFromMs = now; // the stall rule starts afresh
    }
}

void irServerThread::traceFrame(const char *frame, int size)
{
    // One budget for every client's trace lines: a write to the debug
    // output costs a system call, and the output may well be discarded.
    if (budgets && !budgets->traceLines.admit(steadyMs())) {
        ++untraced;
        return;
    }
    const QByteArray start = utf8Prefix(QByteArray::fromRawData(frame, size), kTracedBytes);
    const QString shown = printableText(QString::fromUtf8(start.constData(), start.size()));
    qDebug().noquote() << socketDescriptor << ": Data in:" << size << "bytes:" << shown;
}

void irServerThread::reportHidden()
{
    const qint64 lines = hiddenLines;
    hiddenLines = 0;
    if (lines > 0) {
        emit sigDebugString(QStringLiteral("(Server) - Client %1: %2 more lines not shown")
                                .arg(socketDescriptor)
                                .arg(lines),
                            kLevelInfo);
    }
    const qint64 frames = untraced;
    untraced = 0;
    if (frames > 0)
        qDebug().noquote() << socketDescriptor << ":" << frames << "more frames not traced";
}

void irServerThread::debugString(const QString &line, int level)
{
    // One budget for the lines of every client: a flood of many clients puts
    // no more on the GUI thread than one client's.
    if (budgets && !budgets->paneLines.admit(steadyMs())) {
        ++hiddenLines;
        return;
    }
    emit sigDebugString(line, level);
}

void irServerThread::trace(const QString &line)
{
    if (budgets && !budgets->traceLines.admit(steadyMs())) {
        ++untraced;
        return;
    }
    qDebug().noquote() << socketDescriptor << ":" << printableText(line.left(kTracedBytes));
}

void irServerThread::chatClicked(int id)
{
    if (!requestLimiter || requestLimiter->admit(pressAllowance, SimulatorRequest::ChatMacro))
        emit sigButtonChatClicked(id);
}

void irServerThread::keyboardKey(int key)
{
    if (!requestLimiter || requestLimiter->admit(pressAllowance, SimulatorRequest::Key))
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
