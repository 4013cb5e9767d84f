#include "app/VersionText.h"

#include "platform/Platform.h"

QString versionLabelText(platform::Os &os)
{
    platform::VersionNumbers version;
    if (!os.programVersion(&version))
        return QStringLiteral("v");
    QString numbers = QString::asprintf("%u,%u,%u,%u", version.part[0], version.part[1],
                                        version.part[2], version.part[3]);
    return QStringLiteral("v") + numbers.replace(QLatin1Char(','), QLatin1Char('.'));
}
