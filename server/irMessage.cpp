#include "server/irMessage.h"

#include "server/ClientText.h"
#include "server/FrameFormat.h"

namespace {

int decimalField(const QByteArray &frame, int offset, int digits)
{
    return QByteArray::fromRawData(frame.constData() + offset, digits).toInt();
}

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

irMessage::irMessage(const QByteArray &frame)
{
    if (frame.size() < frame::kTextOffset || frame.at(0) != frame::kMark)
        return;
    length = decimalField(frame, frame::kLengthOffset, frame::kLengthDigits);
    command = decimalField(frame, frame::kCommandOffset, frame::kCommandDigits);
    requestNumber = decimalField(frame, frame::kRequestNumberOffset, frame::kRequestNumberDigits);
    text = QString::fromUtf8(frame.constData() + frame::kTextOffset,
                             frame.size() - frame::kTextOffset);
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

QString irMessage::argument() const { return text.left(text.size() - 1); }

int irMessage::numericArgument() const { return argument().toInt(); }
