#include "simlink/SessionInfoIndex.h"

#include <cstring>

void SessionInfoIndex::use(const char *text, std::size_t limit)
{
    if (text == live_ && limit == limit_)
        return;
    live_ = text;
    limit_ = limit;
    build();
}

void SessionInfoIndex::build()
{
    ++builds_;
    answers_.clear();
    prefixes_.clear();
    lines_.clear();
    const void *nul = live_ ? std::memchr(live_, '\0', limit_) : nullptr;
    const std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - live_) : (live_ ? limit_ : 0);
    terminated_ = nul != nullptr;
    // The live text may change during this copy; the copy is then compared
    // unequal at the next answer and taken again.
    copy_.assign(live_ ? live_ : "", length);
    sessioninfo::forEachLine(copy_.c_str(), copy_.size(), [this](const sessioninfo::Line &line) {
        lines_.push_back(line);
        return true;
    });
}

bool SessionInfoIndex::unchanged(std::size_t bytes) const
{
    // The copy's own terminator stands for the live text's NUL.
    return bytes == 0 || std::memcmp(live_, copy_.c_str(), bytes) == 0;
}

namespace {

// Where a match can stand in `path` after each of its components: after the
// key's colon, or after the selector's brace when one follows the colon.
std::vector<std::size_t> componentEnds(const char *path)
{
    std::vector<std::size_t> ends;
    const char *p = path;
    while (const char *colon = std::strchr(p, ':')) {
        const char *after = colon + 1;
        if (*after == '{') {
            const char *close = std::strchr(after + 1, '}');
            if (!close)
                break;
            after = close + 1;
        }
        ends.push_back(static_cast<std::size_t>(after - path));
        p = after;
    }
    return ends;
}

} // namespace

SessionInfoIndex::Answer SessionInfoIndex::matchLines(const char *path)
{
    using namespace sessioninfo;
    // A path that finds nothing anywhere depends on the whole text and, when
    // the text ended at a NUL, on that NUL too.
    const std::size_t wholeText = copy_.size() + (terminated_ ? 1 : 0);
    if (!bracesClosed(path))
        return Answer{false, -1, 0, 0};
    // A match only ever reads the path up to the end of the component it is
    // looking for, so every path sharing a prefix of whole components passes
    // the same lines in the same states up to there: resume from the longest
    // such prefix an earlier query reached, instead of from the first line.
    Match match{path};
    std::size_t line = 0;
    const std::vector<std::size_t> ends = componentEnds(path);
    const std::size_t pathLength = std::strlen(path);
    for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
        if (*end == pathLength)
            continue; // the whole path: its own scan finds the value's line
        key_.assign(path, *end); // reuses its storage: no allocation per lookup
        const auto known = prefixes_.find(key_);
        if (known != prefixes_.end()) {
            match.rest = path + *end;
            match.matchedDepth = known->second.matchedDepth;
            line = known->second.nextLine;
            break;
        }
    }
    const char *base = copy_.c_str();
    for (; line < lines_.size(); ++line) {
        const Line &l = lines_[line];
        const char *before = match.rest;
        const std::size_t decidedBy = static_cast<std::size_t>(l.end - base) + 1;
        switch (match.evaluate(l)) {
        case Eval::Found:
            return Answer{true, l.value ? static_cast<int>(l.value - base) : -1, l.valueLength, decidedBy};
        case Eval::NotFound:
            return Answer{false, -1, 0, decidedBy};
        case Eval::Continue:
            if (match.rest != before) {
                key_.assign(path, static_cast<std::size_t>(match.rest - path));
                if (prefixes_.find(key_) == prefixes_.end())
                    prefixes_.emplace(key_, Prefix{line + 1, match.matchedDepth});
            }
            break;
        }
    }
    return Answer{false, -1, 0, wholeText};
}

const SessionInfoIndex::Answer &SessionInfoIndex::answer(const char *path)
{
    key_.assign(path);
    auto it = answers_.find(key_);
    if (it == answers_.end()) {
        const Answer a = matchLines(path);
        it = answers_.emplace(std::string(path), a).first;
    }
    return it->second;
}

bool SessionInfoIndex::query(const char *path, const char **valueStart, int *valueLength)
{
    if (!valueStart || !valueLength)
        return false;
    *valueStart = nullptr;
    *valueLength = 0;
    if (!live_ || !path)
        return false;
    const Answer *a = &answer(path);
    if (!unchanged(a->dependsOn)) {
        // Rewritten since the copy was taken: answer from a new copy. Should
        // it change again meanwhile, this answer still comes from one whole
        // copy, and the next query notices.
        build();
        a = &answer(path);
    }
    if (!a->found)
        return false;
    // An empty value has no start, as in the plain query.
    *valueStart = a->offset < 0 ? nullptr : copy_.c_str() + a->offset;
    *valueLength = a->length;
    return true;
}
