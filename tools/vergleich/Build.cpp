#include "Build.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace kritzel::vergleich {

namespace {

QStringList PkgConfig(const QString& file, const QString& what) {
    QProcess process;
    process.start(QStringLiteral("pkg-config"), {what, file});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw InputError(
            QStringLiteral("pkg-config %1 %2 failed: %3")
                .arg(what, file, QString::fromLocal8Bit(process.readAllStandardError()).trimmed())
                .toStdString());
    return QProcess::splitCommand(
        QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed());
}

// What a build sees beside the system and its own folder: the installation (unless it is
// part of the system anyway) and the precompiled header.
std::vector<Bind> InstallationBinds(const Installation& installation) {
    std::vector<Bind> binds;
    if (installation.prefix != QLatin1String("/usr") &&
        !installation.prefix.startsWith(QLatin1String("/usr/")))
        binds.push_back({installation.prefix, false});
    return binds;
}

QStringList BuildEnvironment() {
    return {QStringLiteral("HOME=/tmp/home"), QStringLiteral("TMPDIR=/tmp"),
            QStringLiteral("LANG=C.UTF-8")};
}

// The program a CMake build made: the newest executable regular file below the build
// folder, outside CMake's own.
QString BuiltExecutable(const QString& folder) {
    QString found;
    QDateTime newest;
    QDirIterator it(folder, QDir::Files | QDir::Executable | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        if (file.filePath().contains(QLatin1String("/CMakeFiles/")) || file.suffix() == "so")
            continue;
        if (found.isEmpty() || file.lastModified() > newest) {
            found = file.filePath();
            newest = file.lastModified();
        }
    }
    return found;
}

} // namespace

Limits BuildLimits() {
    Limits limits;
    limits.wallSeconds = 120;
    limits.cpuSeconds = 120;
    limits.addressBytes = 8LL << 30;
    limits.fileBytes = 1LL << 30;
    return limits;
}

Toolchain PrepareToolchain(const Installation& installation, const Sandbox& sandbox,
                           const QString& folder) {
    Toolchain toolchain;
    const bool clang = !QStandardPaths::findExecutable(QStringLiteral("clang++")).isEmpty();
    toolchain.compiler = clang ? QStringLiteral("clang++") : QStringLiteral("g++");
    toolchain.compileFlags = PkgConfig(installation.pkgConfig, QStringLiteral("--cflags"));
    toolchain.linkFlags = PkgConfig(installation.pkgConfig, QStringLiteral("--libs"));
    // Linking a pupil's program takes a third of its build with the default linker.
    if (clang && !QStandardPaths::findExecutable(QStringLiteral("ld.lld")).isEmpty())
        toolchain.linkFlags << QStringLiteral("-fuse-ld=lld");
    else if (!QStandardPaths::findExecutable(QStringLiteral("ld.gold")).isEmpty())
        toolchain.linkFlags << QStringLiteral("-fuse-ld=gold");
    toolchain.binds = InstallationBinds(installation);

    // The header parses the library's header and the Qt widget headers it brings, which is
    // nearly all of a pupil's build: made once, in the sandbox, as it reads only what the
    // builds read.
    const QString header = folder + QStringLiteral("/kritzelwerk-vergleich.h");
    QFile file(header);
    if (!file.open(QIODevice::WriteOnly) || file.write("#include <kritzelwerk/Turtle.h>\n") < 0)
        return toolchain;
    file.close();
    const QString compiled = clang ? folder + QStringLiteral("/kritzelwerk-vergleich.pch")
                                   : header + QStringLiteral(".gch");
    std::vector<Bind> binds = toolchain.binds;
    binds.push_back({folder, true});
    const QStringList command =
        QStringList{toolchain.compiler, QStringLiteral("-x"), QStringLiteral("c++-header")} +
        toolchain.compileFlags + QStringList{header, QStringLiteral("-o"), compiled};
    Limits limits = BuildLimits();
    const Outcome outcome = sandbox.Run(command, folder, binds, BuildEnvironment(), limits, 0);
    toolchain.seconds = outcome.seconds;
    if (outcome.end != Outcome::End::Exited || outcome.code != 0) return toolchain;
    toolchain.header = folder;
    toolchain.headerFlags =
        clang ? QStringList{QStringLiteral("-include-pch"), compiled}
              : QStringList{QStringLiteral("-include"), header, QStringLiteral("-Winvalid-pch")};
    toolchain.binds.push_back({folder, false});
    return toolchain;
}

Built BuildProgram(const Input& input, const QString& work, const Installation& installation,
                   const Toolchain& toolchain, const Sandbox& sandbox, int slot) {
    Built built;
    std::vector<Bind> binds = toolchain.binds;
    binds.push_back({work, true});
    const QString source = work + QStringLiteral("/quelle");
    Outcome outcome;
    if (input.kind == Input::Kind::Cpp) {
        built.program = work + QStringLiteral("/programm");
        const QStringList command = QStringList{toolchain.compiler} + toolchain.headerFlags +
                                    toolchain.compileFlags +
                                    QStringList{QStringLiteral("-O0"), QStringLiteral("-g0"),
                                                source + QLatin1Char('/') + input.source,
                                                QStringLiteral("-o"), built.program} +
                                    toolchain.linkFlags;
        outcome = sandbox.Run(command, source, binds, BuildEnvironment(), BuildLimits(), slot);
    } else {
        // The CMake recipe of the README, with this installation's package named, so that no
        // other Kritzel-Werk on the machine is found first.
        const QString build = work + QStringLiteral("/bau");
        const QStringList configure{QStringLiteral("cmake"),
                                    QStringLiteral("-S"),
                                    source,
                                    QStringLiteral("-B"),
                                    build,
                                    QStringLiteral("-DKritzelwerk_DIR=") +
                                        installation.cmakePackage,
                                    QStringLiteral("-DCMAKE_PREFIX_PATH=") + installation.prefix,
                                    QStringLiteral("-DCMAKE_BUILD_TYPE=Debug")};
        outcome = sandbox.Run(configure, source, binds, BuildEnvironment(), BuildLimits(), slot);
        if (outcome.end == Outcome::End::Exited && outcome.code == 0) {
            const Outcome make =
                sandbox.Run({QStringLiteral("cmake"), QStringLiteral("--build"), build}, source,
                            binds, BuildEnvironment(), BuildLimits(), slot);
            outcome.output += make.output;
            outcome.seconds += make.seconds;
            outcome.end = make.end;
            outcome.code = make.code;
        }
        if (outcome.end == Outcome::End::Exited && outcome.code == 0)
            built.program = BuiltExecutable(build);
    }
    built.log = QString::fromUtf8(outcome.output);
    built.seconds = outcome.seconds;
    built.timedOut = outcome.end == Outcome::End::TimedOut;
    built.ok = outcome.end == Outcome::End::Exited && outcome.code == 0 &&
               !built.program.isEmpty() && QFileInfo(built.program).isFile();
    return built;
}

} // namespace kritzel::vergleich
