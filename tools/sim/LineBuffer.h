#pragma once
// Splits input that arrives in arbitrary pieces into lines.

#include <string>
#include <utility>
#include <vector>

namespace sim {

class LineBuffer {
public:
    // Appends bytes and returns every line completed by them, without the
    // line end ("\n" or "\r\n").
    std::vector<std::string> append(const char *data, std::size_t size)
    {
        pending_.append(data, size);
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1) {
            std::size_t stop = end;
            if (stop > start && pending_[stop - 1] == '\r')
                --stop;
            lines.push_back(pending_.substr(start, stop - start));
        }
        pending_.erase(0, start);
        return lines;
    }
    // What is left when the input ends: a last line without its line end.
    std::string takeRest() { return std::exchange(pending_, std::string()); }

private:
    std::string pending_;
};

} // namespace sim
