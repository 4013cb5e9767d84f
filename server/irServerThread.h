#pragma once
// Serves one client connection on a thread of its own. The object lives on
// the GUI thread; run() creates the socket, the frame reader and the stall
// timer on the client thread, where every request is read and answered.
// Nothing blocks in here: an exit request takes effect at once.

#include "server/CommandHandler.h"
#include "server/FrameReader.h"
#include "server/irServer.h"

#include <QAbstractSocket>
#include <QString>
#include <QThread>

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

    // The record the data messages read; set before start().
    void setVars(const SnapshotStore *vars) { irVars = vars; }
    qintptr descriptor() const { return socketDescriptor; }

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
    void handleMessage(irMessage &message);
    void sendToClient(const QByteArray &frame);
    void onStall();

    // CommandEnvironment, called on the client thread.
    qintptr clientId() const override { return socketDescriptor; }
    void setClientName(const QString &name) override { clientName = name; }
    QString documentsPath() const override;
    std::optional<irVariables> snapshot() const override;
    platform::WindowId simulatorWindow() const override;
    platform::WindowId foregroundWindow() const override;
    void debugString(const QString &line, int level) override { emit sigDebugString(line, level); }
    void chatClicked(int id) override { emit sigButtonChatClicked(id); }
    void keyboardKey(int key) override { emit sigKeyboardKey(key); }

    AppSettings *settings;
    const qintptr socketDescriptor;
    const ServerLimits limits;
    const SnapshotStore *irVars = nullptr;

    // Client thread only, alive while run() is.
    QTcpSocket *socket = nullptr;
    QTimer *stallTimer = nullptr;
    FrameReader reader;
    QString clientName;
};
