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
    lines_.clear();
    if (text)
        sessioninfo::forEachLine(text, limit, [this](const sessioninfo::Line &line) {
            lines_.push_back(line);
            return true;
        });
}

namespace {

bool matchLines(const std::vector<sessioninfo::Line> &lines, const char *path, const char **start, int *length)
{
    using namespace sessioninfo;
    if (!bracesClosed(path))
        return false;
    Match match{path};
    for (const Line &line : lines) {
        switch (match.evaluate(line)) {
        case Eval::Found:
            *start = line.value;
            *length = line.valueLength;
            return true;
        case Eval::NotFound:
            return false;
        case Eval::Continue:
            break;
        }
    }
    return false;
}

} // namespace

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
        const bool found = matchLines(lines_, path, &start, &length);
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
