#include "Snapshot.h"

#include "Exceptions.h"
#include "Strings.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>
#include <QWidget>

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace kritzel {

void SavePicture(const QImage& picture, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG") || !file.commit())
        throw EKritzelwerk("cannot write " + FromUnicode(path) + ": " +
                           FromUnicode(file.errorString()));
}

QString PictureFolder() {
    QString folder = qEnvironmentVariable("KRITZEL_OUTPUT_DIR");
    if (folder.isEmpty()) folder = QDir::currentPath();
    return folder;
}

int SaveShownWindows(const QString& folder) {
    QDir().mkpath(folder);
    int status = 0, written = 0;
    QStringList used;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible()) continue;
        QString name = w->windowTitle().isEmpty() ? QStringLiteral("window") : w->windowTitle();
        name.replace(QRegularExpression(QStringLiteral("[^\\w.-]+")), QStringLiteral("_"));
        // Windows of the same caption each keep their own file.
        const QString stem = name;
        for (int n = 2; used.contains(name); ++n)
            name = stem + QStringLiteral("-%1").arg(n);
        used << name;
        const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
        try {
            SavePicture(w->grab().toImage(), path);
            std::printf("No display: the window \"%s\" is in %s\n", qPrintable(w->windowTitle()),
                        qPrintable(path));
            ++written;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Kritzel-Werk: %s\n", e.what());
            status = 1;
        }
    }
    if (written == 0 && status == 0)
        std::printf("No display, and no window was shown: nothing to keep.\n");
    std::fflush(stdout);
    return status;
}

} // namespace kritzel
