#include "app/SessionLabels.h"

#include "model/irVariables.h"

#include <QTime>

#include <cmath>

namespace {

constexpr double kMsPerDay = 24.0 * 60 * 60 * 1000;

QString timeOfDayText(double seconds, const QString &format)
{
    const double ms = std::trunc(seconds * 1000.0);
    // NaN and values outside a day are no time of day; checked in double so
    // the conversion to int cannot overflow.
    if (!(ms >= 0.0 && ms < kMsPerDay))
        return QString();
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)).toString(format);
}

} // namespace

QString sessionTimeLabel(double sessionTime, double sessionLength)
{
    // No session clock yet: no "/" either.
    if (sessionTime < 0.0)
        return QString();
    return timeOfDayText(sessionTime, QStringLiteral("hh:mm:ss")) + QLatin1Char('/') +
           timeOfDayText(sessionLength, QStringLiteral("hh:mm"));
}

QString lapsLabel(int raceLaps, int sessionLaps)
{
    if (sessionLaps == kNotRead)
        return QString();
    const QString total = sessionLaps == kUnlimitedLaps ? QStringLiteral("unlimited")
                                                        : QString::number(sessionLaps);
    return QString::number(raceLaps) + QLatin1Char('/') + total;
}
