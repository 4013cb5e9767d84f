#pragma once
// Texts of the main window's session group.

#include <QString>

// Elapsed time "hh:mm:ss", "/", total time "hh:mm". A negative time or one
// of 24 hours or more shows as an empty text (an unlimited session); the
// whole label is empty while the elapsed time is below 0 (not read yet).
QString sessionTimeLabel(double sessionTime, double sessionLength);
// Race laps, "/", session laps or "unlimited"; empty while the session laps
// are not read yet (-1).
QString lapsLabel(int raceLaps, int sessionLaps);
