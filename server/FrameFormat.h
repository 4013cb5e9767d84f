#pragma once
// The message frame of the client protocol, in both directions:
//   "@" + payload length (6 decimal digits) + ";" + payload
// and the payload:
//   command (3 digits) + ";" + request number (6 digits) + ";" + text
// Numbers are padded on the left with "0" and never cut.

namespace frame {

constexpr char kMark = '@';
constexpr char kSeparator = ';';

constexpr int kLengthOffset = 1;
constexpr int kLengthDigits = 6;
constexpr int kLengthSeparatorOffset = kLengthOffset + kLengthDigits; // 7
constexpr int kHeaderSize = kLengthSeparatorOffset + 1;               // 8

constexpr int kCommandOffset = kHeaderSize; // 8
constexpr int kCommandDigits = 3;
constexpr int kRequestNumberOffset = kCommandOffset + kCommandDigits + 1; // 12
constexpr int kRequestNumberDigits = 6;
// A received frame shorter than this is not parsed (command 0).
constexpr int kTextOffset = kRequestNumberOffset + kRequestNumberDigits + 1; // 19

// The largest payload a six-digit length field can announce.
constexpr int kMaxPayload = 999999;
constexpr int kMaxFrame = kHeaderSize + kMaxPayload;

// A fixed-width number field of a frame: digits are read here, anything else
// the way the framework reads a number from bytes (no number reads 0).
int numberField(const char *field, int digits);

} // namespace frame
