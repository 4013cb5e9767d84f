// The frame reader and the message record: pure code, no sockets.

#include "server/FrameFormat.h"
#include "server/FrameReader.h"
#include "server/irMessage.h"

#include <gtest/gtest.h>

#include <QString>

#include <vector>

namespace {

const QByteArray kRequest202("@000011;202;000001;");
const QByteArray kRequest203("@000011;203;000002;");

QVector<QByteArray> feedInPieces(const QByteArray &bytes, const QVector<int> &cuts,
                                 bool *headerNotFound = nullptr)
{
    FrameReader reader;
    QVector<QByteArray> frames;
    int from = 0;
    QVector<int> ends = cuts;
    ends.append(bytes.size());
    for (const int to : ends) {
        const FrameReader::Result r = reader.feed(bytes.mid(from, to - from));
        frames += r.frames;
        if (headerNotFound && r.headerNotFound)
            *headerNotFound = true;
        from = to;
    }
    return frames;
}

TEST(FrameReader, WholeRequestIsOneFrame)
{
    FrameReader reader;
    const FrameReader::Result r = reader.feed(kRequest202);
    ASSERT_EQ(r.frames.size(), 1);
    EXPECT_EQ(r.frames.first(), kRequest202);
    EXPECT_EQ(r.skippedBytes, 0);
    EXPECT_FALSE(r.headerNotFound);
    EXPECT_FALSE(reader.midFrame());
}

TEST(FrameReader, FrameSplitAtAnyByteIsKeptUntilComplete)
{
    for (int cut = 1; cut < kRequest202.size(); ++cut) {
        FrameReader reader;
        const FrameReader::Result first = reader.feed(kRequest202.left(cut));
        EXPECT_TRUE(first.frames.isEmpty()) << "cut " << cut;
        EXPECT_FALSE(first.headerNotFound) << "a partial header is no missing header, cut " << cut;
        EXPECT_TRUE(reader.midFrame());
        const FrameReader::Result second = reader.feed(kRequest202.mid(cut));
        ASSERT_EQ(second.frames.size(), 1) << "cut " << cut;
        EXPECT_EQ(second.frames.first(), kRequest202);
        EXPECT_FALSE(reader.midFrame());
    }
}

TEST(FrameReader, FrameFedByteByByteComesOutOnce)
{
    QVector<int> cuts;
    for (int i = 1; i < kRequest202.size(); ++i)
        cuts.append(i);
    bool headerNotFound = false;
    const QVector<QByteArray> frames = feedInPieces(kRequest202, cuts, &headerNotFound);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames.first(), kRequest202);
    EXPECT_FALSE(headerNotFound);
}

TEST(FrameReader, PipelinedFramesComeOutTogetherInOrder)
{
    FrameReader reader;
    const FrameReader::Result r = reader.feed(kRequest202 + kRequest203 + kRequest202.left(5));
    ASSERT_EQ(r.frames.size(), 2);
    EXPECT_EQ(r.frames.at(0), kRequest202);
    EXPECT_EQ(r.frames.at(1), kRequest203);
    EXPECT_EQ(reader.bufferedBytes(), 5);
    EXPECT_FALSE(r.headerNotFound);
}

TEST(FrameReader, GarbageBeforeHeaderIsSkipped)
{
    FrameReader reader;
    const FrameReader::Result r = reader.feed("hello;" + kRequest202);
    ASSERT_EQ(r.frames.size(), 1);
    EXPECT_EQ(r.frames.first(), kRequest202);
    EXPECT_EQ(r.skippedBytes, 6);
    EXPECT_FALSE(r.headerNotFound);
}

TEST(FrameReader, BytesRunningOutWithoutHeaderAreReported)
{
    FrameReader reader;
    FrameReader::Result r = reader.feed(QByteArray("no header here"));
    EXPECT_TRUE(r.frames.isEmpty());
    EXPECT_TRUE(r.headerNotFound);
    EXPECT_EQ(r.skippedBytes, 14);
    EXPECT_FALSE(reader.midFrame());

    r = reader.feed(kRequest202 + "junk");
    EXPECT_EQ(r.frames.size(), 1);
    EXPECT_TRUE(r.headerNotFound) << "garbage behind a frame is garbage too";
}

TEST(FrameReader, GarbageEndingInPartialHeaderWaitsSilently)
{
    FrameReader reader;
    const FrameReader::Result r = reader.feed(QByteArray("junk@0000"));
    EXPECT_FALSE(r.headerNotFound);
    EXPECT_EQ(reader.bufferedBytes(), 5);
    const FrameReader::Result rest = reader.feed(kRequest202.mid(5));
    ASSERT_EQ(rest.frames.size(), 1);
    EXPECT_EQ(rest.frames.first(), kRequest202);
}

TEST(FrameReader, StrayAtSignDoesNotSwallowTheNextFrame)
{
    EXPECT_EQ(feedInPieces("xx@12;" + kRequest202, {}), QVector<QByteArray>{kRequest202});
    EXPECT_EQ(feedInPieces("@@" + kRequest202, {}), QVector<QByteArray>{kRequest202});
    // The same with the failed header arriving on its own first.
    EXPECT_EQ(feedInPieces("xx@12;" + kRequest202, {6}), QVector<QByteArray>{kRequest202});
}

TEST(FrameReader, ZeroOrNonNumericLengthFailsTheCandidateHeader)
{
    for (const char *bad : {"@000000;", "@abcdef;", "@-00001;", "@000011:"}) {
        FrameReader reader;
        const FrameReader::Result r = reader.feed(QByteArray(bad) + kRequest202);
        ASSERT_EQ(r.frames.size(), 1) << bad;
        EXPECT_EQ(r.frames.first(), kRequest202) << bad;
        EXPECT_EQ(r.skippedBytes, 8) << bad;
    }
}

TEST(FrameReader, LargestFrameIsReadAndNothingMoreIsBuffered)
{
    QByteArray big = "@999999;";
    big += QByteArray(frame::kMaxPayload, 'x');
    FrameReader reader;
    // Three frames in one piece never sit in the reader at once.
    const FrameReader::Result r = reader.feed(big + big + big.left(100));
    ASSERT_EQ(r.frames.size(), 2);
    EXPECT_EQ(r.frames.at(0).size(), frame::kMaxFrame);
    EXPECT_EQ(reader.bufferedBytes(), 100);
    EXPECT_LE(reader.bufferedBytes(), frame::kMaxFrame);
}

TEST(FrameReader, OversizedGarbageIsDroppedNotKept)
{
    FrameReader reader;
    const FrameReader::Result r = reader.feed(QByteArray(3 * frame::kMaxFrame, 'g'));
    EXPECT_EQ(r.skippedBytes, 3 * frame::kMaxFrame);
    EXPECT_EQ(reader.bufferedBytes(), 0);
}

TEST(irMessageParse, FieldsAreReadFromTheirBytes)
{
    const irMessage m(QByteArray("@000015;206;000042;12;"));
    EXPECT_EQ(m.length, 15);
    EXPECT_EQ(m.command, 206);
    EXPECT_EQ(m.requestNumber, 42);
    EXPECT_EQ(m.text, QStringLiteral("12;"));
    EXPECT_EQ(m.argument(), QStringLiteral("12"));
    EXPECT_EQ(m.numericArgument(), 12);
    EXPECT_TRUE(m.raw.isEmpty());
}

TEST(irMessageParse, SeparatorsAreNotCheckedAndNonNumbersReadZero)
{
    const irMessage m(QByteArray("@000011;202x00abcdX"));
    EXPECT_EQ(m.command, 202);
    EXPECT_EQ(m.requestNumber, 0);
    EXPECT_TRUE(m.text.isEmpty());
}

TEST(irMessageParse, ShortMessageIsNotParsed)
{
    const irMessage m(QByteArray("@000005;20201"));
    EXPECT_EQ(m.command, 0);
    EXPECT_EQ(m.length, 0);
    EXPECT_EQ(m.requestNumber, 0);
}

TEST(irMessageParse, TextIsDecodedAsUtf8)
{
    const irMessage m(QByteArray("@000017;201;000001;J\xc3\xbcrgen;"));
    EXPECT_EQ(m.argument(), QString::fromUtf8("J\xc3\xbcrgen"));
    EXPECT_EQ(irMessage(QByteArray("@000012;201;000001;")).argument(), QString());
}

TEST(irMessageReply, FieldsArePaddedAndTextClosed)
{
    const irMessage reply(202, 42, QStringLiteral("pit-link"));
    EXPECT_EQ(reply.raw, QByteArray("@000020;202;000042;pit-link;"));
    EXPECT_EQ(irMessage(7, 0, QString()).raw, QByteArray("@000012;007;000000;;"));
}

TEST(irMessageRequest, RequestWithoutTextIsNineteenBytes)
{
    EXPECT_EQ(requestFrame(207, 1), QByteArray("@000011;207;000001;"));
    EXPECT_EQ(requestFrame(206, 12, QStringLiteral("3;")), QByteArray("@000013;206;000012;3;"));
}

TEST(irMessageReply, WideNumbersAreWrittenInFull)
{
    EXPECT_EQ(irMessage(202, 1234567, QStringLiteral("a")).raw,
              QByteArray("@000014;202;1234567;a;"));
    EXPECT_EQ(irMessage(1001, 2147483647, QString()).raw,
              QByteArray("@000017;1001;2147483647;;"));
    EXPECT_EQ(zeroPadded(-5, 3), QByteArray("-05"));
}

TEST(irMessageReply, LengthCountsUtf8BytesOfTheText)
{
    const QString track = QString::fromUtf8("N\xc3\xbcrburgring \xe2\x80\x93 \xf0\x9f\x8f\x81");
    const irMessage reply(208, 1, track);
    const QByteArray payload = reply.raw.mid(frame::kHeaderSize);
    EXPECT_EQ(reply.raw.mid(frame::kLengthOffset, frame::kLengthDigits),
              zeroPadded(payload.size(), frame::kLengthDigits));
    EXPECT_EQ(payload, "208;000001;" + track.toUtf8() + ";");
    // A reply goes through the reader like a request does.
    FrameReader reader;
    const FrameReader::Result r = reader.feed(reply.raw);
    ASSERT_EQ(r.frames.size(), 1);
    EXPECT_EQ(r.frames.first(), reply.raw);
}

TEST(irMessageReply, TooLongTextIsCutAtACharacterToFitOneFrame)
{
    // text bytes, command, request number, text bytes sent
    struct Case {
        QByteArray text;
        int command;
        int requestNumber;
        int sent;
    };
    // With "a" first, the room left ends inside a euro sign.
    const QByteArray euros = "a" + QByteArray(frame::kMaxPayload / 3, 'x').replace("x", "\xe2\x82\xac");
    const std::vector<Case> cases = {
        {QByteArray(frame::kMaxPayload - 12, 'y'), 207, 1, frame::kMaxPayload - 12},
        {QByteArray(frame::kMaxPayload, 'y'), 207, 1, frame::kMaxPayload - 12},
        {QByteArray(frame::kMaxPayload, 'y'), 1001, 2147483647, frame::kMaxPayload - 17},
        {euros, 205, 1, 1 + (frame::kMaxPayload - 13) / 3 * 3},
    };
    for (const Case &c : cases) {
        const irMessage reply(c.command, c.requestNumber, QString::fromUtf8(c.text));
        EXPECT_EQ(reply.raw.at(frame::kLengthSeparatorOffset), ';');
        FrameReader reader;
        const FrameReader::Result r = reader.feed(reply.raw);
        ASSERT_EQ(r.frames.size(), 1);
        EXPECT_EQ(r.frames.first(), reply.raw);
        EXPECT_EQ(reply.text.toUtf8(), c.text.left(c.sent));
        EXPECT_TRUE(reply.raw.endsWith(c.text.left(c.sent).right(8) + ";"));
        EXPECT_EQ(irMessage::fromUtf8(c.command, c.requestNumber, c.text).raw, reply.raw);
    }
}

} // namespace
