#pragma once
// Finds request frames in the bytes of one connection. Owns no socket: the
// bytes are appended as they arrive, in any pieces, and every frame that is
// complete comes back at once, in order. An incomplete frame (or a header
// still arriving) is kept for the next piece. At most one frame is buffered.

#include <QByteArray>
#include <QVector>

class FrameReader {
public:
    struct Result {
        QVector<QByteArray> frames; // complete frames, header included, in order
        qint64 skippedBytes = 0;    // bytes dropped while looking for a header
        bool headerNotFound = false; // the bytes ran out while looking for a header
    };

    Result feed(const char *data, qint64 size);
    Result feed(const QByteArray &bytes) { return feed(bytes.constData(), bytes.size()); }

    // True while part of a frame (or of its header) waits for more bytes.
    bool midFrame() const { return !buffer_.isEmpty(); }
    int bufferedBytes() const { return buffer_.size(); }

private:
    void parse(Result *result, qint64 *skippedSinceFrame);

    QByteArray buffer_;
};
