#include "app/PortField.h"

#include "model/AppSettings.h"

namespace {
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 65535;
} // namespace

PortValidator::PortValidator(QObject *parent) : QIntValidator(kLowestPort, kHighestPort, parent) {}

QValidator::State PortValidator::validate(QString &input, int &pos) const
{
    Q_UNUSED(pos)
    if (input.isEmpty())
        return Intermediate;
    // QIntValidator lets 0 and 70000 stand as "intermediate" and takes the
    // locale's signs and group separators; a port field wants digits only.
    if (input.at(0) == QLatin1Char('0'))
        return Invalid;
    for (const QChar c : input) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return Invalid;
    }
    if (input.size() > 5 || input.toInt() > kHighestPort)
        return Invalid;
    return Acceptable;
}

quint16 portFromField(const QString &text, quint16 lastSaved)
{
    if (text.isEmpty())
        return lastSaved != 0 ? lastSaved : AppSettings::kDefaultPort;
    return static_cast<quint16>(text.toUInt(nullptr, 10) & 0xFFFFu);
}
