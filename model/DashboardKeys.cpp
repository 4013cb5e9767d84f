#include "model/DashboardKeys.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>

namespace {

// Control characters are no label: they could split the settings file's
// line or the page's text in ways nobody sees.
bool hasControl(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return true;
    }
    return false;
}

DashboardKeysParse refused(const QString &reason)
{
    DashboardKeysParse result;
    result.reason = reason;
    return result;
}

} // namespace

bool operator==(const DashboardKey &a, const DashboardKey &b) { return a.label == b.label && a.key == b.key; }

QString dashboardKeyProblem(const DashboardKey &key)
{
    // Characters as a reader counts them, not UTF-16 units.
    const int length = key.label.toUcs4().size();
    if (length < 1)
        return QStringLiteral("empty label");
    if (length > kMaxDashboardKeyLabel)
        return QStringLiteral("label longer than %1 characters").arg(kMaxDashboardKeyLabel);
    if (hasControl(key.label))
        return QStringLiteral("control character in a label");
    if (key.key < kMinDashboardKeyCode || key.key > kMaxDashboardKeyCode)
        return QStringLiteral("key code not from %1 to %2").arg(kMinDashboardKeyCode).arg(kMaxDashboardKeyCode);
    return QString();
}

DashboardKeysParse parseDashboardKeys(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return refused(QStringLiteral("not a JSON object"));
    const QJsonValue list = document.object().value(QStringLiteral("keys"));
    if (!list.isArray())
        return refused(QStringLiteral("no list \"keys\""));
    const QJsonArray entries = list.toArray();
    if (entries.size() > kMaxDashboardKeys)
        return refused(QStringLiteral("more than %1 keys").arg(kMaxDashboardKeys));
    DashboardKeysParse result;
    for (const QJsonValue &entry : entries) {
        const QJsonValue label = entry.toObject().value(QStringLiteral("label"));
        const QJsonValue code = entry.toObject().value(QStringLiteral("key"));
        const double number = code.toDouble(-1.0);
        if (!entry.isObject() || !label.isString() || !code.isDouble() || std::floor(number) != number)
            return refused(QStringLiteral("an entry is not {\"label\":TEXT,\"key\":NUMBER}"));
        DashboardKey key;
        key.label = label.toString().trimmed();
        // Beyond the range the number is refused anyway; clamped, it converts safely.
        key.key = static_cast<int>(std::max(-1.0, std::min(number, 1000.0)));
        const QString problem = dashboardKeyProblem(key);
        if (!problem.isEmpty())
            return refused(problem);
        result.keys.append(key);
    }
    result.ok = true;
    return result;
}

QVector<DashboardKey> keptDashboardKeys(const QVector<DashboardKey> &stored, int total)
{
    const QString tooMany = QStringLiteral("more than %1 keys").arg(kMaxDashboardKeys);
    QVector<DashboardKey> kept;
    QString firstProblem;
    for (const DashboardKey &key : stored) {
        const QString problem = dashboardKeyProblem(key);
        if (problem.isEmpty() && kept.size() < kMaxDashboardKeys)
            kept.append(key);
        else if (firstProblem.isEmpty())
            firstProblem = problem.isEmpty() ? tooMany : problem;
    }
    // Entries past those read count as dropped too.
    const int all = std::max(total, static_cast<int>(stored.size()));
    if (all > kept.size()) {
        qDebug().noquote() << QStringLiteral("Dashboard keys: %1 of %2 in the settings file dropped (first: %3)")
                                  .arg(all - kept.size())
                                  .arg(all)
                                  .arg(firstProblem.isEmpty() ? tooMany : firstProblem);
    }
    return kept;
}
