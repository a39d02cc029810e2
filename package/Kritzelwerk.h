// The package unit Kritzelwerk: registers the turtle control with the component
// registry and describes the package (palette image, icon, description, version).
#pragma once

#include <host/Types.h>

#include <QImage>

#include <array>
#include <cstdint>

namespace kritzel {

// The palette page the package's controls appear on.
inline constexpr const char* PalettePage = "Kritzel-Werk";

// Registers TTurtle on the page "Kritzel-Werk". A form designer calls it when it loads
// the package; the component never does.
void Register();

// The package's version record.
struct TPackageVersion {
    std::array<std::uint16_t, 4> FileVersion;
    TString ProductVersion;
    std::uint16_t Language; // German (Germany)
    std::uint16_t CodePage; // Western European
    // The string block of the record: language and code page in hexadecimal.
    TString Block;
};
TPackageVersion PackageVersion();
// "10.1.1.6"
TString FileVersionText(const TPackageVersion& v);

// The package description, kept as UTF-16 text; returned as UTF-8.
TString PackageDescription();

// The palette image of a class, the bitmap named after the class in capitals; a null
// image when the package carries none for it.
QImage PaletteBitmap(const TString& className);

// The package's main icon.
QImage MainIcon();

} // namespace kritzel
