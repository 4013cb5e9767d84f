#pragma once
// The browser dashboard: serves the page to paired browsers (and a page that
// says how to pair to the others), pushes the state message to every open
// page as server-sent events, and takes the page's macro and key presses.
// HTTP runs in a thread of its own (DashboardHttp); this object lives on the
// GUI thread and talks to it through queued calls only.

#include "model/irVariables.h"
#include "web/DashboardHttp.h"
#include "web/StateMessage.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>

class QThread;

class DashboardServer : public QObject {
    Q_OBJECT
public:
    using PressGate = DashboardHttp::PressGate;

    explicit DashboardServer(QObject *parent = nullptr, const DashboardLimits &limits = DashboardLimits());
    ~DashboardServer() override; // stops

    // Listens on every local address (port 0: any free port); false when the
    // port cannot be had.
    bool start(quint16 port);
    // Closes every connection and ends the thread.
    void stop();
    quint16 port() const { return listeningPort; }

    // Both are kept across stops and starts. The gate is called on the
    // dashboard's thread, so it must be thread-safe.
    void setPressGate(PressGate gate);
    // The secret a browser must hold; a new one unpairs every browser at once.
    void setToken(const QByteArray &token);
    // Open pages, from any thread.
    int connectionCount() const;
    // The key buttons every page shows; kept across stops and starts. GUI thread.
    void setKeys(const QVector<DashboardKey> &keys);

    // Hands the pages the state of `vars`; the message is built only when the
    // snapshot or the macros changed. The chat macros are read from
    // "app.ini" in `documentsPath`, at most every few seconds. GUI thread.
    void publish(const irVariables &vars, const QString &documentsPath);

signals:
    void sigButtonChatClicked(int id);
    void sigKeyboardKey(int key);
    // A page set up a new list of key buttons; the pages have it already.
    void sigKeysChanged(const QVector<DashboardKey> &keys);

private:
    // Runs `call` on the dashboard's thread and waits for it.
    template <typename Call> void callAndWait(Call call);

    const DashboardLimits limits;
    std::unique_ptr<QThread> thread;
    DashboardHttp *http = nullptr; // lives in `thread`, deleted as it ends
    quint16 listeningPort = 0;
    PressGate pressGate;
    QByteArray token;

    irVariables lastVars;
    QVector<ChatMacro> macros;
    QVector<DashboardKey> keys;
    QString macrosPath;
    QElapsedTimer macrosAge;
    bool published = false;
};
