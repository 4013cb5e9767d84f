#include "web/HttpRequestHead.h"

#include <QList>

namespace {

// The fields whose repetition would let two readers see two requests.
const char *const kSingleFields[] = {"host", "content-length", "origin", "cookie", "content-type",
                                     "transfer-encoding"};

bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
           || QByteArray("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

// Visible characters, spaces and tabs: no control character, no line break.
bool isFieldValue(const QByteArray &text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f)
            return false;
    }
    return true;
}

bool parseContentLength(const QByteArray &text, qint64 *length)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    *length = text.toLongLong();
    return true;
}

bool parseRequestLine(const QByteArray &line, HttpRequestHead *head)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !parts[1].startsWith('/') || !isFieldValue(parts[1]))
        return false;
    if (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0")
        return false;
    head->method = parts[0];
    const int question = parts[1].indexOf('?');
    head->path = question < 0 ? parts[1] : parts[1].left(question);
    head->query = question < 0 ? QByteArray() : parts[1].mid(question + 1);
    return true;
}

} // namespace

HeadStatus parseHttpHead(const QByteArray &received, int maxHeadBytes, HttpRequestHead *head, int *headBytes)
{
    const int end = received.indexOf("\r\n\r\n");
    if (end < 0 || end + 4 > maxHeadBytes)
        return end < 0 && received.size() < maxHeadBytes ? HeadStatus::Incomplete : HeadStatus::TooLarge;
    *head = HttpRequestHead();
    const QList<QByteArray> lines = received.left(end).split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (!lines[i].endsWith('\r') && i + 1 < lines.size())
            return HeadStatus::Bad; // a bare line feed
        const QByteArray line = i + 1 < lines.size() ? lines[i].chopped(1) : lines[i];
        if (i == 0) {
            if (!parseRequestLine(line, head))
                return HeadStatus::Bad;
            continue;
        }
        const int colon = line.indexOf(':');
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        // A name with no colon, a folded line or a space before the colon.
        if (colon <= 0 || !isToken(name) || !isFieldValue(value))
            return HeadStatus::Bad;
        for (const char *single : kSingleFields) {
            if (name == single && head->fields.contains(name))
                return HeadStatus::Bad;
        }
        head->fields.insert(name, value);
    }
    // Bodies come only with a length: no chunked uploads.
    if (head->has("transfer-encoding"))
        return HeadStatus::Bad;
    if (head->has("content-length") && !parseContentLength(head->field("content-length"), &head->contentLength))
        return HeadStatus::Bad;
    *headBytes = end + 4;
    return HeadStatus::Complete;
}

QByteArray queryValue(const QByteArray &query, const QByteArray &name)
{
    for (const QByteArray &pair : query.split('&')) {
        const int equals = pair.indexOf('=');
        if (equals > 0 && pair.left(equals) == name)
            return pair.mid(equals + 1);
    }
    return QByteArray();
}
