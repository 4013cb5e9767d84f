#pragma once
// One value of the session-info text, read the way every reader of the
// snapshot reads it: into a 2048-byte buffer, taken only when the query
// reports that the whole value was found and fits. Otherwise the target is
// left as it was.

#include <QByteArray>
#include <QString>

#include <cstdint>

class SimClient;

constexpr int kSessionValueBufferSize = 2048;

// A query path built without heap allocations (a poll asks some 2,400).
class SessionPath {
public:
    // printf-style; a path that does not fit is cut and so finds nothing.
    SessionPath(const char *format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    const char *c_str() const { return text_; }

private:
    char text_[192];
};

// The raw value bytes (up to the terminating zero byte).
bool readSessionBytes(SimClient &client, const char *path, QByteArray &out);

// UTF-8 text.
bool readSessionText(SimClient &client, const char *path, QString &out);
// Text in the system's local 8-bit code page (drivers' user names).
bool readSessionLocalText(SimClient &client, const char *path, QString &out);
// Base-10 signed 32-bit integer; no number gives 0.
bool readSessionInt(SimClient &client, const char *path, std::int32_t &out);
// C-locale floating-point number; no number gives 0.
bool readSessionDouble(SimClient &client, const char *path, double &out);
bool readSessionFloat(SimClient &client, const char *path, float &out);

std::int32_t intFromSessionBytes(const QByteArray &bytes);
double doubleFromSessionBytes(const QByteArray &bytes);
