#include "Output.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

using namespace kritzel;

namespace demo {

QString SaveFilters() {
    QStringList filters;
    for (const TPictureFormat& format : PictureFormats()) {
        QStringList patterns;
        for (const TString& ending : format.Endings)
            patterns << QStringLiteral("*.") + ToUnicode(ending);
        filters << ToUnicode(format.Name) + QStringLiteral(" (") + patterns.join(' ') + ')';
    }
    return filters.join(QStringLiteral(";;"));
}

QString SaveName(const QString& chosen, const QString& filter) {
    // The type's first pattern, "*.png", holds its usual ending.
    const qsizetype star = filter.indexOf(QStringLiteral("*."));
    if (chosen.isEmpty() || !QFileInfo(chosen).suffix().isEmpty() || star < 0) return chosen;
    qsizetype end = star + 2;
    while (end < filter.size() && filter[end].isLetterOrNumber())
        ++end;
    return chosen + filter.mid(star + 1, end - star - 1);
}

QString Save(TTurtle& t, const QString& file) {
    try {
        t.SaveToFile(FromUnicode(file));
        return QStringLiteral("Gespeichert als %1").arg(QDir::toNativeSeparators(file));
    } catch (const EAbort&) {
        // The window is closing: nothing to report.
    } catch (const std::exception& e) {
        return QStringLiteral("Nicht gespeichert: ") + QString::fromUtf8(e.what());
    }
    return {};
}

namespace {

QString Done(TTurtleDevice device) {
    switch (device) {
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
    const QString what =
        device == tdClipb ? QStringLiteral("Nicht kopiert") : QStringLiteral("Nicht gedruckt");
    return what + QStringLiteral(": ") + QString::fromUtf8(why);
}

} // namespace

QString Output(TTurtle& t, TTurtleDevice device, const std::function<void()>& draw) {
    const std::uint16_t keptDelay = t.Delay();
    QString result;
    try {
        t.SetDelay(0);
        t.SetAusgabe(device);
        draw();
        t.SetAusgabe(tdScreen);
        result = Done(device);
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
