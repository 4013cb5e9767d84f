#include "tools/sim/DocumentsFolder.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace sim {

namespace {

// No commas: an ini reader would take a comma-separated value for a list.
const char *const kChatTexts[kChatMacroCount] = {
    "Good luck everyone!",      "Sorry about that!",        "Thanks for the space",
    "Blue flag - let me by please", "Car stopped ahead",   "Pitting this lap",
    "Clean race - well done",   "Yellow flag - slow down", "My fault - I will give it back",
    "Nice move!",               "Last lap - stay clean",   "Lag - sorry",
    "Watch out - oil on track", "Safe pit exit please",    "Good game everyone - gg",
};

bool writeIfMissing(const fs::path &path, const std::string &text, DocumentsResult *result)
{
    std::error_code ec;
    if (fs::exists(path, ec))
        return true;
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        result->error = "cannot write " + path.string();
        return false;
    }
    result->written.push_back(path.string());
    return true;
}

} // namespace

std::string chatMacroText(int number)
{
    if (number < 1 || number > kChatMacroCount)
        return {};
    return kChatTexts[number - 1];
}

std::string appIniText()
{
    std::string text = "[Graphics]\n"
                       "fullScreen=0\n"
                       "\n"
                       "[Autochat Messages]\n";
    for (int i = 1; i <= kChatMacroCount; ++i)
        text += "AutoChatStr" + std::to_string(i) + "=" + chatMacroText(i) + "\n";
    text += "\n[Misc]\nunits=1\n";
    return text;
}

std::string controlsText()
{
    return "; controls written by pitlink-sim\n"
           "steering=axis0\n"
           "throttle=axis1\n"
           "brake=axis2\n"
           "pit_speed_limiter=key:A\n"
           "black_box_next=key:F2\n"
           "chat=key:T\n";
}

DocumentsResult prepareDocumentsFolder(const std::string &folder)
{
    DocumentsResult result;
    if (folder.empty()) {
        result.error = "no documents folder given";
        return result;
    }
    const fs::path dir(folder);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir, ec)) {
        result.error = "cannot create the folder " + folder;
        return result;
    }
    result.ok = writeIfMissing(dir / kAppIniName, appIniText(), &result) &&
                writeIfMissing(dir / kControlsName, controlsText(), &result);
    return result;
}

} // namespace sim
