// Soak run: ten million commands with the sprite shown, then a thousand device round
// trips screen -> metafile -> screen. Memory must stay flat (within 1 MiB after the
// warm-up) and no file may stay open. Prints the figures; exits 1 when a limit is broken.
#include <kritzelwerk/Turtle.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>

using namespace kritzel;

namespace {

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 20, '\n');
    }
    return -1;
}

int OpenFiles() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}

void Commands(TTurtle& t, long count) {
    for (long i = 0; i < count; i += 10) {
        t.Forwd(0.05);
        t.Left(7);
        t.Forwd(0.05);
        t.Right(3);
        t.Forwd(0.05);
        t.Left(11);
        if (i % 1000 == 0) {
            t.DrawCircle(0.5);
            t.FillRectangle(0.3, 0.2, clYellow);
            t.DrawStringPos(t.x(), t.y(), "Kritzel", "Arial", 10, clBlue);
            t.Home();
        } else {
            t.Back(0.02);
            t.SetHeading(t.Heading() + 1);
            t.SetPosition(t.x(), t.y());
            t.Forwd(0.01);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    const long commands = argc > 1 ? std::atol(argv[1]) : 10'000'000;
    const int trips = argc > 2 ? std::atoi(argv[2]) : 1000;
    TForm form("Dauerlauf");
    TTurtle t(&form);
    form.Show();
    t.Repaint();
    int failures = 0;

    Commands(t, 200'000);
    const long before = ResidentKiB();
    Commands(t, commands);
    const long after = ResidentKiB();
    std::printf("%ld commands, sprite shown: resident %ld KiB after warm-up, %ld KiB after "
                "(%+ld KiB)\n",
                commands, before, after, after - before);
    if (after - before > 1024) ++failures;

    QTemporaryDir dir(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/kritzel-XXXXXX")
                                                : QDir::tempPath() + "/kritzel-XXXXXX");
    t.SetFilename((dir.path() + "/runde").toStdString());
    auto trip = [&] {
        t.SetAusgabe(tdWMF);
        for (int i = 0; i < 20; ++i) {
            t.Forwd(1);
            t.Left(100);
        }
        t.SetAusgabe(tdScreen);
    };
    for (int i = 0; i < 50; ++i)
        trip();
    const long tripBefore = ResidentKiB();
    const int filesBefore = OpenFiles();
    for (int i = 0; i < trips; ++i)
        trip();
    const long tripAfter = ResidentKiB();
    const int filesAfter = OpenFiles();
    std::printf("%d round trips screen -> metafile -> screen: resident %ld -> %ld KiB (%+ld), "
                "open files %d -> %d\n",
                trips, tripBefore, tripAfter, tripAfter - tripBefore, filesBefore, filesAfter);
    if (tripAfter - tripBefore > 1024 || filesAfter != filesBefore) ++failures;
    std::printf(failures ? "soak: FAILED\n" : "soak: memory and files flat\n");
    return failures ? 1 : 0;
}
