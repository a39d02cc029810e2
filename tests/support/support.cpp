#include "support.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <unistd.h>

namespace kritzel::test {

int DifferingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF)) ++n;
    return n;
}

int CountColor(const QImage& image, TColor color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (FromQRgb(image.pixel(x, y)) == color) ++n;
    return n;
}

std::string OutputDir() {
    QByteArray dir = qgetenv("KRITZEL_TEST_OUTPUT");
    if (dir.isEmpty()) dir = QDir::currentPath().toUtf8() + "/test-output";
    QDir().mkpath(QString::fromUtf8(dir));
    return dir.toStdString();
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool RequireAll() {
    return qEnvironmentVariable("KRITZEL_REQUIRE_ALL") == QLatin1String("1");
}

std::string MissingTool(const char* program, const char* package) {
    if (!QStandardPaths::findExecutable(QString::fromUtf8(program)).isEmpty()) return {};
    return std::string(program) + " is missing: install " + package;
}

AsOrdinaryUser::AsOrdinaryUser() : root_(geteuid() == 0) {
    if (root_) setfsuid(65534);
}

AsOrdinaryUser::~AsOrdinaryUser() {
    if (root_) setfsuid(0);
}

} // namespace kritzel::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    kritzel::TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
