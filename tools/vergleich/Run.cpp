#include "Run.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kritzel::vergleich {

namespace {

constexpr off_t FileCap = 64LL << 20;

// A regular file directly in the open folder, read without following a link.
bool ReadBeside(int folder, const QString& name, QByteArray& bytes) {
    const int fd =
        ::openat(folder, name.toLocal8Bit().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= FileCap;
    if (ok) {
        bytes.resize(static_cast<qsizetype>(info.st_size));
        qsizetype done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t got =
                ::read(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
            ok = got > 0;
            done += got > 0 ? got : 0;
        }
    }
    ::close(fd);
    return ok;
}

} // namespace

std::vector<Recording> ReadRecordings(const QString& folder, QString& problem) {
    std::vector<Recording> recordings;
    const int dir =
        ::open(folder.toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
        problem = QStringLiteral("the drawings' folder is gone or is a link");
        return recordings;
    }
    QByteArray manifest;
    if (!ReadBeside(dir, QStringLiteral("drawings.json"), manifest)) {
        ::close(dir);
        return recordings; // no window was shown
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(manifest, &error);
    const QJsonArray list = document.object().value(QStringLiteral("drawings")).toArray();
    if (error.error != QJsonParseError::NoError)
        problem = QStringLiteral("drawings.json: ") + error.errorString();
    // The files are named 01, 02, ...: anything else would name a file outside.
    static const QRegularExpression number(QStringLiteral("^[0-9]{1,6}$"));
    for (const QJsonValue& value : list) {
        const QJsonObject entry = value.toObject();
        const QString file = entry.value(QStringLiteral("file")).toString();
        Recording recording;
        recording.window = entry.value(QStringLiteral("window")).toString();
        recording.control = entry.value(QStringLiteral("control")).toInt();
        if (!number.match(file).hasMatch() ||
            !ReadBeside(dir, file + QStringLiteral(".emf"), recording.emf)) {
            problem =
                QStringLiteral("drawings.json names a drawing \"%1\" that is not there").arg(file);
            continue;
        }
        ReadBeside(dir, file + QStringLiteral(".png"), recording.png);
        recordings.push_back(std::move(recording));
    }
    ::close(dir);
    return recordings;
}

Ran RunProgram(const Input& input, const Built& built, const QString& work,
               const Installation& installation, const Toolchain& toolchain, const Sandbox& sandbox,
               const QStringList& answers, double seconds, int slot) {
    const QString source = work + QStringLiteral("/quelle");
    const QString drawings = work + QStringLiteral("/zeichnungen");
    const QString output = work + QStringLiteral("/ausgabe");
    QDir().mkpath(drawings);
    QDir().mkpath(output);
    sandbox.HandOver(drawings, slot);
    sandbox.HandOver(output, slot);
    QStringList env{QStringLiteral("HOME=/tmp/home"),
                    QStringLiteral("TMPDIR=/tmp"),
                    QStringLiteral("XDG_CACHE_HOME=/tmp/home/.cache"),
                    QStringLiteral("XDG_RUNTIME_DIR=/tmp/home/.runtime"),
                    QStringLiteral("LANG=C.UTF-8"),
                    QStringLiteral("QT_QPA_PLATFORM=offscreen"),
                    QStringLiteral("KRITZEL_OUTPUT_DIR=") + output,
                    QStringLiteral("KRITZEL_DRAWINGS=") + drawings};
    if (!answers.isEmpty())
        env << QStringLiteral("KRITZEL_ANSWERS=") + answers.join(QLatin1Char('\n'));
    QStringList command;
    if (input.kind == Input::Kind::Python) {
        command = {QStringLiteral("python3"), source + QLatin1Char('/') + input.source};
        env << QStringLiteral("PYTHONDONTWRITEBYTECODE=1");
        if (!installation.python.isEmpty())
            env << QStringLiteral("PYTHONPATH=") + installation.python;
        // The module's extension finds the library through the loader's cache below /usr;
        // below any other prefix it needs the prefix's library folder named.
        env << QStringLiteral("LD_LIBRARY_PATH=") + installation.prefix +
                   QStringLiteral("/" KRITZEL_LIBDIR);
    } else {
        command = {built.program};
    }
    std::vector<Bind> binds = toolchain.binds;
    binds.push_back({work, true});
    Limits limits;
    limits.wallSeconds = seconds;
    limits.cpuSeconds = static_cast<long>(seconds) + 1;
    Ran ran;
    ran.outcome = sandbox.Run(command, source, binds, env, limits, slot);
    ran.drawings = ReadRecordings(drawings, ran.problem);
    return ran;
}

} // namespace kritzel::vergleich
