#pragma once
// The program's one picture of the current race: session facts, the player's
// car, the roster, the results of the current session and live telemetry.
// A plain value record: copies are deep, moves take the storage.

#include <QJsonObject>
#include <QString>
#include <QVector>

#include <cstdint>

// Marker values used throughout the snapshot.
constexpr int kNotRead = -1;
constexpr int kNoPosition = 1000;
constexpr int kUnlimitedLaps = 32767;
constexpr double kUnlimitedTime = -1.0;
extern const char *const kTextNotRead; // "n/a"

struct irDriver {
    std::int32_t driverCarIdx = -1;
    std::int32_t position = kNoPosition;
    std::int32_t carIdx = -1;
    float driverCarFuelKgPerLtr = 0.0f;
    float driverCarFuelMaxLtr = 0.0f;
    float driverCarMaxFuelPct = 0.0f;
    float driverCarEstLapTime = 0.0f;
    QString userName;
    QString carNumber;
    std::int32_t carNumberRaw = 0;
    std::int32_t carId = 0;
    std::int32_t iRating = 0;
    double licLevel = 0.0;
    double licSubLevel = 0.0;
    QString licString;
    QString licColor;
    QString clubName;
    QString divisionName;

    bool operator==(const irDriver &other) const;
};

struct irResult {
    std::int32_t position = -1;
    std::int32_t classPosition = 0;
    std::int32_t carIdx = -1;
    std::int32_t lap = -1;
    float time = 0.0f;
    std::int32_t fastestLap = -1;
    float fastestTime = 0.0f;
    float lastTime = 0.0f;
    std::int32_t lapsComplete = -1;
    std::int32_t incidents = 0;
    std::int32_t reasonOutId = 0;
    QString reasonOutStr;

    bool operator==(const irResult &other) const;
};

struct irVariables {
    bool simConnected = false;
    std::int32_t numSessions = -1;
    irDriver playerDriver;
    QVector<irDriver> drivers;
    std::int32_t sessionInfoNum = 1;
    std::int32_t sessionLaps = -1;
    QString sessionType = QString::fromLatin1(kTextNotRead);
    double sessionLength = -1.0;
    std::int32_t sessionNumLapsToAvg = -1;
    QString trackName = QString::fromLatin1(kTextNotRead);
    QString trackDisplayShortName = QString::fromLatin1(kTextNotRead);
    std::int32_t numStarters = -1;
    std::int32_t numCarClasses = -1;
    std::int32_t numCarTypes = -1;
    QVector<irResult> results;
    std::int32_t sessionNum = 0;
    std::int32_t sessionFlags = 0;
    double sessionTime = -1.0;
    std::int32_t sessionLapsRemain = 0;
    std::int8_t displayUnits = 0;
    bool isOnTrack = false;
    bool isReplayPlaying = false;
    std::int32_t playerCarPosition = 0;
    std::int32_t playerCarClassPosition = 0;
    std::int32_t playerCarIdx = 0;
    std::int32_t raceLaps = 0;
    std::int32_t playerLaps = 0;
    float speed = 0.0f;
    float trackTempCrew = 0.0f;
    float airTemp = 0.0f;
    std::int8_t weatherType = 0;
    std::int8_t skies = 0;
    float airDensity = 0.0f;
    float airPressure = 0.0f;
    float windVel = 0.0f;
    float windDir = 0.0f;
    float relativeHumidity = 0.0f;
    float fogLevel = 0.0f;
    float fuelLevel = 0.0f;
    float fuelLevelPct = 0.0f;
    float fuelUsePerHour = 0.0f;

    // The data messages sent to clients (commands 207 and 208).
    QJsonObject telemetryJson() const;
    QJsonObject sessionJson() const;

    bool operator==(const irVariables &other) const;
};
