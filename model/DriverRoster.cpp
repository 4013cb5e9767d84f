#include "model/DriverRoster.h"

#include "model/SessionValue.h"

namespace {
SessionPath carPath(int carIdx, const char *key)
{
    return SessionPath("DriverInfo:Drivers:CarIdx:{%d}%s", carIdx, key);
}
} // namespace

void readDriverRoster(SimClient &client, QVector<irDriver> &drivers)
{
    drivers.clear();
    QByteArray present;
    for (int i = 0; i <= kMaxCarIndex; ++i) {
        if (!readSessionBytes(client, carPath(i, "").c_str(), present))
            continue;
        irDriver d;
        if (readSessionLocalText(client, carPath(i, "UserName:").c_str(), d.userName))
            d.carIdx = i;
        readSessionInt(client, carPath(i, "CarID:").c_str(), d.carId);
        readSessionText(client, carPath(i, "CarNumber:").c_str(), d.carNumber);
        readSessionInt(client, carPath(i, "CarNumberRaw:").c_str(), d.carNumberRaw);
        readSessionInt(client, carPath(i, "IRating:").c_str(), d.iRating);
        readSessionDouble(client, carPath(i, "LicLevel:").c_str(), d.licLevel);
        readSessionText(client, carPath(i, "LicString:").c_str(), d.licString);
        readSessionDouble(client, carPath(i, "LicSubLevel:").c_str(), d.licSubLevel);
        readSessionText(client, carPath(i, "LicColor:").c_str(), d.licColor);
        readSessionText(client, carPath(i, "DivisionName:").c_str(), d.divisionName);
        readSessionText(client, carPath(i, "ClubName:").c_str(), d.clubName);
        drivers.append(d);
    }
}
