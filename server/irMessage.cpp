#include "server/irMessage.h"

#include "server/ClientText.h"
#include "server/FrameFormat.h"

namespace {

// `value` as zeroPadded() writes it, into `at`; returns the characters written.
int writePadded(char *at, qint64 value, int width)
{
    char digits[24];
    int count = 0;
    const bool negative = value < 0;
    quint64 magnitude = negative ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    int n = 0;
    if (negative)
        at[n++] = '-';
    for (int pad = width - count - (negative ? 1 : 0); pad > 0; --pad)
        at[n++] = '0';
    while (count > 0)
        at[n++] = digits[--count];
    return n;
}

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// "@" + the payload's byte count + ";" + the payload.
QByteArray framed(const QByteArray &payload)
{
    QByteArray raw;
    raw.reserve(frame::kHeaderSize + payload.size());
    raw += frame::kMark;
    raw += zeroPadded(payload.size(), frame::kLengthDigits);
    raw += frame::kSeparator;
    raw += payload;
    return raw;
}

QByteArray fixedFields(int command, int requestNumber, int textBytes)
{
    QByteArray payload;
    payload.reserve(frame::kTextOffset + textBytes + 1);
    payload += zeroPadded(command, frame::kCommandDigits);
    payload += frame::kSeparator;
    payload += zeroPadded(requestNumber, frame::kRequestNumberDigits);
    payload += frame::kSeparator;
    return payload;
}

} // namespace

QByteArray zeroPadded(qint64 value, int width)
{
    const bool negative = value < 0;
    QByteArray digits = QByteArray::number(negative ? -value : value);
    const int padding = width - digits.size() - (negative ? 1 : 0);
    if (padding > 0)
        digits.prepend(QByteArray(padding, '0'));
    if (negative)
        digits.prepend('-');
    return digits;
}

RequestView::RequestView(const char *frame, int size)
{
    if (size < frame::kTextOffset || frame[0] != frame::kMark)
        return;
    length = frame::numberField(frame + frame::kLengthOffset, frame::kLengthDigits);
    command = frame::numberField(frame + frame::kCommandOffset, frame::kCommandDigits);
    requestNumber = frame::numberField(frame + frame::kRequestNumberOffset, frame::kRequestNumberDigits);
    text = frame + frame::kTextOffset;
    textSize = size - frame::kTextOffset;
}

QString RequestView::argument() const
{
    const QString all = QString::fromUtf8(text, textSize);
    return all.left(all.size() - 1);
}

int RequestView::numericArgument() const { return argument().toInt(); }

irMessage::irMessage(const QByteArray &frame)
{
    const RequestView view(frame.constData(), frame.size());
    length = view.length;
    command = view.command;
    requestNumber = view.requestNumber;
    if (view.text)
        text = QString::fromUtf8(view.text, view.textSize);
}

void appendReplyFrame(std::string *out, int command, int requestNumber, const char *utf8Text,
                      int textSize)
{
    char fixed[2 * 24];
    int fixedSize = writePadded(fixed, command, frame::kCommandDigits);
    fixed[fixedSize++] = frame::kSeparator;
    fixedSize += writePadded(fixed + fixedSize, requestNumber, frame::kRequestNumberDigits);
    fixed[fixedSize++] = frame::kSeparator;
    // The fixed fields, the text and its closing ";" must fit the length
    // field; a cut backs off to the lead byte of the sequence it falls into.
    const int room = frame::kMaxPayload - fixedSize - 1;
    int sent = textSize;
    if (sent > room) {
        sent = room > 0 ? room : 0;
        while (sent > 0 && isContinuation(utf8Text[sent]))
            --sent;
    }
    char header[24];
    int headerSize = 0;
    header[headerSize++] = frame::kMark;
    headerSize += writePadded(header + headerSize, fixedSize + sent + 1, frame::kLengthDigits);
    header[headerSize++] = frame::kSeparator;
    out->append(header, static_cast<std::size_t>(headerSize));
    out->append(fixed, static_cast<std::size_t>(fixedSize));
    out->append(utf8Text, static_cast<std::size_t>(sent));
    out->push_back(frame::kSeparator);
}

QByteArray replyFrame(int command, int requestNumber, const QByteArray &utf8Text)
{
    const QByteArray fixed = fixedFields(command, requestNumber, 0);
    // The fixed fields, the text and its closing ";" must fit the length field.
    const QByteArray text = utf8Prefix(utf8Text, frame::kMaxPayload - fixed.size() - 1);
    const int payloadSize = fixed.size() + text.size() + 1;
    QByteArray raw;
    raw.reserve(frame::kHeaderSize + payloadSize);
    raw += frame::kMark;
    raw += zeroPadded(payloadSize, frame::kLengthDigits);
    raw += frame::kSeparator;
    raw += fixed;
    raw += text;
    raw += frame::kSeparator;
    return raw;
}

irMessage irMessage::fromUtf8(int command, int requestNumber, const QByteArray &utf8Text)
{
    irMessage reply;
    reply.command = command;
    reply.requestNumber = requestNumber;
    reply.raw = replyFrame(command, requestNumber, utf8Text);
    return reply;
}

irMessage::irMessage(int command_, int requestNumber_, const QString &text_)
    : command(command_), requestNumber(requestNumber_), text(text_)
{
    const QByteArray textBytes = text.toUtf8();
    raw = replyFrame(command, requestNumber, textBytes);
    const int sentBytes = raw.size() - frame::kHeaderSize -
                          fixedFields(command, requestNumber, 0).size() - 1;
    if (sentBytes < textBytes.size())
        text = QString::fromUtf8(textBytes.constData(), sentBytes);
}

QByteArray requestFrame(int command, int requestNumber, const QString &text)
{
    const QByteArray textBytes = text.toUtf8();
    QByteArray payload = fixedFields(command, requestNumber, textBytes.size());
    payload += textBytes;
    return framed(payload);
}
