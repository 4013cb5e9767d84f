// The frame reader and the message record: pure code, no sockets.

#include "server/FrameFormat.h"
#include "server/FrameReader.h"
#include "server/irMessage.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

const QByteArray kRequest202("@000011;202;000001;");
const QByteArray kRequest203("@000011;203;000002;");

TEST(FrameReader, FramesGarbageAndWhatStaysBuffered)
{
    const QByteArray big = "@999999;" + QByteArray(frame::kMaxPayload, 'x');
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
        FrameReader::Result all;
        int from = 0;
        for (const int to : c.cuts + QVector<int>{c.bytes.size()}) {
            const FrameReader::Result r = reader.feed(c.bytes.mid(from, to - from));
            all.frames += r.frames;
            all.skippedBytes += r.skippedBytes;
            all.headerNotFound = all.headerNotFound || r.headerNotFound;
            from = to;
            if (to < c.bytes.size() && all.frames.isEmpty() && c.skipped == 0) {
                EXPECT_TRUE(reader.midFrame()) << "case " << i;
            }
        }
        EXPECT_TRUE(all.frames == c.frames) << "case " << i;
        EXPECT_EQ(all.skippedBytes, c.skipped) << "case " << i;
        EXPECT_EQ(all.headerNotFound, c.headerNotFound) << "case " << i;
        EXPECT_EQ(reader.bufferedBytes(), c.buffered) << "case " << i;
        EXPECT_EQ(reader.midFrame(), c.buffered > 0) << "case " << i;
    }
}

TEST(irMessage, ParsedFields)
{
    // bytes, length, command, request number, argument
    const std::vector<std::tuple<QByteArray, int, int, int, QString>> cases = {
        {"@000015;206;000042;12;", 15, 206, 42, "12"},
        {"@000011;202x00abcdX", 11, 202, 0, ""}, // separators unchecked, non-numbers read 0
        {"@000005;20201", 0, 0, 0, ""},          // too short to parse
        {"@000017;201;000001;J\xc3\xbcrgen;", 17, 201, 1, QString::fromUtf8("J\xc3\xbcrgen")},
        {"@000012;201;000001;", 12, 201, 1, ""},
    };
    for (const auto &c : cases) {
        const irMessage m(std::get<0>(c));
        EXPECT_EQ(std::make_tuple(m.length, m.command, m.requestNumber),
                  std::make_tuple(std::get<1>(c), std::get<2>(c), std::get<3>(c)))
            << std::get<0>(c).constData();
        EXPECT_EQ(m.argument(), std::get<4>(c)) << std::get<0>(c).constData();
        EXPECT_TRUE(m.raw.isEmpty());
    }
    EXPECT_EQ(irMessage(QByteArray("@000015;206;000042;12;")).numericArgument(), 12);
}

TEST(irMessage, RepliesAndRequestsArePaddedAndCountUtf8BytesAndTooLongTextIsCutAtACharacter)
{
    const QByteArray track = "N\xc3\xbcrburgring \xe2\x80\x93 \xf0\x9f\x8f\x81";
    // With "a" first, the room left ends inside a euro sign.
    const QByteArray euros = "a" + QByteArray(frame::kMaxPayload / 3, 'x').replace("x", "\xe2\x82\xac");
    const QByteArray ys(frame::kMaxPayload, 'y');
    // command, request number, text, header and fields of the frame, text bytes sent
    const std::vector<std::tuple<int, int, QByteArray, QByteArray, int>> cases = {
        {202, 42, "pit-link", "@000020;202;000042;", 8},
        {7, 0, "", "@000012;007;000000;", 0},
        {202, 1234567, "a", "@000014;202;1234567;", 1},
        {1001, 2147483647, "", "@000017;1001;2147483647;", 0},
        {208, 1, track, "@000033;208;000001;", track.size()},
        {207, 1, ys.left(frame::kMaxPayload - 12), "@999999;207;000001;", frame::kMaxPayload - 12},
        {207, 1, ys, "@999999;207;000001;", frame::kMaxPayload - 12},
        {1001, 2147483647, ys, "@999999;1001;2147483647;", frame::kMaxPayload - 17},
        {205, 1, euros, "@999997;205;000001;", 1 + (frame::kMaxPayload - 13) / 3 * 3},
    };
    for (const auto &c : cases) {
        const QByteArray text = std::get<2>(c);
        const irMessage reply(std::get<0>(c), std::get<1>(c), QString::fromUtf8(text));
        EXPECT_EQ(reply.raw, std::get<3>(c) + text.left(std::get<4>(c)) + ";") << std::get<3>(c).constData();
        EXPECT_EQ(reply.text.toUtf8(), text.left(std::get<4>(c)));
        EXPECT_EQ(irMessage::fromUtf8(std::get<0>(c), std::get<1>(c), text).raw, reply.raw);
    }
    EXPECT_EQ(requestFrame(206, 12, QStringLiteral("3;")), QByteArray("@000013;206;000012;3;"));
    EXPECT_EQ(zeroPadded(-5, 3), QByteArray("-05"));
}

} // namespace
