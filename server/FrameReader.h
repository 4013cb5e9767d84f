#pragma once
// Finds request frames in the bytes of one connection. Owns no socket: the
// bytes are appended as they arrive, in any pieces, and the complete frames
// are taken one at a time, in order (next()), or all at once (feed()). An
// incomplete frame (or a header still arriving) is kept for the next piece.
// The buffer is reused, so a steady stream of requests allocates nothing.

#include <QByteArray>
#include <QVector>

#include <vector>

class FrameReader {
public:
    struct Result {
        QVector<QByteArray> frames; // complete frames, header included, in order
        qint64 skippedBytes = 0;    // bytes dropped while looking for a header
        bool headerNotFound = false; // the bytes ran out while looking for a header
    };

    // Appends and returns every complete frame. At most one frame is
    // buffered afterwards, whatever one piece holds.
    Result feed(const char *data, qint64 size);
    Result feed(const QByteArray &bytes) { return feed(bytes.constData(), bytes.size()); }

    // Appends bytes for next(); the caller bounds what it appends between
    // calls to next() that return false.
    void append(const char *data, qint64 size);
    // The next complete frame, header included: *frame points into the
    // buffer and stays valid until the next call of a non-const member.
    // False when none is complete; *headerNotFound then tells whether the
    // bytes ran out while looking for a header (counted once a time).
    bool next(const char **frame, int *size, bool *headerNotFound = nullptr);

    // True while part of a frame (or of its header) waits for more bytes.
    bool midFrame() const { return buffered() > 0; }
    int bufferedBytes() const { return buffered(); }

private:
    int buffered() const { return static_cast<int>(buffer_.size() - pos_); }
    // Bytes skipped looking for a header, counted for Result.
    qint64 skipped_ = 0;
    qint64 skippedSinceFrame_ = 0;
    std::vector<char> buffer_;
    std::size_t pos_ = 0; // what is before it has been taken or skipped
};
