#include "Output.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

using namespace kritzel;

namespace demo {

const QString MetafileFilters = QStringLiteral("Enhanced Metafile (*.emf);;Metafile (*.wmf)");

QString MetafileName(const QString& chosen, const QString& filter) {
    if (chosen.isEmpty() || !QFileInfo(chosen).suffix().isEmpty()) return chosen;
    return chosen + (filter.contains(QStringLiteral("*.wmf")) ? QStringLiteral(".wmf")
                                                              : QStringLiteral(".emf"));
}

namespace {

// Where the turtle writes: it adds ".wmf" to the stem. Any other name is written
// beside it first and then renamed over the chosen one.
QString Stem(const QString& file) {
    if (file.endsWith(QStringLiteral(".wmf"))) return file.chopped(4);
    return file + QStringLiteral(".kritzelwerk-neu");
}

QString Done(TTurtleDevice device, const QString& file) {
    switch (device) {
    case tdWMF:
        return QStringLiteral("Gespeichert als %1").arg(QDir::toNativeSeparators(file));
    case tdClipb:
        return QStringLiteral("In die Zwischenablage kopiert");
    default: {
        const QString pdf = ToUnicode(Printer().FileName());
        if (!pdf.isEmpty())
            return QStringLiteral("Gedruckt in die Datei %1").arg(QDir::toNativeSeparators(pdf));
        const QString queue = ToUnicode(Printer().PrinterName());
        return queue.isEmpty() ? QStringLiteral("Gedruckt auf dem Standarddrucker")
                               : QStringLiteral("Gedruckt auf %1").arg(queue);
    }
    }
}

QString Failed(TTurtleDevice device, const char* why) {
    const QString what = device == tdWMF     ? QStringLiteral("Nicht gespeichert")
                         : device == tdClipb ? QStringLiteral("Nicht kopiert")
                                             : QStringLiteral("Nicht gedruckt");
    return what + QStringLiteral(": ") + QString::fromUtf8(why);
}

} // namespace

QString Output(TTurtle& t, TTurtleDevice device, const std::function<void()>& draw,
               const QString& file) {
    const std::uint16_t keptDelay = t.Delay();
    const QString stem = Stem(file);
    QString result;
    try {
        t.SetDelay(0);
        if (device == tdWMF) t.SetFilename(FromUnicode(stem));
        t.SetAusgabe(device);
        draw();
        t.SetAusgabe(tdScreen);
        if (device == tdWMF && stem + QStringLiteral(".wmf") != file) {
            const std::string written = FromUnicode(stem + QStringLiteral(".wmf"));
            std::error_code error;
            std::filesystem::rename(written, FromUnicode(file), error);
            if (error) {
                std::error_code ignored;
                std::filesystem::remove(written, ignored);
                throw EKritzelwerk("cannot write the metafile " + FromUnicode(file) + ": " +
                                   error.message());
            }
        }
        result = Done(device, file);
    } catch (const EAbort&) {
        // The window is closing: nothing to report.
    } catch (const std::exception& e) {
        t.SetAusgabe(tdScreen);
        result = Failed(device, e.what());
    }
    t.SetDelay(keptDelay);
    t.Invalidate();
    return result;
}

} // namespace demo
