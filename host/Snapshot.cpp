#include "Snapshot.h"

#include "Exceptions.h"
#include "Strings.h"
#include "internal/SafeFile.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QRegularExpression>
#include <QStringList>
#include <QWidget>

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace kritzel {

void SavePicture(const QImage& picture, const QString& path) {
    // Encoded first, so that the file's writer sees every error of the disk.
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    QImageWriter writer(&png, "png");
    if (!writer.write(picture))
        throw EKritzelwerk("cannot save the picture \"" + FromUnicode(path) +
                           "\": it could not be encoded: " + FromUnicode(writer.errorString()));
    SaveFileWhole(FromUnicode(path),
                  std::span(reinterpret_cast<const std::uint8_t*>(png.data().constData()),
                            std::size_t(png.data().size())),
                  "picture");
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
