#pragma once
// Serves one client connection on a thread of its own. The object lives on
// the GUI thread; run() waits for the client's bytes, answers every complete
// frame and writes each reply as it is made, on the client thread. No wait
// is longer than a fraction of a second, and stop() wakes it at once.
//
// While more than ServerLimits::pauseAboveBytes of replies wait, no request
// is read (the socket's bounded buffers then hold the client back through
// TCP) until they drain below resumeBelowBytes; so too while the client is
// past its request rate, until its next slot. A client from which no reply
// byte leaves for noProgressTimeoutMs is disconnected. The thread runs below
// normal priority, so the GUI thread (and the simulator) come first.
//
// In the steady state a request allocates nothing: the read buffer, the
// frame reader's buffer and the reply buffer are reused.

#include "platform/ClientSocket.h"
#include "server/CommandHandler.h"
#include "server/FrameReader.h"
#include "server/RateWindow.h"
#include "server/RequestLimiter.h"
#include "server/irServer.h"

#include <QAbstractSocket>
#include <QString>
#include <QThread>
#include <QVector>

#include <atomic>
#include <string>
#include <vector>

class AppSettings;
class SnapshotStore;

class irServerThread : public QThread, private CommandEnvironment {
    Q_OBJECT
public:
    // `budgets` are shared with the server's other clients and outlive run().
    irServerThread(AppSettings *settings, qintptr socketDescriptor, QObject *parent,
                   SharedBudgets *budgets, const ServerLimits &limits = ServerLimits());
    ~irServerThread() override; // joins the thread, then closes the connection

    // The record the data messages read, and the limiter of chat and key
    // requests; both set before start().
    void setVars(const SnapshotStore *vars) { irVars = vars; }
    void setRequestLimiter(RequestLimiter *limiter);
    qintptr descriptor() const { return socketDescriptor; }
    // When the client last sent a byte (or connected), on steadyMs()'s clock;
    // any thread.
    qint64 lastReceivedMs() const { return lastReceived.load(); }
    // Ends the connection and the thread soon after, without the
    // disconnection line; any thread.
    void stop();

signals:
    void error(QAbstractSocket::SocketError socketerror);
    void sigDebugString(QString str, int level);
    void sigDisconnected();
    void sigButtonChatClicked(int id);
    void sigKeyboardKey(int key);

protected:
    void run() override;

private:
    enum class Wait { Go, Stop };

    // Takes in what has arrived and answers every complete frame it can.
    Wait readyRead(int timeoutMs);
    void serve();
    // Whether the rate lets the frame in hand be answered now.
    bool admitted(qint64 now);
    Wait flushReplies(int timeoutMs);
    // Past the rate: waits for the next slot, reading nothing.
    Wait holdOn(int timeoutMs);
    int nextWaitMs(qint64 now, Wait *ending);
    // Reports the client gone (it left, stalled or did not read).
    void disconnected();
    void sendToClient(const char *frame, std::size_t size);
    void sendWaiting();
    void traceFrame(const char *frame, int size);
    void reportHidden();

    // CommandEnvironment, called on the client thread.
    qintptr clientId() const override { return socketDescriptor; }
    void setClientName(const QString &name) override { clientName = name; }
    QString documentsPath() const override;
    QByteArray dataText(int command) const override;
    platform::WindowId simulatorWindow() const override;
    platform::WindowId foregroundWindow() const override;
    void debugString(const QString &line, int level) override;
    void trace(const QString &line) override;
    void chatClicked(int id) override;
    void keyboardKey(int key) override;

    AppSettings *settings;
    const qintptr socketDescriptor;
    const ServerLimits limits;
    SharedBudgets *const budgets;
    const SnapshotStore *irVars = nullptr;
    RequestLimiter *requestLimiter = nullptr;
    std::atomic<qint64> lastReceived;
    std::atomic<bool> stopping{false};
    std::atomic<bool> ended{false}; // run() is over
    // Closed by the destructor only, so stop() may wake it at any time.
    platform::ClientSocket socket;

    // Client thread only.
    std::vector<char> readBuffer;
    FrameReader reader;
    // The frame taken from the reader and not yet answered; it points into
    // the reader, which takes no bytes while it is held.
    const char *heldFrame = nullptr;
    int heldSize = 0;
    qint64 heldUntilMs = 0;    // past the rate: no request before then
    int budgetSlot = -1;
    std::string reply;         // the reply being made
    std::string replies;       // written to no socket yet, from repliesSent on
    std::size_t repliesSent = 0;
    bool paused = false;       // replies above the bound: requests wait
    bool broken = false;       // a write failed: the client is gone
    qint64 stallFromMs = 0;    // the newest byte of an incomplete frame
    qint64 progressFromMs = 0; // the last reply byte that left, while replies wait
    QString clientName;
    RequestLimiter::Client pressAllowance;
    qint64 hiddenLines = 0;  // lines for the debug pane the budget held back
    qint64 untraced = 0;     // frames not written to the debug output
};
