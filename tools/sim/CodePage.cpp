#include "tools/sim/CodePage.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace sim {

namespace {

// Windows-1252 bytes 0x80..0x9F; 0 where the code page has no character.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

// Decodes one UTF-8 sequence at text[*pos]; malformed bytes give U+FFFD.
char32_t decodeUtf8(const std::string &text, std::size_t *pos)
{
    const auto lead = static_cast<unsigned char>(text[(*pos)++]);
    int extra = 0;
    char32_t cp = 0;
    if (lead < 0x80)
        return lead;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return 0xFFFD;
    }
    for (int i = 0; i < extra; ++i) {
        if (*pos >= text.size() || (static_cast<unsigned char>(text[*pos]) & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(text[(*pos)++]) & 0x3F);
    }
    return cp;
}

char toWindows1252(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(static_cast<unsigned char>(cp));
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

std::string encodeText(const std::string &utf8, CodePage codePage)
{
    if (codePage == CodePage::Utf8)
        return utf8;
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();)
        out += toWindows1252(decodeUtf8(utf8, &pos));
    return out;
}

bool parseCodePage(const std::string &name, CodePage *codePage)
{
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "windows-1252" || lower == "cp1252") {
        *codePage = CodePage::Windows1252;
        return true;
    }
    if (lower == "utf-8" || lower == "utf8") {
        *codePage = CodePage::Utf8;
        return true;
    }
    return false;
}

} // namespace sim
