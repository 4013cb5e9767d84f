#pragma once
// The version field's text: "v" and the program's four version numbers, or
// "v" alone when the program has no version data.

#include <QString>

namespace platform {
class Os;
}

QString versionLabelText(platform::Os &os);
