#include "simlink/SessionInfoQuery.h"

#include "simlink/SessionInfoLines.h"

#include <cstring>

bool SessionInfoQuery(const char *text, std::size_t textLimit, const char *path,
                      const char **valueStart, int *valueLength)
{
    using namespace sessioninfo;
    if (!valueStart || !valueLength)
        return false;
    *valueStart = nullptr;
    *valueLength = 0;
    if (!text || !path || textLimit == 0 || *text == '\0' || !bracesClosed(path))
        return false;
    Match match{path};
    bool found = false;
    forEachLine(text, textLimit, [&](const Line &line) {
        switch (match.evaluate(line)) {
        case Eval::Found:
            *valueStart = line.value;
            *valueLength = line.valueLength;
            found = true;
            return false;
        case Eval::NotFound:
            return false;
        case Eval::Continue:
            break;
        }
        return true;
    });
    return found;
}

bool SessionInfoQuery(const char *text, const char *path, const char **valueStart, int *valueLength)
{
    const std::size_t limit = text ? std::strlen(text) : 0;
    return SessionInfoQuery(text, limit, path, valueStart, valueLength);
}

int copySessionValue(const char *valueStart, int valueLength, char *buffer, int size)
{
    if (!buffer || size < 1)
        return 0;
    const int n = valueLength < size - 1 ? valueLength : size - 1;
    if (n > 0)
        std::memcpy(buffer, valueStart, static_cast<std::size_t>(n));
    buffer[n] = '\0';
    return n == valueLength ? 1 : -valueLength;
}
