#pragma once
// Path queries over the simulator's session-info text, for example
// "SessionInfo:Sessions:SessionNum:{2}SessionType:". One forward scan, no
// allocation. The scan stops at the first NUL or after `textLimit` bytes,
// whichever comes first.

#include <cstddef>

bool SessionInfoQuery(const char *text, std::size_t textLimit, const char *path,
                      const char **valueStart, int *valueLength);

// For a NUL-terminated text.
bool SessionInfoQuery(const char *text, const char *path, const char **valueStart,
                      int *valueLength);

// Copies a found value into `buffer` as SimClient::sessionValue does:
// 1 when whole, the negated length when cut to size - 1 characters.
int copySessionValue(const char *valueStart, int valueLength, char *buffer, int size);
