#pragma once
// Answers session-info path queries for one text without rescanning it: the
// text is split into lines once, a path is matched over those lines with the
// same rules as SessionInfoQuery, and each answer is remembered (a poll asks
// the same paths every second). A new path goes on from where an earlier one
// with the same leading components left off. The index is keyed on the text
// itself (length and a 64-bit hash) and starts over when the text changes.

#include <cstddef>
#include <cstdint>
#include <vector>
#include <string>
#include <unordered_map>

#include "simlink/SessionInfoLines.h"

class SessionInfoIndex {
public:
    // Makes the index answer for `text` (up to its NUL or `limit` bytes);
    // rebuilds only when the text differs from the one indexed.
    void use(const char *text, std::size_t limit);
    // Same contract as SessionInfoQuery on the text given to use().
    bool query(const char *path, const char **valueStart, int *valueLength);

    const char *text() const { return text_; }
    std::size_t limit() const { return limit_; }
    std::size_t textLength() const { return length_; }
    std::uint64_t textHash() const { return hash_; }

    static std::uint64_t hashBytes(const char *bytes, std::size_t length);

private:
    struct Answer {
        bool found;
        int offset;
        int length;
    };
    // The state of a match that has just passed a path prefix of whole
    // components: the line to go on from and the depth matched.
    struct Prefix {
        std::size_t nextLine;
        int matchedDepth;
    };
    bool matchLines(const char *path, const char **start, int *length);

    const char *text_ = nullptr;
    std::size_t limit_ = 0;
    std::size_t length_ = 0;
    bool terminated_ = false;
    std::uint64_t hash_ = 0;
    std::vector<sessioninfo::Line> lines_;
    std::unordered_map<std::string, Answer> answers_;
    std::unordered_map<std::string, Prefix> prefixes_;
    std::string key_; // scratch key for prefix lookups
};
