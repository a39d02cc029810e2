#include "Snapshot.h"

#include "Exceptions.h"
#include "Strings.h"
#include "internal/PaintQueue.h"
#include "internal/SafeFile.h"
#include "internal/Services.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <vector>

namespace kritzel {

namespace {

// Writes bytes to path whole or not at all; what names the file in an error.
void SaveBytes(const QByteArray& bytes, const QString& path, const char* what) {
    SaveFileWhole(FromUnicode(path),
                  std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                            std::size_t(bytes.size())),
                  what);
}

} // namespace

void SavePicture(const QImage& picture, const QString& path) {
    // Encoded first, so that the file's writer sees every error of the disk.
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    QImageWriter writer(&png, "png");
    if (!writer.write(picture))
        throw EKritzelwerk("cannot save the picture \"" + FromUnicode(path) +
                           "\": it could not be encoded: " + FromUnicode(writer.errorString()));
    SaveBytes(png.data(), path, "picture");
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

QString DrawingFolder() {
    return qEnvironmentVariable("KRITZEL_DRAWINGS");
}

namespace {

// A shown control of a shown window, as it was before any drawing ran.
struct ShownControl {
    QPointer<QWidget> widget;
    PaintClient* client;
    QString window;
    int windowNumber;
};

// Every shown control on the queue, window by window, and on each window in the order of
// its widgets. The windows come in the order their first control was made: Qt lists its
// windows in the order of a set, which may change from one run to the next.
std::vector<ShownControl> ShownControls() {
    std::vector<ShownControl> shown;
    const PaintQueue* queue = Services::Current().paints;
    if (!queue) return shown;
    const std::vector<PaintClient*>& clients = queue->Clients();
    std::vector<QWidget*> windows;
    for (PaintClient* c : clients) {
        QWidget* w = c->Widget();
        // Visible only where its window is shown too.
        if (w->isVisible() && std::ranges::find(windows, w->window()) == windows.end())
            windows.push_back(w->window());
    }
    for (std::size_t n = 0; n < windows.size(); ++n) {
        QList<QWidget*> widgets = windows[n]->findChildren<QWidget*>();
        widgets.prepend(windows[n]);
        for (QWidget* w : widgets) {
            if (!w->isVisible()) continue;
            const auto c = std::ranges::find_if(
                clients, [w](PaintClient* client) { return client->Widget() == w; });
            if (c != clients.end()) shown.push_back({w, *c, windows[n]->windowTitle(), int(n)});
        }
    }
    return shown;
}

void ReportUnwritten(const QString& path, const std::exception& e) {
    const QString why = QString::fromUtf8(e.what());
    if (why.contains(path))
        std::fprintf(stderr, "Kritzel-Werk: %s\n", qPrintable(why));
    else
        std::fprintf(stderr, "Kritzel-Werk: cannot save the drawing \"%s\": %s\n", qPrintable(path),
                     qPrintable(why));
}

} // namespace

int SaveShownDrawings(const QString& folder) {
    QDir().mkpath(folder);
    int status = 0, number = 0, lastWindow = -1, onWindow = 0;
    QJsonArray drawings;
    // Saving a drawing runs the program's drawing once more, which may make or close
    // controls and windows: the list is taken first, and a control that has gone
    // meanwhile is passed over.
    for (const ShownControl& c : ShownControls()) {
        if (c.windowNumber != lastWindow) {
            lastWindow = c.windowNumber;
            onWindow = 0;
        }
        const QString file = QStringLiteral("%1").arg(number + 1, 2, 10, QLatin1Char('0'));
        std::optional<DrawingShape> shape;
        bool drawing = false;
        for (const char* ending : {".emf", ".png"}) {
            const QString path = QDir(folder).filePath(file + QLatin1String(ending));
            if (!c.widget) break;
            try {
                const std::optional<DrawingShape> saved = c.client->SaveDrawing(FromUnicode(path));
                if (!saved) break;
                shape = saved;
                drawing = true;
            } catch (const std::exception& e) {
                ReportUnwritten(path, e);
                drawing = true;
                status = 1;
            }
        }
        if (!drawing) continue;
        ++number;
        const int control = onWindow++;
        // Neither file was written: there is nothing to list.
        if (!shape) continue;
        drawings.append(QJsonObject{{QStringLiteral("file"), file},
                                    {QStringLiteral("window"), c.window},
                                    {QStringLiteral("control"), control},
                                    {QStringLiteral("width_px"), shape->width},
                                    {QStringLiteral("height_px"), shape->height},
                                    {QStringLiteral("pixels_per_cm"), shape->pixelsPerCm}});
    }
    const QString list = QDir(folder).filePath(QStringLiteral("drawings.json"));
    try {
        SaveBytes(QJsonDocument(QJsonObject{{QStringLiteral("drawings"), drawings}}).toJson(), list,
                  "list of drawings");
        std::printf("No display: the drawings of the windows are in %s\n", qPrintable(list));
    } catch (const std::exception& e) {
        ReportUnwritten(list, e);
        status = 1;
    }
    std::fflush(stdout);
    return status;
}

int KeepShownWindows() {
    int status = SaveShownWindows(PictureFolder());
    const QString drawings = DrawingFolder();
    if (!drawings.isEmpty()) status = std::max(status, SaveShownDrawings(drawings));
    return status;
}

} // namespace kritzel
