// Qt's runtime folder on Unix: named after the user, below the temporary folder.
#include "RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <unistd.h>

namespace kritzel {

void NameRuntimeFolder() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
    const QString dir = QDir::tempPath() + QStringLiteral("/runtime-%1").arg(getuid());
    if (QDir().mkpath(dir) &&
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
}

} // namespace kritzel
