#pragma once
// Answers session-info path queries for one text without rescanning it: the
// text is copied and split into lines once, a path is matched over those
// lines with the same rules as SessionInfoQuery, and each answer is
// remembered (a poll asks the same paths every second). A new path goes on
// from where an earlier one with the same leading components left off.
//
// The text lies in another process's memory and may be rewritten in place at
// any moment. Answers come from the index's own copy, and before each answer
// the bytes it depends on (the text up to the end of the line that decided
// it) are compared with the live text; on a difference the index starts over
// from the live text.

#include <cstddef>
#include <cstdint>
#include <vector>
#include <string>
#include <unordered_map>

#include "simlink/SessionInfoLines.h"

class SessionInfoIndex {
public:
    // Makes the index answer for `text` (up to its NUL or `limit` bytes,
    // which must stay readable while the index is used with it).
    void use(const char *text, std::size_t limit);
    // Same contract as SessionInfoQuery on the text given to use(), except
    // that *valueStart points into the index's copy (valid until the next
    // call).
    bool query(const char *path, const char **valueStart, int *valueLength);

    // The copy that answers point into, and its length.
    const char *text() const { return copy_.c_str(); }
    std::size_t textLength() const { return copy_.size(); }
    // Times the index was built from the live text.
    int builds() const { return builds_; }

private:
    struct Answer {
        bool found;
        int offset;
        int length;
        std::size_t dependsOn; // leading bytes of the text that decided it
    };
    // The state of a match that has just passed a path prefix of whole
    // components: the line to go on from and the depth matched.
    struct Prefix {
        std::size_t nextLine;
        int matchedDepth;
    };
    void build();
    bool unchanged(std::size_t bytes) const;
    const Answer &answer(const char *path);
    Answer matchLines(const char *path);

    const char *live_ = nullptr;
    std::size_t limit_ = 0;
    std::string copy_;
    bool terminated_ = false; // a NUL ended the text within the limit
    int builds_ = 0;
    std::vector<sessioninfo::Line> lines_;
    std::unordered_map<std::string, Answer> answers_;
    std::unordered_map<std::string, Prefix> prefixes_;
    std::string key_; // scratch key for lookups
};
