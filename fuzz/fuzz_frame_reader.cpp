// Feeds the input to the frame reader whole and again in pieces whose sizes
// come from the input itself, and checks that both give the same frames, that
// every frame is well formed and that the reader never holds more than one
// frame. Every frame is parsed, and a reply built from it is read back.

#include "server/FrameFormat.h"
#include "server/FrameReader.h"
#include "server/irMessage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkFrame(const QByteArray &f)
{
    check(f.size() > frame::kHeaderSize && f.size() <= frame::kMaxFrame);
    check(f.at(0) == frame::kMark && f.at(frame::kLengthSeparatorOffset) == frame::kSeparator);
    check(f.mid(frame::kLengthOffset, frame::kLengthDigits).toInt() == f.size() - frame::kHeaderSize);

    const irMessage request(f);
    const irMessage reply(request.command, request.requestNumber, request.text);
    FrameReader back;
    const FrameReader::Result r = back.feed(reply.raw);
    check(r.frames.size() == 1 && r.frames.first() == reply.raw && r.skippedBytes == 0);
}

struct Outcome {
    QVector<QByteArray> frames;
    qint64 skipped = 0;
    int buffered = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte seeds the piece sizes; the rest is the stream.
    std::uint32_t seed = data[0] * 2654435761u + 1;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const qint64 length = static_cast<qint64>(size - 1);

    Outcome whole;
    {
        FrameReader reader;
        const FrameReader::Result r = reader.feed(bytes, length);
        whole.frames = r.frames;
        whole.skipped = r.skippedBytes;
        whole.buffered = reader.bufferedBytes();
        check(!(r.headerNotFound && reader.midFrame()));
    }

    Outcome pieces;
    {
        FrameReader reader;
        qint64 at = 0;
        while (at < length) {
            seed = seed * 1103515245u + 12345u;
            const qint64 piece = std::min<qint64>(length - at, 1 + (seed >> 16) % 24);
            const FrameReader::Result r = reader.feed(bytes + at, piece);
            pieces.frames += r.frames;
            pieces.skipped += r.skippedBytes;
            check(reader.bufferedBytes() <= frame::kMaxFrame);
            check(!(r.headerNotFound && reader.midFrame()));
            at += piece;
        }
        pieces.buffered = reader.bufferedBytes();
    }

    check(whole.frames == pieces.frames);
    check(whole.skipped == pieces.skipped);
    check(whole.buffered == pieces.buffered);
    for (const QByteArray &f : qAsConst(whole.frames))
        checkFrame(f);
    return 0;
}
