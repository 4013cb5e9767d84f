#pragma once
// The dashboard's HTTP side: one event-driven thread that holds every
// connection, so an idle or slow socket costs a little memory and never a
// worker. Lives in the dashboard's own thread; the owner talks to it only
// through queued calls, and it hands presses back the same way.

#include "model/DashboardKeys.h"
#include "web/ConnectionSweep.h"
#include "web/DashboardAccess.h"
#include "web/HttpRequestHead.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>

class QTcpServer;
class QTcpSocket;

struct DashboardLimits {
    int maxStreams = 16;           // open pages in all; one more gets HTTP 503
    int maxStreamsPerAddress = 4;
    int maxPendingConnections = 64; // not yet answered; past it the busiest address's oldest goes
    int idleTimeoutMs = 5000;      // a connection that sends nothing
    int requestTimeoutMs = 10000;  // a whole request from its first byte, and a stalled write to a page
    int maxHeaderBytes = 8192;
    int maxBodyBytes = 4096;
    int resendMs = 2000;           // an unchanged state is sent again this often
    int pairingFailuresPerMinute = 10;
};

class DashboardHttp : public QObject {
    Q_OBJECT
public:
    // Whether a press may go on (the server's rate limits), with the page's
    // address and whether it is a chat macro (else a key).
    using PressGate = std::function<bool(const QString &peer, bool macro)>;
    // Carries a checked press to the owner: a macro (0-based) or a key.
    using PressSink = std::function<void(bool macro, int value)>;
    // Carries a page's checked list of key buttons to the owner.
    using KeysSink = std::function<void(const QVector<DashboardKey> &keys)>;

    DashboardHttp(const DashboardLimits &limits, const QByteArray &page, const QByteArray &pairingPage);
    ~DashboardHttp() override;

    // Called in the dashboard's thread.
    bool listen(quint16 port);
    quint16 port() const;
    void setPressGate(PressGate gate) { pressGate = std::move(gate); }
    void setPressSink(PressSink sink) { pressSink = std::move(sink); }
    void setKeysSink(KeysSink sink) { keysSink = std::move(sink); }
    // A new token ends every paired page's stream at once.
    void setToken(const QByteArray &token);
    void setMessage(const QByteArray &message);

    // Open streams, from any thread.
    int streamCount() const { return streams.load(); }

private:
    using Phase = ConnectionPhase;
    struct Connection : ConnectionTimes {
        QTcpSocket *socket = nullptr;
        QString address;
        quint64 sentVersion = 0;
        qint64 discarded = 0;   // bytes read and dropped after the request
        QByteArray received;
        HttpRequestHead head;
    };

    // Not answered yet: its request is still arriving.
    static bool isPending(const Connection &c) { return c.phase == Phase::Head || c.phase == Phase::Body; }

    void accept();
    void read(QTcpSocket *socket);
    void written(QTcpSocket *socket);
    void sweep();
    void closeConnection(QTcpSocket *socket);
    void makeRoomForNewcomer();

    void handleHead(Connection &c);
    void awaitBody(Connection &c);
    void handleBody(Connection &c);
    void openStream(Connection &c);
    void sendState(Connection &c);
    void answer(Connection &c, const QByteArray &status, const QByteArray &text,
                const QByteArray &extraFields = QByteArray());
    void answerPage(Connection &c, const QByteArray &page);
    void respond(Connection &c, const QByteArray &status, const QByteArray &fields, const QByteArray &body);
    bool isPaired(const HttpRequestHead &head) const;
    void pairingRequest(Connection &c);

    const DashboardLimits limits;
    const QByteArray page;
    const QByteArray pairingPage;
    const QString machineName;
    QTcpServer *server;
    QTimer sweeper;
    QElapsedTimer clock;
    QHash<QTcpSocket *, Connection> connections;
    PairingAttempts pairingAttempts;
    PressGate pressGate;
    PressSink pressSink;
    KeysSink keysSink;
    QByteArray token;
    QByteArray message;
    quint64 version = 0;
    std::atomic<int> streams{0};
};
