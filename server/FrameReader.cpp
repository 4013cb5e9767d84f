#include "server/FrameReader.h"

#include "server/FrameFormat.h"

#include <algorithm>

namespace {

// The length field as the framework reads a number from bytes: anything that
// is no number reads 0, which no header accepts.
int lengthField(const char *header)
{
    return QByteArray(header + frame::kLengthOffset, frame::kLengthDigits).toInt();
}

} // namespace

FrameReader::Result FrameReader::feed(const char *data, qint64 size)
{
    Result result;
    qint64 skippedSinceFrame = 0;
    // Appending at most what completes the largest frame keeps the buffer
    // bounded whatever one piece holds: after a parse, less than one frame is
    // left in it.
    while (size > 0) {
        const qint64 room = frame::kMaxFrame - buffer_.size();
        const qint64 take = std::min(size, room);
        buffer_.append(data, static_cast<int>(take));
        data += take;
        size -= take;
        parse(&result, &skippedSinceFrame);
    }
    return result;
}

void FrameReader::parse(Result *result, qint64 *skippedSinceFrame)
{
    const char *bytes = buffer_.constData();
    const int size = buffer_.size();
    int pos = 0;
    bool waiting = false;
    while (pos < size) {
        if (bytes[pos] != frame::kMark) {
            ++pos;
            ++*skippedSinceFrame;
            ++result->skippedBytes;
            continue;
        }
        if (size - pos < frame::kHeaderSize) {
            waiting = true; // the header is still arriving
            break;
        }
        const int length = lengthField(bytes + pos);
        if (length <= 0 || bytes[pos + frame::kLengthSeparatorOffset] != frame::kSeparator) {
            // Only the "@" is consumed: a real header may start inside the
            // bytes of a failed one.
            ++pos;
            ++*skippedSinceFrame;
            ++result->skippedBytes;
            continue;
        }
        const int frameSize = frame::kHeaderSize + length;
        if (size - pos < frameSize) {
            waiting = true;
            break;
        }
        result->frames.append(QByteArray(bytes + pos, frameSize));
        pos += frameSize;
        *skippedSinceFrame = 0;
    }
    result->headerNotFound = !waiting && *skippedSinceFrame > 0;
    buffer_.remove(0, pos);
}
