#pragma once
// The simulator's documents folder with the files the program reads: "app.ini"
// with the chat macros and "controls.cfg".

#include <string>
#include <vector>

namespace sim {

constexpr const char *kAppIniName = "app.ini";
constexpr const char *kControlsName = "controls.cfg";
constexpr int kChatMacroCount = 15;

// The sample chat text of macro `number` (1..15).
std::string chatMacroText(int number);
std::string appIniText();
std::string controlsText();

struct DocumentsResult {
    bool ok = false;
    std::string error;
    std::vector<std::string> written; // paths of the files created
};

// Creates `folder` (and its parents) when missing and writes each file that
// does not exist yet; existing files are left as they are.
DocumentsResult prepareDocumentsFolder(const std::string &folder);

} // namespace sim
