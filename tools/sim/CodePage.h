#pragma once
// 8-bit code pages the substitute writes driver names in.

#include <string>

namespace sim {

enum class CodePage { Windows1252, Utf8 };

// Re-encodes UTF-8 text; characters that Windows-1252 lacks become "?".
std::string encodeText(const std::string &utf8, CodePage codePage);

// Parses "windows-1252" or "utf-8" (case-insensitive); false otherwise.
bool parseCodePage(const std::string &name, CodePage *codePage);

} // namespace sim
