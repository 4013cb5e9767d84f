#pragma once
// What each cell of the drivers table shows, and the number it sorts by.

#include "model/irVariables.h"

#include <QString>
#include <QVariant>

enum DriverColumn {
    kColumnPos = 0,
    kColumnCarNumber,
    kColumnName,
    kColumnLicence,
    kColumnIRating,
    kColumnClub,
    kColumnDivision,
    kColumnBestTime,
    kColumnBestLap,
    kColumnLastTime,
    kColumnLaps,
    kColumnIncidents,
    kColumnReasonOut,
    kDriverColumnCount
};

// The format of every lap time in the table: 83.456 s reads "1:23:456".
extern const char *const kLapTimeFormat;

// A number of seconds as a time of day from midnight, formatted with a
// QTime format; whole milliseconds, truncated toward zero, wrapped within
// 24 hours. Safe for any value; one that is not finite counts as 0.
QString timeText(float seconds, const QString &format);

// The text of a driver's cell in the given column; "-" marks a value the
// simulator has not given yet.
QString driverCellText(int column, const irDriver &d, const irResult &r);

// The number the cell sorts by, so that 9 comes before 10 and every "-"
// after the last real value; invalid for the text columns.
QVariant driverCellSortKey(int column, const irDriver &d, const irResult &r);

// "#" and the colour digits of the simulator's "0xRRGGBB" licence colour.
QString licenceColourName(const QString &licColor);
