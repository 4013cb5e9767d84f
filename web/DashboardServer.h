#pragma once
// The browser dashboard: serves one page, pushes the state message to every
// open page as server-sent events, and takes the page's macro and key
// presses. HTTP is civetweb's, on civetweb's own worker threads; those
// threads never touch a widget or this object: presses reach the GUI thread
// as queued calls, and the state message is handed over under one lock.

#include "model/irVariables.h"
#include "web/StateMessage.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

struct mg_context;

struct DashboardLimits {
    int maxConnections = 16;          // open pages; one more gets HTTP 503
    int requestTimeoutMs = 10000;     // a request, and a stalled write to a page
    int maxHeaderBytes = 8192;
    int maxBodyBytes = 4096;
    int resendMs = 2000;              // an unchanged state is sent again this often
    int stopWaitMs = 700;             // the longest stop() waits for civetweb
};

class DashboardServer : public QObject {
    Q_OBJECT
public:
    // Whether a press from a page may go on (the server's rate limits); called
    // on civetweb's threads with the page's address and whether the press is
    // a chat macro (else a key), so it must be thread-safe.
    using PressGate = std::function<bool(const QString &peer, bool macro)>;

    explicit DashboardServer(QObject *parent = nullptr, const DashboardLimits &limits = DashboardLimits());
    ~DashboardServer() override; // stops

    // Listens on every local address; false when the port cannot be had.
    bool start(quint16 port);
    // Closes every page's connection; returns within the limits' stop wait.
    void stop();
    bool isRunning() const { return context != nullptr; }

    // Kept across stops and starts.
    void setPressGate(PressGate gate);
    // Open pages, from any thread.
    int connectionCount() const;

    // Hands the pages the state of `vars`; the message is built only when the
    // snapshot or the macros changed. The chat macros are read from
    // "app.ini" in `documentsPath`, at most every few seconds. GUI thread.
    void publish(const irVariables &vars, const QString &documentsPath);

signals:
    void sigButtonChatClicked(int id);
    void sigKeyboardKey(int key);

public:
    struct Shared; // what civetweb's threads use; outlives a stop that timed out

private:
    const DashboardLimits limits;
    std::shared_ptr<Shared> shared;
    mg_context *context = nullptr;
    quint16 listeningPort = 0;
    PressGate pressGate;

    irVariables lastVars;
    QVector<ChatMacro> macros;
    QString macrosPath;
    QElapsedTimer macrosAge;
    bool published = false;
};
