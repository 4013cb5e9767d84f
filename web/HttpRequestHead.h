#pragma once
// The head of one HTTP/1.x request (request line and header fields), read
// from the bytes a connection has sent so far. Pure: it owns no socket, so
// the server feeds it whatever has arrived and tests feed it any split.

#include <QByteArray>
#include <QHash>

struct HttpRequestHead {
    QByteArray method;
    QByteArray path;  // the target up to '?'
    QByteArray query; // after '?', without it
    // Field names in lower case; each of them at most once.
    QHash<QByteArray, QByteArray> fields;
    qint64 contentLength = 0;

    QByteArray field(const char *name) const { return fields.value(QByteArray(name)); }
    bool has(const char *name) const { return fields.contains(QByteArray(name)); }
};

enum class HeadStatus {
    Incomplete, // no end of head yet, within the bound
    Complete,
    Bad,        // not a request this server takes (400)
    TooLarge,   // no end of head within the bound (431)
};

// Looks for a complete head at the start of `received`; on Complete fills
// `head` and sets `*headBytes` to the bytes it spans (the body follows).
HeadStatus parseHttpHead(const QByteArray &received, int maxHeadBytes, HttpRequestHead *head, int *headBytes);

// The value of `name` in a query string ("a=1&pair=xyz"), or an empty text.
QByteArray queryValue(const QByteArray &query, const QByteArray &name);
