#include "model/DriverRoster.h"

#include "model/SessionValue.h"

namespace {
QString carPath(int carIdx, const char *key)
{
    return QStringLiteral("DriverInfo:Drivers:CarIdx:{%1}%2").arg(carIdx).arg(QLatin1String(key));
}
} // namespace

void readDriverRoster(SimClient &client, QVector<irDriver> &drivers)
{
    drivers.clear();
    QByteArray present;
    for (int i = 0; i <= kMaxCarIndex; ++i) {
        if (!readSessionBytes(client, carPath(i, ""), present))
            continue;
        irDriver d;
        if (readSessionLocalText(client, carPath(i, "UserName:"), d.userName))
            d.carIdx = i;
        readSessionInt(client, carPath(i, "CarID:"), d.carId);
        readSessionText(client, carPath(i, "CarNumber:"), d.carNumber);
        readSessionInt(client, carPath(i, "CarNumberRaw:"), d.carNumberRaw);
        readSessionInt(client, carPath(i, "IRating:"), d.iRating);
        readSessionDouble(client, carPath(i, "LicLevel:"), d.licLevel);
        readSessionText(client, carPath(i, "LicString:"), d.licString);
        readSessionDouble(client, carPath(i, "LicSubLevel:"), d.licSubLevel);
        readSessionText(client, carPath(i, "LicColor:"), d.licColor);
        readSessionText(client, carPath(i, "DivisionName:"), d.divisionName);
        readSessionText(client, carPath(i, "ClubName:"), d.clubName);
        drivers.append(d);
    }
}
