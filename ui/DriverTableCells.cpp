#include "ui/DriverTableCells.h"

#include <QTime>

#include <cmath>
#include <limits>

const char *const kLapTimeFormat = "m:ss:zzz";

namespace {

const QString kNoValue = QStringLiteral("-");

// Sorts a missing value after every real one.
constexpr double kMissingSortsLast = std::numeric_limits<double>::max();
constexpr double kMsPerDay = 24.0 * 60 * 60 * 1000;

// The readers give no time that is not finite; a snapshot made elsewhere
// could, and such a time is shown and sorted as missing.
bool hasBestTime(const irResult &r) { return std::isfinite(r.fastestTime) && r.fastestTime != 0.0f; }
bool hasLastTime(const irResult &r)
{
    return std::isfinite(r.lastTime) && r.lastTime != -1.0f && r.lastTime != 0.0f;
}

} // namespace

QString timeText(float seconds, const QString &format)
{
    // Wrapped within the day in double, so no value overflows the int that
    // QTime takes; a time that is not finite counts as 0.
    const double ms = std::trunc(static_cast<double>(seconds) * 1000.0);
    double ofDay = std::isfinite(ms) ? std::fmod(ms, kMsPerDay) : 0.0;
    if (ofDay < 0.0)
        ofDay += kMsPerDay;
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ofDay)).toString(format);
}

QString driverCellText(int column, const irDriver &d, const irResult &r)
{
    switch (column) {
    case kColumnPos:
        return d.position == kNoPosition ? kNoValue : QString::number(d.position);
    case kColumnCarNumber:
        return QString::number(d.carNumberRaw);
    case kColumnName:
        return d.userName;
    case kColumnLicence:
        return d.licString;
    case kColumnIRating:
        return QString::number(d.iRating);
    case kColumnClub:
        return d.clubName;
    case kColumnDivision:
        return d.divisionName;
    case kColumnBestTime:
        return hasBestTime(r) ? timeText(r.fastestTime, QLatin1String(kLapTimeFormat)) : kNoValue;
    case kColumnBestLap:
        return r.fastestLap == -1 ? kNoValue : QString::number(r.fastestLap);
    case kColumnLastTime:
        return hasLastTime(r) ? timeText(r.lastTime, QLatin1String(kLapTimeFormat)) : kNoValue;
    case kColumnLaps:
        return r.lapsComplete == -1 ? kNoValue : QString::number(r.lapsComplete);
    case kColumnIncidents:
        return QString::number(r.incidents);
    case kColumnReasonOut:
        return r.reasonOutStr;
    default:
        return QString();
    }
}

QVariant driverCellSortKey(int column, const irDriver &d, const irResult &r)
{
    switch (column) {
    case kColumnPos:
        // kNoPosition is larger than any real placing already.
        return static_cast<double>(d.position);
    case kColumnCarNumber:
        return static_cast<double>(d.carNumberRaw);
    case kColumnIRating:
        return static_cast<double>(d.iRating);
    case kColumnBestTime:
        return hasBestTime(r) ? static_cast<double>(r.fastestTime) : kMissingSortsLast;
    case kColumnBestLap:
        return r.fastestLap == -1 ? kMissingSortsLast : static_cast<double>(r.fastestLap);
    case kColumnLastTime:
        return hasLastTime(r) ? static_cast<double>(r.lastTime) : kMissingSortsLast;
    case kColumnLaps:
        return r.lapsComplete == -1 ? kMissingSortsLast : static_cast<double>(r.lapsComplete);
    case kColumnIncidents:
        return static_cast<double>(r.incidents);
    default:
        return QVariant();
    }
}

QString licenceColourName(const QString &licColor)
{
    return QStringLiteral("#") + licColor.mid(2);
}
