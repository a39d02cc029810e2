// Off the planned path: a control destroyed under its own command, a command broken off
// halfway, calls from a worker thread, and the values a form can hold.
#include "host/internal/EmfWriter.h"
#include "metafile.h"
#include "support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <csignal>
#include <exception>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kritzel;
using namespace kritzel::test;

namespace {

std::uint32_t Since(std::uint32_t t0) {
    return MonotonicTicks() - t0;
}

// Breaks off the command at its n-th message pump, as a closing application does.
class AbortingPump : public TMessagePump {
public:
    explicit AbortingPump(int n) : n_(n) {}
    void ProcessMessages() override {
        if (++calls == n_) throw EAbort();
    }
    void WaitMessage(std::uint32_t) override {}
    int calls = 0;

private:
    int n_;
};

} // namespace

TEST(Lifetimes, AHandlerThatDeletesItsTurtleEndsTheRepaint) {
    QWidget form;
    auto* t = new TTurtle(&form);
    QPointer<TTurtle> watch(t);
    bool slotRan = false;
    QObject::connect(t, &TTurtle::StartPaint, &form, [&] { slotRan = true; });
    t->SetOnStartPaint([t] { delete t; });
    EXPECT_THROW(t->Repaint(), EAbort);
    EXPECT_TRUE(watch.isNull());
    EXPECT_FALSE(slotRan) << "nothing runs on for a control that has gone";
}

TEST(Lifetimes, ATimerThatDeletesTheFormDuringADelayBreaksOffTheCommand) {
    auto* form = new TForm("weg");
    auto* t = new TTurtle(form);
    form->Show();
    t->Repaint();
    t->SetDelay(2000);
    QTimer::singleShot(50, [form] { delete form; });
    const auto t0 = MonotonicTicks();
    EXPECT_THROW(t->Forwd(1), EAbort);
    EXPECT_LT(Since(t0), 1000u) << "the wait ends with its control";
}

TEST(Lifetimes, ASecondWindowClosedDuringItsDrawingGoesAway) {
    TForm main("Hauptfenster");
    Application().SetMainForm(&main);
    QPointer<TForm> second = new TForm("zweites Fenster");
    second->setAttribute(Qt::WA_DeleteOnClose);
    auto* t = new TTurtle(second);
    int steps = 0;
    t->SetOnStartPaint([t, &steps] {
        t->SetDelay(20);
        for (int i = 0; i < 200; ++i, ++steps) {
            t->Forwd(0.2);
            t->Left(10);
        }
    });
    int stepsAtDeletion = -1;
    QObject::connect(t, &QObject::destroyed, [&] { stepsAtDeletion = steps; });
    second->Show();
    QTimer::singleShot(300, second, [&] { second->close(); });
    const auto t0 = MonotonicTicks();
    while (second && Since(t0) < 8000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(second.isNull()) << "the window was deleted on closing";
    EXPECT_LT(Since(t0), 2000u);
    EXPECT_LT(steps, 200) << "the drawing ended with its window";
    EXPECT_EQ(steps, stepsAtDeletion) << "no step ran on a turtle that had gone";
    EXPECT_FALSE(Application().Terminated()) << "only the second window closed";
}

TEST(Lifetimes, ABrokenOffCommandPutsBackPenBrushFontAndSprite) {
    Painted t(Sprite::Shown);
    const QImage clean = t.Picture();
    const TString font = t.Canvas()->Font().Name();
    const TBrushStyle style = t.Canvas()->Brush().Style();
    auto command = [&](int which) {
        switch (which) {
        case 0:
            t.SetPosition(2, 1);
            break;
        case 1:
            t.DrawCircle(1);
            break;
        case 2:
            t.FillCircle(1, clBlue);
            break;
        case 3:
            t.FillRectangle(2, 1, clGreen);
            break;
        default:
            t.DrawStringPos(1, 1, "Hallo", "DejaVu Sans", 12, clBlue);
            break;
        }
    };
    for (int which = 0; which < 5; ++which) {
        for (bool shown : {true, false}) {
            for (int at = 1; at <= 12; ++at) {
                SCOPED_TRACE(testing::Message() << "command " << which << " shown " << shown
                                                << " broken off at pump " << at);
                t.SetShowTurtle(shown);
                AbortingPump pump(at);
                {
                    ServicesScope scope(nullptr, &pump);
                    try {
                        command(which);
                    } catch (const EAbort&) {
                    }
                }
                EXPECT_EQ(t.PenState(), Down);
                EXPECT_EQ(t.Showing(), shown);
                EXPECT_EQ(t.Canvas()->Font().Name(), font);
                // Text leaves the brush clear by design; the others put it back.
                if (which != 4) {
                    EXPECT_EQ(t.Canvas()->Brush().Style(), style);
                }
                t.Canvas()->Brush().SetStyle(style);
                // The turtle still draws, and its sprite comes and goes in pairs.
                t.SetShowTurtle(true);
                t.Clear();
                EXPECT_EQ(DifferingPixels(t.Picture(), clean), 0);
                t.Forwd(1);
                EXPECT_GT(DifferingPixels(t.Picture(), clean), 0);
                t.Clear();
            }
        }
    }
}

TEST(Threads, CommandsFromAWorkerThreadAreRefusedBeforeTheyTouchAnything) {
    Painted t;
    const QImage before = t.Picture();
    std::vector<std::string> errors;
    std::thread worker([&] {
        auto attempt = [&](auto&& f) {
            try {
                f();
                errors.push_back("no error");
            } catch (const EKritzelwerk& e) {
                errors.push_back(e.what());
            }
        };
        attempt([&] { t.Forwd(3); });
        attempt([&] { t.SetHeading(10); });
        attempt([&] { t.SetPenState(Up); });
        attempt([&] { t.Repaint(); });
        attempt([&] { t.Invalidate(); });
        attempt([&] { Application().ProcessMessages(); });
        attempt([&] { TTurtle other; });
        // The commands added beside the turtle's own keep the same rule.
        attempt([&] { t.Arc(2, 90); });
        attempt([&] { t.BeginFill(); });
        attempt([&] { t.Stamp(); });
        attempt([&] { t.SaveToFile("never.png"); });
        attempt([&] { t.CopyToClipboard(); });
        attempt([&] { AskNumber("?", 1); });
    });
    worker.join();
    ASSERT_EQ(errors.size(), 13u);
    for (const std::string& e : errors)
        EXPECT_NE(e.find("GUI thread"), std::string::npos) << e;
    EXPECT_EQ(t.y(), 0.0);
    EXPECT_EQ(t.Heading(), 90.0);
    EXPECT_EQ(t.PenState(), Down);
    EXPECT_EQ(DifferingPixels(t.Picture(), before), 0);
    EXPECT_NO_THROW(t.Forwd(1)) << "the GUI thread goes on";
}

TEST(FormValues, AControlNotYetShownDoesNotWaitWhileItsPropertiesLoad) {
    QWidget form;
    TTurtle t(&form);
    const auto t0 = MonotonicTicks();
    t.setProperty("Delay", 1000);
    for (const char* p : {"TurtleSize", "Heading", "x", "y"})
        t.setProperty(p, 9);
    EXPECT_LT(Since(t0), 500u);
    t.setProperty("Delay", 0);
}

TEST(FormValues, IntegersAreClampedAndEnumerationsRefuseStrangers) {
    TTurtle t;
    t.setProperty("Delay", -1);
    EXPECT_EQ(t.Delay(), 0);
    t.setProperty("Delay", 70000);
    EXPECT_EQ(t.Delay(), 65535);
    t.setDelay(0);
    for (int size : {70000, 65536, 1000000000}) {
        t.setTurtleSize(size);
        EXPECT_EQ(t.TurtleSize(), 65535) << size;
    }
    t.setTurtleSize(-5);
    EXPECT_EQ(t.TurtleSize(), 0);
    t.setTurtleSize(7);

    int warnings = 0;
    static int* counter = nullptr;
    counter = &warnings;
    const QtMessageHandler old =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString&) {
            if (type == QtWarningMsg) ++*counter;
        });
    for (int bad : {7, 249, 255}) {
        t.SetAusgabe(static_cast<TTurtleDevice>(bad));
        t.SetPenState(static_cast<TPenState>(bad));
    }
    qInstallMessageHandler(old);
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_EQ(t.PenState(), Down);
    EXPECT_EQ(warnings, 6);
}

TEST(FormValues, TheControlCannotGrowBeyondWhatItDraws) {
    QWidget form;
    TTurtle t(&form);
    t.setGeometry(0, 0, 100000, 100000);
    EXPECT_LE(t.width(), 16384);
    EXPECT_LE(t.height(), 16384);
    EXPECT_LE(t.Width(), 16384);
}

// ---------------------------------------------------------------------------------------
// Metafile files: the name given, or a clear error, never another file

namespace {

// A small finished metafile: a few lines.
void RecordLines(TMetafile& mf, int lines = 20) {
    mf.SetWidth(200);
    mf.SetHeight(200);
    TMetafileCanvas canvas(mf);
    for (int i = 0; i < lines; ++i)
        canvas.LineTo(i % 200, (i * 7) % 200);
}

std::string SaveError(const TMetafile& mf, const TString& name) {
    try {
        mf.SaveToFile(name);
    } catch (const EKritzelwerk& e) {
        return e.what();
    }
    return "saved";
}

} // namespace

TEST(Files, AtTheSizeLimitACommandFailsClearlyAndTheRecordingStillEnds) {
    TMetafile mf;
    mf.SetWidth(100);
    mf.SetHeight(100);
    std::string error;
    {
        TMetafileCanvas canvas(mf);
        canvas.Writer().SetLimit(64 * 1024);
        try {
            for (int i = 0; i < 100000; ++i)
                canvas.LineTo(i % 100, (i * 3) % 100);
        } catch (const EKritzelwerk& e) {
            error = e.what();
        }
    } // the recording ends here: no throw from the destructor
    EXPECT_NE(error.find("4 GiB"), std::string::npos) << error;
    EXPECT_TRUE(mf.Incomplete());
    EXPECT_LE(mf.Data().size(), 64u * 1024);
    const QByteArray bytes(reinterpret_cast<const char*>(mf.Data().data()),
                           qsizetype(mf.Data().size()));
    EXPECT_TRUE(IsEmf(bytes));
    const QString name = QString::fromStdString(OutputDir()) + "/full.wmf";
    const std::string saved = SaveError(mf, name.toStdString());
    EXPECT_NE(saved.find("4 GiB"), std::string::npos) << saved;
    EXPECT_EQ(ReadFile(name), bytes) << "what fitted is written";
}

TEST(Files, OnlyARegularFileIsReplacedAndStrangeNamesAreRefused) {
    TMetafile mf;
    RecordLines(mf);
    const QString dir = QString::fromStdString(OutputDir()) + "/names";
    QDir(dir).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(dir));
    const std::string d = dir.toStdString();

    const std::string fifo = d + "/pipe.wmf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(SaveError(mf, fifo).find("not a regular file"), std::string::npos);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(fifo)).isFile() == false);

    const std::string target = d + "/target.txt", link = d + "/link.wmf";
    {
        QFile f(QString::fromStdString(target));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("kept");
    }
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_NE(SaveError(mf, link).find("symbolic link"), std::string::npos);
    EXPECT_EQ(ReadFile(QString::fromStdString(target)), QByteArray("kept"));

    EXPECT_NE(SaveError(mf, d + "/bild\xFF.wmf").find("UTF-8"), std::string::npos);
    const std::string nul = SaveError(mf, d + std::string("/a\0b.wmf", 8));
    EXPECT_NE(nul.find("NUL"), std::string::npos) << nul;
    const QStringList left = QDir(dir).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    EXPECT_EQ(left.size(), 3) << left.join(' ').toStdString() << ": nothing else written";

    EXPECT_EQ(SaveError(mf, d + "/gut.wmf"), "saved");
    EXPECT_EQ(SaveError(mf, d + "/gut.wmf"), "saved") << "a regular file is replaced";
}

TEST(Files, AFileTooLargeForTheDiskSaysSo) {
    TMetafile mf;
    RecordLines(mf, 2000);
    ASSERT_GT(mf.Data().size(), 4096u);
    const std::string name = OutputDir() + "/too-large.wmf";
    QFile::remove(QString::fromStdString(name));
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = SaveError(mf, name);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(name)));
}

TEST(Files, ASaveLeavesNoTemporaryAndRemovesThoseOfKilledSaves) {
    TMetafile mf;
    RecordLines(mf);
    const QString dir = QString::fromStdString(OutputDir()) + "/temporaries";
    QDir(dir).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(dir));
    // A save killed before its rename left its temporary; so did one that still runs.
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    ASSERT_GT(ended, 0);
    waitpid(ended, nullptr, 0);
    const QString stale = dir + QString("/.bild.wmf.kritzelwerk-%1.tmp").arg(ended);
    const QString running = dir + "/.bild.wmf.kritzelwerk-1.tmp";
    const QString pupils = dir + "/bild.wmf.backup";
    for (const QString& f : {stale, running, pupils}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(SaveError(mf, dir.toStdString() + "/bild.wmf"), "saved");
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(running)) << "its process still lives";
    EXPECT_TRUE(QFile::exists(pupils)) << "not a name of the writer's own";
    const QStringList left =
        QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(left.join(' ').toStdString(), ".bild.wmf.kritzelwerk-1.tmp bild.wmf bild.wmf.backup");
}
