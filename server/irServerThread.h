#pragma once
// Serves one client connection on a thread of its own. The object lives on
// the GUI thread; run() creates the socket, the frame reader and the timers on
// the client thread, where every request is read and answered. Nothing blocks
// in here: an exit request takes effect at once.
//
// Each reply is written as it is made. While more than
// ServerLimits::pauseAboveBytes of replies wait, no request is read (the
// socket's bounded read buffer then holds the client back through TCP) until
// they drain below resumeBelowBytes. A client from which no reply byte leaves
// for noProgressTimeoutMs is disconnected.

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

class AppSettings;
class QTcpSocket;
class QTimer;
class SnapshotStore;

class irServerThread : public QThread, private CommandEnvironment {
    Q_OBJECT
public:
    irServerThread(AppSettings *settings, qintptr socketDescriptor, QObject *parent,
                   const ServerLimits &limits = ServerLimits());
    ~irServerThread() override;

    // The record the data messages read, and the limiter of chat and key
    // requests; both set before start().
    void setVars(const SnapshotStore *vars) { irVars = vars; }
    void setRequestLimiter(RequestLimiter *limiter);
    qintptr descriptor() const { return socketDescriptor; }
    // When the client last sent a byte (or connected), on steadyMs()'s clock;
    // any thread.
    qint64 lastReceivedMs() const { return lastReceived.load(); }

signals:
    void error(QAbstractSocket::SocketError socketerror);
    void sigDebugString(QString str, int level);
    void sigDisconnected();
    void sigButtonChatClicked(int id);
    void sigKeyboardKey(int key);

public slots:
    // Client thread: takes in what has arrived and answers every complete frame.
    void readyRead();
    // GUI thread (queued from the socket): reports the client gone, ends the loop.
    void disconnected();
    void OnDebugString(QString str, int level);

protected:
    void run() override;

private:
    void serve();
    void handleMessage(irMessage &message);
    void sendToClient(const QByteArray &frame);
    void onBytesWritten();
    void watchProgress(bool bytesLeft);
    void onStall();
    void onNoProgress();
    void traceFrame(const QByteArray &frame);
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
    const SnapshotStore *irVars = nullptr;
    RequestLimiter *requestLimiter = nullptr;
    std::atomic<qint64> lastReceived;

    // Client thread only, alive while run() is.
    QTcpSocket *socket = nullptr;
    QTimer *stallTimer = nullptr;
    QTimer *progressTimer = nullptr;
    FrameReader reader;
    QVector<QByteArray> frames; // read, not yet answered
    int nextFrame = 0;
    bool paused = false;  // replies above the bound: requests wait
    bool serving = false; // serve() is on the stack
    QString clientName;
    RequestLimiter::Client requestBudget;
    RateWindow paneLines;  // lines for the debug pane
    RateWindow traceLines; // frames written to the debug output
};
