#include "web/DashboardServer.h"

#include "platform/Platform.h"
#include "server/CommandHandler.h"

#include <QFile>
#include <QMetaObject>
#include <QThread>

namespace {

constexpr int kMacroRereadMs = 5000;
const char *const kPageResource = ":/web/dashboard.html";
const char *const kPairingPageResource = ":/web/pair.html";

QByteArray resource(const char *path)
{
    QFile file{QString::fromLatin1(path)};
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

DashboardServer::DashboardServer(QObject *parent, const DashboardLimits &limits_)
    : QObject(parent), limits(limits_)
{
}

DashboardServer::~DashboardServer() { stop(); }

template <typename Call> void DashboardServer::callAndWait(Call call)
{
    QMetaObject::invokeMethod(http, call, Qt::BlockingQueuedConnection);
}

bool DashboardServer::start(quint16 port)
{
    if (http)
        return true;
    Q_INIT_RESOURCE(dashboard);
    http = new DashboardHttp(limits, resource(kPageResource), resource(kPairingPageResource));
    http->setPressGate(pressGate);
    http->setToken(token);
    http->setPressSink([this](bool macro, int value) {
        // Queued to the GUI thread; dropped there if this object is gone.
        QMetaObject::invokeMethod(
            this,
            [this, macro, value] {
                if (macro)
                    emit sigButtonChatClicked(value);
                else
                    emit sigKeyboardKey(value);
            },
            Qt::QueuedConnection);
    });
    http->setKeysSink([this](const QVector<DashboardKey> &fresh) {
        QMetaObject::invokeMethod(
            this,
            [this, fresh] {
                // The same list again is no change to save.
                if (fresh == keys)
                    return;
                setKeys(fresh);
                emit sigKeysChanged(fresh);
            },
            Qt::QueuedConnection);
    });
    thread = std::make_unique<QThread>();
    thread->setObjectName(QStringLiteral("dashboard"));
    http->moveToThread(thread.get());
    connect(thread.get(), &QThread::finished, http, &QObject::deleteLater);
    // Pages are served below the GUI thread's priority, as the clients are:
    // the simulator's machine decides what the network gets.
    connect(thread.get(), &QThread::started, [] { platform::lowerCurrentThreadPriority(); });
    thread->start();
    bool listening = false;
    DashboardHttp *h = http;
    callAndWait([h, port, &listening] { listening = h->listen(port); });
    if (!listening) {
        stop();
        return false;
    }
    callAndWait([h, this] { listeningPort = h->port(); });
    return true;
}

void DashboardServer::stop()
{
    if (!http)
        return;
    // The thread deletes the HTTP side, and with it every connection, as it ends.
    thread->quit();
    thread->wait();
    thread.reset();
    http = nullptr;
    listeningPort = 0;
    published = false;
}

void DashboardServer::setPressGate(PressGate gate)
{
    pressGate = std::move(gate);
    if (!http)
        return;
    DashboardHttp *h = http;
    PressGate copy = pressGate;
    callAndWait([h, copy] { h->setPressGate(copy); });
}

void DashboardServer::setToken(const QByteArray &token_)
{
    token = token_;
    if (!http)
        return;
    DashboardHttp *h = http;
    callAndWait([h, token_] { h->setToken(token_); });
}

int DashboardServer::connectionCount() const
{
    return http ? http->streamCount() : 0;
}

void DashboardServer::setKeys(const QVector<DashboardKey> &fresh)
{
    if (fresh == keys)
        return;
    keys = fresh;
    // The pages get the list now, not with the next change of the race.
    if (published) {
        published = false;
        publish(lastVars, macrosPath);
    }
}

void DashboardServer::publish(const irVariables &vars, const QString &documentsPath)
{
    if (!http)
        return;
    bool macrosChanged = false;
    if (!macrosAge.isValid() || macrosAge.elapsed() >= kMacroRereadMs || documentsPath != macrosPath) {
        const QVector<ChatMacro> fresh = chatMacroButtons(chatMacros(documentsPath));
        macrosChanged = fresh.size() != macros.size();
        for (int i = 0; !macrosChanged && i < fresh.size(); ++i)
            macrosChanged = fresh[i].number != macros[i].number || fresh[i].text != macros[i].text;
        macros = fresh;
        macrosPath = documentsPath;
        macrosAge.start();
    }
    if (published && !macrosChanged && vars == lastVars)
        return;
    lastVars = vars;
    published = true;
    const QByteArray message = dashboardStateMessage(vars, macros, keys);
    DashboardHttp *h = http;
    QMetaObject::invokeMethod(h, [h, message] { h->setMessage(message); }, Qt::QueuedConnection);
}
