#pragma once
// The pieces the session-info query and its index share: splitting the text
// into lines (indentation depth, list dash, key, value) and matching one line
// against the rest of a path. Both use exactly these, so they answer alike.

#include <cstddef>
#include <cstring>

namespace sessioninfo {

struct Line {
    int depth;
    bool dash;          // the indentation holds a "-": a new list entry
    const char *key;
    int keyLength;      // includes the colon
    const char *value;  // null when the value is empty
    int valueLength;
    const char *end;    // the line end that closed the line
};

// Every "{" of a path must be closed; a path that breaks this finds nothing.
inline bool bracesClosed(const char *path)
{
    for (const char *p = path; *p; ++p) {
        if (*p == '{') {
            const char *close = std::strchr(p + 1, '}');
            if (!close)
                return false;
            p = close;
        }
    }
    return true;
}

enum class Eval { Continue, Found, NotFound };

struct Match {
    const char *rest;       // the path still to match
    int matchedDepth = 0;

    Eval evaluate(const Line &line)
    {
        if (line.depth < matchedDepth)
            return Eval::NotFound;
        // A new list entry at the matched level ends the entry we are in: its
        // keys belong to another car or position.
        if (line.dash && line.depth <= matchedDepth)
            return Eval::NotFound;
        // The first byte decides most lines; strncmp would give the same.
        if (line.keyLength == 0 || line.key[0] != rest[0]
            || std::strncmp(line.key, rest, static_cast<std::size_t>(line.keyLength)) != 0)
            return Eval::Continue;
        const char *after = rest + line.keyLength;
        if (*after == '{') {
            const char *selector = after + 1;
            const char *close = std::strchr(selector, '}');
            const int selectorLength = static_cast<int>(close - selector);
            if (line.valueLength != selectorLength
                || (selectorLength > 0
                    && std::memcmp(line.value, selector, static_cast<std::size_t>(selectorLength)) != 0))
                return Eval::Continue;
            rest = close + 1;
        } else {
            rest = after;
        }
        matchedDepth = line.depth;
        return *rest == '\0' ? Eval::Found : Eval::Continue;
    }
};

// Calls onLine(const Line &) for each line that ends (a line end follows it)
// before the first NUL or `limit`; stops early when onLine returns false.
template <typename OnLine> void forEachLine(const char *text, std::size_t limit, OnLine onLine)
{
    enum class State { Indent, Key, AfterColon, Value, LineDone };
    State state = State::Indent;
    Line line{0, false, nullptr, 0, nullptr, 0, nullptr};
    for (std::size_t i = 0; i < limit && text[i] != '\0'; ++i) {
        const char *c = text + i;
        const bool indenting = state == State::Indent || state == State::LineDone;
        switch (*c) {
        case '\n':
        case '\r':
            if (state == State::LineDone)
                break;
            if (line.valueLength == 0)
                line.value = nullptr;
            line.end = c;
            if (!onLine(static_cast<const Line &>(line)))
                return;
            line = Line{0, false, nullptr, 0, nullptr, 0, nullptr};
            state = State::LineDone;
            break;
        case ' ':
            if (indenting) {
                state = State::Indent;
                ++line.depth;
            } else if (state == State::Key) {
                ++line.keyLength;
            } else if (state == State::Value) {
                ++line.valueLength;
            }
            break;
        case '-':
            if (indenting) {
                state = State::Indent;
                ++line.depth;
                line.dash = true;
                break;
            }
            [[fallthrough]];
        default:
            if (*c == ':' && indenting)
                break;
            if (indenting) {
                state = State::Key;
                line.key = c;
                line.keyLength = 1;
            } else if (state == State::Key) {
                ++line.keyLength;
                if (*c == ':')
                    state = State::AfterColon;
            } else if (state == State::AfterColon) {
                state = State::Value;
                line.value = c;
                line.valueLength = 1;
            } else {
                ++line.valueLength;
            }
            break;
        }
    }
}

} // namespace sessioninfo
