// Input: text, a NUL byte, then a path. The text is not terminated: the
// query must stop at the limit. Its answers must equal the index's, also
// when the index resumes from prefixes that earlier paths matched.

#include "simlink/SessionInfoIndex.h"
#include "simlink/SessionInfoQuery.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::uint8_t *split = static_cast<const std::uint8_t *>(std::memchr(data, 0, size));
    const std::size_t textLength = split ? static_cast<std::size_t>(split - data) : size;
    // Exact-size heap copy so ASan sees any read past the limit.
    std::vector<char> text(data, data + textLength);
    const std::string path = split ? std::string(reinterpret_cast<const char *>(split + 1), size - textLength - 1)
                                   : std::string("DriverInfo:Drivers:CarIdx:{1}UserName:");
    const char *pathC = path.c_str(); // stops at an inner NUL, as a caller's path would

    // Asked on one index: a longer path first, so the index has prefixes of
    // the input path to resume from, then the path's own leading parts, then
    // the path itself (twice: the second answer is remembered).
    std::vector<std::string> asked{path.c_str() + std::string("Lap:")};
    for (std::size_t i = 0; pathC[i]; ++i) {
        if (pathC[i] == ':' || pathC[i] == '}')
            asked.push_back(std::string(pathC, i + 1));
    }
    asked.push_back(pathC);
    asked.push_back(pathC);

    SessionInfoIndex index;
    index.use(text.data(), text.size());
    const char *plainStart = nullptr;
    int plainLength = 0;
    bool plain = false;
    for (const std::string &p : asked) {
        plain = SessionInfoQuery(text.data(), text.size(), p.c_str(), &plainStart, &plainLength);
        const char *indexStart = nullptr;
        int indexLength = 0;
        const bool indexed = index.query(p.c_str(), &indexStart, &indexLength);
        // The index answers from its own copy of the text.
        const long plainAt = plainStart ? plainStart - text.data() : -1;
        const long indexAt = indexStart ? indexStart - index.text() : -1;
        if (plain != indexed || plainAt != indexAt || plainLength != indexLength)
            std::abort();
    }
    if (plain) {
        char buffer[16];
        const int r = copySessionValue(plainStart, plainLength, buffer, sizeof buffer);
        if (r != 1 && r != -plainLength)
            std::abort();
    }
    return 0;
}
