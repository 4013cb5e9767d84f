#pragma once
// The substitute's command-line options.

#include "tools/sim/CodePage.h"
#include "tools/sim/SessionTextGenerator.h"

#include <string>
#include <vector>

namespace sim {

// Exit status for a command line that cannot be used.
constexpr int kExitUsage = 2;

struct SimOptions {
    int drivers = kDefaultDrivers;
    std::string sessionFile;          // empty: publish the generated text
    CodePage codePage = CodePage::Utf8;
    std::string documents;            // empty: no documents folder
    bool tornWrites = false;
    double disconnectAfterSeconds = -1.0; // below 0: never
};

enum class OptionsResult { Run, Help, Error };

// `args` without the program name. On Error, *error says what is wrong.
OptionsResult parseSimOptions(const std::vector<std::string> &args, SimOptions *options, std::string *error);

std::string usageText(const std::string &program);

} // namespace sim
