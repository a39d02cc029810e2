#include "Kritzelwerk.h"

#include "Version.h"

#include <component/Turtle.h>
#include <host/Registry.h>
#include <host/Strings.h>

#include <QFile>
#include <QMetaType>
#include <QString>
#include <QStringDecoder>

#include <cctype>

namespace kritzel {

void Register() {
    // Form tools and host programs look the event and point types up by name.
    qRegisterMetaType<TVirtuell>("kritzel::TVirtuell");
    qRegisterMetaType<TStartPaint>("kritzel::TStartPaint");
    RegisterComponents(PalettePage, {ComponentClass<TTurtle>("TTurtle", "kritzelwerk/Turtle.h")});
}

TPackageVersion PackageVersion() {
    return TPackageVersion{{KRITZELWERK_FILE_VERSION_MAJOR, KRITZELWERK_FILE_VERSION_MINOR,
                            KRITZELWERK_FILE_VERSION_PATCH, KRITZELWERK_FILE_VERSION_TWEAK},
                           KRITZELWERK_PRODUCT_VERSION,
                           KRITZELWERK_LANGUAGE,
                           KRITZELWERK_CODE_PAGE,
                           KRITZELWERK_VERSION_BLOCK};
}

TString FileVersionText(const TPackageVersion& v) {
    TString s;
    for (std::size_t i = 0; i < v.FileVersion.size(); ++i) {
        if (i > 0) s += '.';
        s += std::to_string(v.FileVersion[i]);
    }
    return s;
}

TString PackageDescription() {
    QFile f(QStringLiteral(":/kritzelwerk/DESCRIPTION"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringDecoder fromUtf16(QStringConverter::Utf16LE);
    const QString text = fromUtf16(f.readAll());
    return FromUnicode(text);
}

QImage PaletteBitmap(const TString& className) {
    TString name;
    for (const char c : className)
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return QImage(QStringLiteral(":/kritzelwerk/%1").arg(ToUnicode(name)), "BMP");
}

QImage MainIcon() {
    return QImage(QStringLiteral(":/kritzelwerk/MAINICON"), "ICO");
}

} // namespace kritzel
