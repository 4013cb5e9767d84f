#pragma once
// One message of the client protocol: a request parsed from a received frame,
// or a reply built ready to send.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>

class irMessage {
public:
    irMessage() = default;
    // Parses a received frame. A frame shorter than the fixed fields or not
    // starting with "@" leaves everything 0 (command 0 gets no reply).
    explicit irMessage(const QByteArray &frame);
    // Builds a reply; `raw` is the complete frame. Its length field counts
    // the payload's UTF-8 bytes. A text too long for one frame is cut at a
    // character boundary so the frame fits (`text` holds what is sent).
    irMessage(int command, int requestNumber, const QString &text);
    // The same from text already in UTF-8; `text` stays empty.
    static irMessage fromUtf8(int command, int requestNumber, const QByteArray &utf8Text);

    QByteArray raw;
    std::int32_t length = 0;
    std::int32_t command = 0;
    std::int32_t requestNumber = 0;
    QString text;
};

// A received request frame read in place: the fields are parsed, the text's
// bytes are not copied or decoded until a command asks for them.
struct RequestView {
    RequestView() = default;
    // Reads `frame` as irMessage's constructor does; the frame must outlive it.
    RequestView(const char *frame, int size);

    // The text without its closing ";" (an empty text stays empty).
    QString argument() const;
    // The argument read as a base-10 integer; no number reads 0.
    int numericArgument() const;

    std::int32_t length = 0;
    std::int32_t command = 0;
    std::int32_t requestNumber = 0;
    const char *text = nullptr;
    int textSize = 0;
};

// Appends the reply frame for the UTF-8 text at `utf8Text` to `out`: the
// same bytes as replyFrame(), built in place with no allocation once `out`
// has room.
void appendReplyFrame(std::string *out, int command, int requestNumber, const char *utf8Text,
                      int textSize);

// A request frame as a client sends it: the text goes as given, so a client
// ends it with ";" itself, and a request with no text is exactly 19 bytes.
QByteArray requestFrame(int command, int requestNumber, const QString &text = QString());

// The reply frame for `utf8Text`, cut as irMessage's constructor cuts it.
QByteArray replyFrame(int command, int requestNumber, const QByteArray &utf8Text);

// `value` in decimal, padded on the left with "0" to `width` characters and
// never cut.
QByteArray zeroPadded(qint64 value, int width);
