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

TEST(FrameReader, FramesGarbageAndWhatStaysBuffered)
{
    QByteArray big = "@999999;";
    big += QByteArray(frame::kMaxPayload, 'x');
    QVector<int> everyByte;
    for (int i = 1; i < kRequest202.size(); ++i)
        everyByte.append(i);
    // bytes, cuts between feeds, frames, skipped bytes, header not found, left buffered
    struct Case {
        QByteArray bytes;
        QVector<int> cuts;
        QVector<QByteArray> frames;
        int skipped;
        bool headerNotFound;
        int buffered;
    };
    const std::vector<Case> cases = {
        {kRequest202, {}, {kRequest202}, 0, false, 0},
        {kRequest202, everyByte, {kRequest202}, 0, false, 0},
        {kRequest202 + kRequest203 + kRequest202.left(5), {}, {kRequest202, kRequest203}, 0, false, 5},
        {"hello;" + kRequest202, {}, {kRequest202}, 6, false, 0},
        {"no header here", {}, {}, 14, true, 0},
        {kRequest202 + "junk", {}, {kRequest202}, 4, true, 0},
        {"junk@0000" + kRequest202.mid(5), {9}, {kRequest202}, 4, false, 0},
        {"xx@12;" + kRequest202, {}, {kRequest202}, 6, false, 0},
        {"xx@12;" + kRequest202, {6}, {kRequest202}, 6, false, 0},
        {"@@" + kRequest202, {}, {kRequest202}, 2, false, 0},
        {"@000000;" + kRequest202, {}, {kRequest202}, 8, false, 0},
        {"@abcdef;" + kRequest202, {}, {kRequest202}, 8, false, 0},
        {"@-00001;" + kRequest202, {}, {kRequest202}, 8, false, 0},
        {"@000011:" + kRequest202, {}, {kRequest202}, 8, false, 0},
        // Three largest frames in one piece never sit in the reader at once.
        {big + big + big.left(100), {}, {big, big}, 0, false, 100},
        {QByteArray(3 * frame::kMaxFrame, 'g'), {}, {}, 3 * frame::kMaxFrame, true, 0},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        FrameReader reader;
        QVector<QByteArray> frames;
        int skipped = 0;
        bool headerNotFound = false;
        int from = 0;
        QVector<int> ends = c.cuts;
        ends.append(c.bytes.size());
        for (const int to : ends) {
            const FrameReader::Result r = reader.feed(c.bytes.mid(from, to - from));
            frames += r.frames;
            skipped += r.skippedBytes;
            headerNotFound = headerNotFound || r.headerNotFound;
            from = to;
            if (to < c.bytes.size() && frames.isEmpty() && c.skipped == 0) {
                EXPECT_TRUE(reader.midFrame()) << "case " << i;
            }
        }
        EXPECT_TRUE(frames == c.frames) << "case " << i;
        EXPECT_EQ(skipped, c.skipped) << "case " << i;
        EXPECT_EQ(headerNotFound, c.headerNotFound) << "case " << i;
        EXPECT_EQ(reader.bufferedBytes(), c.buffered) << "case " << i;
        EXPECT_EQ(reader.midFrame(), c.buffered > 0) << "case " << i;
    }
}

TEST(irMessage, ParsedFields)
{
    // bytes, length, command, request number, argument
    struct Case {
        QByteArray bytes;
        int length;
        int command;
        int requestNumber;
        QString argument;
    };
    const std::vector<Case> cases = {
        {"@000015;206;000042;12;", 15, 206, 42, "12"},
        {"@000011;202x00abcdX", 11, 202, 0, ""}, // separators unchecked, non-numbers read 0
        {"@000005;20201", 0, 0, 0, ""},          // too short to parse
        {"@000017;201;000001;J\xc3\xbcrgen;", 17, 201, 1, QString::fromUtf8("J\xc3\xbcrgen")},
        {"@000012;201;000001;", 12, 201, 1, ""},
    };
    for (const Case &c : cases) {
        const irMessage m(c.bytes);
        EXPECT_EQ(m.length, c.length) << c.bytes.constData();
        EXPECT_EQ(m.command, c.command) << c.bytes.constData();
        EXPECT_EQ(m.requestNumber, c.requestNumber) << c.bytes.constData();
        EXPECT_EQ(m.argument(), c.argument) << c.bytes.constData();
        EXPECT_TRUE(m.raw.isEmpty());
    }
    EXPECT_EQ(irMessage(QByteArray("@000015;206;000042;12;")).numericArgument(), 12);
}

TEST(irMessage, RepliesAndRequestsArePaddedAndCountUtf8Bytes)
{
    const QByteArray track = "N\xc3\xbcrburgring \xe2\x80\x93 \xf0\x9f\x8f\x81";
    // command, request number, text, frame
    struct Case {
        int command;
        int requestNumber;
        QByteArray text;
        QByteArray raw;
    };
    const std::vector<Case> cases = {
        {202, 42, "pit-link", "@000020;202;000042;pit-link;"},
        {7, 0, "", "@000012;007;000000;;"},
        {202, 1234567, "a", "@000014;202;1234567;a;"},
        {1001, 2147483647, "", "@000017;1001;2147483647;;"},
        {208, 1, track, "@000033;208;000001;" + track + ";"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(irMessage(c.command, c.requestNumber, QString::fromUtf8(c.text)).raw, c.raw);
    EXPECT_EQ(requestFrame(207, 1), QByteArray("@000011;207;000001;"));
    EXPECT_EQ(requestFrame(206, 12, QStringLiteral("3;")), QByteArray("@000013;206;000012;3;"));
    EXPECT_EQ(zeroPadded(-5, 3), QByteArray("-05"));
}

TEST(irMessage, TooLongTextIsCutAtACharacterToFitOneFrame)
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
