#include "Inputs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <map>

namespace kritzel::vergleich {

namespace {

std::string Utf8(const QString& text) {
    return text.toStdString();
}

} // namespace

Input InputAt(const QString& path, bool drawingAllowed, const QString& language) {
    const QFileInfo info(path);
    Input input;
    input.path = info.absoluteFilePath();
    input.source = info.fileName();
    input.name = input.source;
    if (info.isDir()) {
        if (!QFileInfo(QDir(path).filePath(QStringLiteral("CMakeLists.txt"))).isFile())
            throw InputError(Utf8(Say(language, "%1: ein Ordner ohne CMakeLists.txt",
                                      "%1: a folder without CMakeLists.txt")
                                      .arg(path)));
        input.kind = Input::Kind::CMake;
        return input;
    }
    if (!info.isFile())
        throw InputError(Utf8(Say(language, "%1: keine solche Datei und kein solcher Ordner",
                                  "%1: no such file or folder")
                                  .arg(path)));
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("cpp") || suffix == QLatin1String("cc") ||
        suffix == QLatin1String("cxx")) {
        input.kind = Input::Kind::Cpp;
    } else if (suffix == QLatin1String("py")) {
        input.kind = Input::Kind::Python;
    } else if ((suffix == QLatin1String("emf") || suffix == QLatin1String("wmf")) &&
               drawingAllowed) {
        // The control's metafile device names its file .wmf but writes EMF records into it.
        input.kind = Input::Kind::Drawing;
    } else {
        throw InputError(
            Utf8(Say(language, "%1: weder eine .cpp, eine .py%2 noch ein Ordner mit CMakeLists.txt",
                     "%1: neither a .cpp, a .py%2 nor a folder with CMakeLists.txt")
                     .arg(path, drawingAllowed
                                    ? Say(language, ", eine Zeichnung .emf", ", a drawing .emf")
                                    : QString())));
    }
    input.name = info.completeBaseName();
    return input;
}

std::vector<Input> Submissions(const QStringList& paths, QStringList& skipped,
                               const QString& language) {
    std::vector<Input> inputs;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.exists())
            throw InputError(Utf8(Say(language, "%1: keine solche Datei und kein solcher Ordner",
                                      "%1: no such file or folder")
                                      .arg(path)));
        const bool classFolder =
            info.isDir() &&
            !QFileInfo(QDir(path).filePath(QStringLiteral("CMakeLists.txt"))).exists();
        if (!classFolder) {
            inputs.push_back(InputAt(path, false, language));
            continue;
        }
        const QDir folder(path);
        for (const QFileInfo& entry :
             folder.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            try {
                inputs.push_back(InputAt(entry.filePath(), false, language));
            } catch (const InputError&) {
                skipped << entry.filePath();
            }
        }
    }
    std::sort(inputs.begin(), inputs.end(),
              [](const Input& a, const Input& b) { return a.name < b.name; });
    for (std::size_t i = 1; i < inputs.size(); ++i)
        if (inputs[i].name == inputs[i - 1].name)
            throw InputError(Utf8(Say(language, "zwei Abgaben mit dem Namen \"%1\": %2 und %3",
                                      "two submissions of the name \"%1\": %2 and %3")
                                      .arg(inputs[i].name, inputs[i - 1].path, inputs[i].path)));
    return inputs;
}

Installation FindInstallation() {
    // The grader lies in <prefix>/bin (the kernel names it, links resolved), so the
    // installation it came with is the one its pupils' programs are built against,
    // whichever other Kritzel-Werk pkg-config or CMake would find first.
    const QString bin = QFileInfo(QCoreApplication::applicationFilePath()).canonicalPath();
    Installation found;
    found.prefix = QDir::cleanPath(bin + QStringLiteral("/" KRITZEL_BIN_TO_PREFIX));
    const QString lib = found.prefix + QStringLiteral("/" KRITZEL_LIBDIR);
    found.pkgConfig = lib + QStringLiteral("/pkgconfig/kritzelwerk.pc");
    found.cmakePackage = lib + QStringLiteral("/cmake/Kritzelwerk");
    if (!QFileInfo(found.pkgConfig).isFile() ||
        !QFileInfo(found.cmakePackage + QStringLiteral("/KritzelwerkConfig.cmake")).isFile())
        throw InputError(Utf8(QStringLiteral("kritzelwerk-vergleich lies in %1, but there is no "
                                             "installation of Kritzel-Werk there (%2 is "
                                             "missing): run the installed grader")
                                  .arg(bin, found.pkgConfig)));
    // The Python module lies where python3 of that prefix finds it.
    for (const QString& pattern :
         {QStringLiteral("lib/python3/dist-packages"), QStringLiteral("lib/python3*/dist-packages"),
          QStringLiteral("lib/python3*/site-packages")}) {
        const QString parent = QFileInfo(found.prefix + QLatin1Char('/') + pattern).path();
        const QDir dir(QFileInfo(parent).path());
        const QString leafPattern = QFileInfo(parent).fileName();
        for (const QString& version : dir.entryList({leafPattern}, QDir::Dirs, QDir::Name)) {
            const QString candidate =
                dir.filePath(version) + QLatin1Char('/') + QFileInfo(pattern).fileName();
            if (QFileInfo(candidate + QStringLiteral("/kritzelwerk/__init__.py")).isFile()) {
                found.python = candidate;
                return found;
            }
        }
    }
    return found;
}

} // namespace kritzel::vergleich
