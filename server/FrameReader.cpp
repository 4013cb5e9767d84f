#include "server/FrameReader.h"

#include "server/FrameFormat.h"

#include <algorithm>

int frame::numberField(const char *field, int digits)
{
    int value = 0;
    for (int i = 0; i < digits; ++i) {
        const unsigned digit = static_cast<unsigned>(field[i] - '0');
        if (digit > 9)
            return QByteArray(field, digits).toInt();
        value = value * 10 + static_cast<int>(digit);
    }
    return value;
}

namespace {

// A length that is no number reads 0, which no header accepts.
int lengthField(const char *header)
{
    return frame::numberField(header + frame::kLengthOffset, frame::kLengthDigits);
}

// Where the frame at `bytes` stands: its size when complete, 0 when more
// bytes are needed, -1 when no header starts there.
int frameAt(const char *bytes, std::size_t size)
{
    if (bytes[0] != frame::kMark)
        return -1;
    if (size < static_cast<std::size_t>(frame::kHeaderSize))
        return 0; // the header is still arriving
    const int length = lengthField(bytes);
    if (length <= 0 || bytes[frame::kLengthSeparatorOffset] != frame::kSeparator)
        return -1; // only the "@" is skipped: a real header may start inside
    const int frameSize = frame::kHeaderSize + length;
    return size < static_cast<std::size_t>(frameSize) ? 0 : frameSize;
}

} // namespace

void FrameReader::append(const char *data, qint64 size)
{
    if (size <= 0)
        return;
    // The bytes taken go first; what is left is less than a frame and a read.
    if (pos_ > 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos_));
        pos_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + size);
}

bool FrameReader::next(const char **frame, int *size, bool *headerNotFound)
{
    if (headerNotFound)
        *headerNotFound = false;
    while (pos_ < buffer_.size()) {
        const int found = frameAt(buffer_.data() + pos_, buffer_.size() - pos_);
        if (found == 0)
            return false; // waiting for the rest: nothing to report
        if (found < 0) {
            ++pos_;
            ++skipped_;
            ++skippedSinceFrame_;
            continue;
        }
        *frame = buffer_.data() + pos_;
        *size = found;
        pos_ += static_cast<std::size_t>(found);
        skippedSinceFrame_ = 0;
        return true;
    }
    if (headerNotFound)
        *headerNotFound = skippedSinceFrame_ > 0;
    skippedSinceFrame_ = 0;
    return false;
}

FrameReader::Result FrameReader::feed(const char *data, qint64 size)
{
    Result result;
    skipped_ = 0;
    skippedSinceFrame_ = 0;
    // Appending at most what completes the largest frame keeps the buffer
    // bounded whatever one piece holds: after the frames are taken, less
    // than one frame is left in it.
    while (size > 0) {
        const qint64 room = frame::kMaxFrame - buffered();
        const qint64 take = std::min(size, room);
        append(data, take);
        data += take;
        size -= take;
        const char *frame = nullptr;
        int frameSize = 0;
        bool notFound = false;
        while (next(&frame, &frameSize, &notFound))
            result.frames.append(QByteArray(frame, frameSize));
        result.headerNotFound = notFound;
    }
    result.skippedBytes = skipped_;
    return result;
}
