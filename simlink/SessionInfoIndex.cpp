#include "simlink/SessionInfoIndex.h"

#include <cstring>

namespace {
constexpr std::uint64_t kHashSeed = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kHashMultiplier = 0xFF51AFD7ED558CCDull;
constexpr int kHashShift = 29;
} // namespace

std::uint64_t SessionInfoIndex::hashBytes(const char *bytes, std::size_t length)
{
    std::uint64_t h = kHashSeed ^ length;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        h = (h ^ word) * kHashMultiplier;
        h ^= h >> kHashShift;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, bytes + i, length - i);
    h = (h ^ tail) * kHashMultiplier;
    return h ^ (h >> kHashShift);
}

void SessionInfoIndex::use(const char *text, std::size_t limit)
{
    const void *nul = text ? std::memchr(text, '\0', limit) : nullptr;
    const std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - text) : (text ? limit : 0);
    const std::uint64_t hash = text ? hashBytes(text, length) : 0;
    const bool terminated = nul != nullptr;
    if (text == text_ && length == length_ && hash == hash_ && terminated == terminated_ && limit == limit_)
        return;
    text_ = text;
    limit_ = limit;
    length_ = length;
    hash_ = hash;
    terminated_ = terminated;
    answers_.clear();
    prefixes_.clear();
    lines_.clear();
    if (text)
        sessioninfo::forEachLine(text, limit, [this](const sessioninfo::Line &line) {
            lines_.push_back(line);
            return true;
        });
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

bool SessionInfoIndex::matchLines(const char *path, const char **start, int *length)
{
    using namespace sessioninfo;
    if (!bracesClosed(path))
        return false;
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
    for (; line < lines_.size(); ++line) {
        const char *before = match.rest;
        switch (match.evaluate(lines_[line])) {
        case Eval::Found:
            *start = lines_[line].value;
            *length = lines_[line].valueLength;
            return true;
        case Eval::NotFound:
            return false;
        case Eval::Continue:
            if (match.rest != before) {
                key_.assign(path, static_cast<std::size_t>(match.rest - path));
                if (prefixes_.find(key_) == prefixes_.end())
                    prefixes_.emplace(key_, Prefix{line + 1, match.matchedDepth});
            }
            break;
        }
    }
    return false;
}

bool SessionInfoIndex::query(const char *path, const char **valueStart, int *valueLength)
{
    if (!valueStart || !valueLength)
        return false;
    *valueStart = nullptr;
    *valueLength = 0;
    if (!text_ || !path)
        return false;
    std::string key(path);
    auto it = answers_.find(key);
    if (it == answers_.end()) {
        const char *start = nullptr;
        int length = 0;
        const bool found = matchLines(path, &start, &length);
        Answer a{found, start ? static_cast<int>(start - text_) : -1, length};
        it = answers_.emplace(std::move(key), a).first;
    }
    if (!it->second.found)
        return false;
    // An empty value has no start, as in the plain query.
    *valueStart = it->second.offset < 0 ? nullptr : text_ + it->second.offset;
    *valueLength = it->second.length;
    return true;
}
