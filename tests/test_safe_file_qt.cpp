// The file writer that systems other than Unix build (Qt's QSaveFile), built and run here
// as well, so that a port starts from a writer that keeps the same promises.
#include "host/internal/SafeFile.h"
#include "support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

using namespace kritzel;
using namespace kritzel::test;

namespace {

std::string Save(const QString& name, std::size_t size) {
    const std::vector<std::uint8_t> bytes(size, 'x');
    try {
        SaveFileWhole(name.toStdString(), bytes, "drawing");
    } catch (const EKritzelwerk& e) {
        return e.what();
    }
    return "saved";
}

} // namespace

TEST(SafeFileQt, WritesWholeReplacesOnlyARegularFileAndKeepsTheOlderOneOnFailure) {
    QTemporaryDir dir;
    const QString name = dir.filePath("bild.png");
    EXPECT_EQ(Save(name, 10), "saved");
    EXPECT_EQ(Save(name, 20), "saved");
    EXPECT_EQ(ReadFile(name).size(), 20);

    QDir(dir.path()).mkdir("ordner.png");
    EXPECT_NE(Save(dir.filePath("ordner.png"), 5).find("it is a folder"), std::string::npos);
    ASSERT_TRUE(QFile::link(name, dir.filePath("link.png")));
    EXPECT_NE(Save(dir.filePath("link.png"), 5).find("symbolic link"), std::string::npos);
    const std::string missing = Save(dir.filePath("fehlt/bild.png"), 5);
    EXPECT_NE(
        missing.find("cannot save the drawing \"" + dir.filePath("fehlt/bild.png").toStdString()),
        std::string::npos)
        << missing;
    if (geteuid() != 0) {
        QFile::setPermissions(name, QFileDevice::ReadOwner);
        EXPECT_NE(Save(name, 5).find("Permission denied"), std::string::npos);
        QFile::setPermissions(name, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string large = Save(name, 100000);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_NE(large.find("File too large"), std::string::npos) << large;
    EXPECT_EQ(ReadFile(name).size(), 20) << "the older file is kept";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "no leftovers";
}
