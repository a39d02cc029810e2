// Random command sequences with ordinary and hostile arguments, device switches,
// repaints in the middle of commands, handlers that command the turtle from inside the
// message pump, and handlers that throw; arcs, fills, stamps, dots, saves and copies
// among them, also from the handlers. Every file a sequence writes (a save, a recording)
// and every copy must be whole and readable; after every sequence the turtle must still
// repaint, draw on the screen and record a valid metafile.
//
// KRITZEL_SEQUENCES=N sets how many sequences run (default 10000, from seed 1 on);
// KRITZEL_SEED=S runs only sequence S and prints every step, to reproduce a failure.
#include "metafile.h"
#include "support.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <iostream>
#include <limits>
#include <random>
#include <sstream>

using namespace kritzel;
using namespace kritzel::test;

namespace {

class Sequence {
public:
    Sequence(std::uint64_t seed, const QString& folder, bool verbose)
        : pump_(&clock_, 1000), rng_(seed), folder_(folder), verbose_(verbose) {}

    void Run(TTurtle& t) {
        turtle_ = &t;
        pump_.onProcess = [this] { FromThePump(); };
        t.SetOnStartPaint([this] { FromTheHandler(); });
        const int steps = Int(5, 40);
        for (int i = 0; i < steps; ++i) {
            Step(t);
            CheckOutputs();
        }
        pump_.onProcess = nullptr;
    }

    // Every file a save or a recording wrote since the last look, and the clipboard's
    // metafile, must be whole and readable; a file is removed once looked at.
    void CheckOutputs() {
        const QStringList names = QDir(folder_).entryList(QDir::Files | QDir::Hidden);
        for (const QString& n : names) {
            // The printer writes its file while a job is open.
            if (n == "druck.pdf" && Printer().Printing()) continue;
            ExpectReadable(folder_ + "/" + n);
            QFile::remove(folder_ + "/" + n);
        }
        // The folder's own name as the stem puts the recording beside the folder.
        if (QFile::exists(folder_ + ".wmf")) {
            ExpectReadable(folder_ + ".wmf");
            QFile::remove(folder_ + ".wmf");
        }
        if (const QMimeData* data = QGuiApplication::clipboard()->mimeData();
            data && data->hasFormat("image/emf")) {
            EXPECT_EQ(EmfFault(data->data("image/emf")), "") << "the clipboard's metafile";
            QGuiApplication::clipboard()->clear();
        }
    }

    static void ExpectReadable(const QString& path) {
        SCOPED_TRACE(path.toStdString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QString ending = path.section('.', -1).toLower();
        if (ending == "wmf" || ending == "emf") {
            EXPECT_EQ(EmfFault(bytes), "");
        } else if (ending == "svg") {
            EXPECT_TRUE(QSvgRenderer(bytes).isValid());
        } else if (ending == "pdf") {
            EXPECT_TRUE(bytes.startsWith("%PDF-"));
            EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));
        } else {
            EXPECT_FALSE(QImage::fromData(bytes).isNull()) << bytes.size() << " bytes";
        }
    }

    FakeClock clock_;
    CountingPump pump_;

private:
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool Chance(int percent) { return Int(1, 100) <= percent; }

    double Number() {
        static const double hostile[] = {std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity(),
                                         -std::numeric_limits<double>::infinity(),
                                         1e300,
                                         -1e300,
                                         0.0,
                                         -0.0,
                                         1e-300,
                                         5e-324,
                                         2147483648.0,
                                         -2147483649.0};
        if (Chance(15)) return hostile[Int(0, int(std::size(hostile)) - 1)];
        return std::uniform_real_distribution<double>(-8, 8)(rng_);
    }
    std::int32_t Integer() {
        static const std::int32_t hostile[] = {0,
                                               -1,
                                               std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::int32_t>::max(),
                                               10000,
                                               -10000,
                                               65535};
        if (Chance(15)) return hostile[Int(0, int(std::size(hostile)) - 1)];
        return Int(-3, 12);
    }
    TColor Colour() {
        if (Chance(10)) return clBtnFace;
        if (Chance(5)) return TColor(0x7F000000 | Int(0, 0xFFFFFF));
        return TColor(Int(0, 0xFFFFFF));
    }
    TString Text() {
        static const TString texts[] = {"",         "Turtle",          "Grüße", "\xF0\x9F\x90\xA2",
                                        "\xFF\xFE", TString(3000, 'x')};
        return texts[Int(0, int(std::size(texts)) - 1)];
    }
    TString Font() {
        static const TString fonts[] = {"Arial", "DejaVu Sans", "", "NoSuchFont"};
        return fonts[Int(0, int(std::size(fonts)) - 1)];
    }
    TTurtleDevice Device() {
        // The printer prints into a file of the test's; tdScreen is the most common.
        const int d = Int(0, 9);
        return d < 5 ? tdScreen : d < 6 ? tdPrinter : d < 8 ? tdWMF : tdClipb;
    }

    void Log(const std::string& what) {
        if (verbose_) std::cout << "  " << what << "\n";
    }

    // One random command; host errors are allowed, anything else is a fault.
    void Step(TTurtle& t) {
        std::ostringstream what;
        const int op = Int(0, 43);
        try {
            Apply(t, op, what);
        } catch (const std::runtime_error& e) {
            what << "  -> error: " << e.what();
        }
        Log(what.str());
    }

    void Apply(TTurtle& t, int op, std::ostringstream& what) {
        switch (op) {
        case 0:
        case 1:
        case 2: {
            const double v = Number();
            what << "Forwd(" << v << ")";
            t.Forwd(v);
            break;
        }
        case 3: {
            const double v = Number();
            what << "Back(" << v << ")";
            t.Back(v);
            break;
        }
        case 4: {
            const double v = Number();
            what << "Left(" << v << ")";
            t.Left(v);
            break;
        }
        case 5: {
            const double v = Number();
            what << "Right(" << v << ")";
            t.Right(v);
            break;
        }
        case 6:
            what << "Home";
            t.Home();
            break;
        case 7:
            what << "Clear";
            t.Clear();
            break;
        case 8: {
            const double x = Number(), y = Number();
            what << "SetPosition(" << x << ", " << y << ")";
            t.SetPosition(x, y);
            break;
        }
        case 9: {
            const double v = Number();
            what << "DrawCircle(" << v << ")";
            t.DrawCircle(v);
            break;
        }
        case 10: {
            const double v = Number();
            what << "FillCircle(" << v << ")";
            t.FillCircle(v, Colour());
            break;
        }
        case 11: {
            const double a = Number(), b = Number();
            what << "FillRectangle(" << a << ", " << b << ")";
            t.FillRectangle(a, b, Colour());
            break;
        }
        case 12: {
            const double x = Number(), y = Number();
            const TString s = Text(), f = Font();
            const std::int32_t size = Chance(80) ? Int(1, 40) : Integer();
            what << "DrawStringPos(" << x << ", " << y << ", " << s.size() << " bytes, '" << f
                 << "', " << size << ")";
            t.DrawStringPos(x, y, s, f, size, Colour());
            break;
        }
        case 13: {
            const double y = Number();
            const TString s = Text(), f = Font();
            const std::int32_t size = Chance(80) ? Int(1, 40) : Integer();
            what << "DrawStringCent(" << y << ", " << s.size() << " bytes, '" << f << "', " << size
                 << ")";
            t.DrawStringCent(y, s, f, size, Colour());
            break;
        }
        case 14: {
            const std::int32_t nr = Integer(), max = Integer();
            what << "SelectColor(" << nr << ", " << max << ")";
            const TColor c = t.SelectColor(Colour(), Colour(), nr, max);
            EXPECT_EQ(static_cast<std::uint32_t>(c) >> 24, 0u) << "byte 3 of a ramp colour";
            break;
        }
        case 15:
            what << "EscPressed";
            (void)t.EscPressed();
            break;
        case 16:
            what << "SetBackColor";
            t.SetBackColor(Colour());
            break;
        case 17:
            what << "SetPenColor";
            t.SetPenColor(Colour());
            break;
        case 18: {
            const std::int32_t w = Chance(70) ? Int(0, 6) : Integer();
            what << "SetPenWidth(" << w << ")";
            t.SetPenWidth(w);
            break;
        }
        case 19:
            what << "SetTurtleColor";
            t.SetTurtleColor(Colour());
            break;
        case 20: {
            const std::uint16_t d = std::uint16_t(Chance(80) ? Int(0, 30) : 65535);
            what << "SetDelay(" << d << ")";
            t.SetDelay(d);
            break;
        }
        case 21:
        case 22: {
            const TTurtleDevice d = Device();
            what << "SetAusgabe(" << int(d) << ")";
            t.SetAusgabe(d);
            break;
        }
        case 23: {
            const int k = Int(0, 3);
            const TString name = k == 0   ? TString()
                                 : k == 1 ? (folder_ + "/bild").toStdString()
                                 : k == 2 ? (folder_ + "/missing/folder/bild").toStdString()
                                          : folder_.toStdString();
            what << "SetFilename(" << name << ")";
            t.SetFilename(name);
            break;
        }
        case 24: {
            const std::uint16_t s = std::uint16_t(Chance(85) ? Int(0, 40) : Int(0, 65535));
            what << "SetTurtleSize(" << s << ")";
            t.SetTurtleSize(s);
            break;
        }
        case 25: {
            const bool b = Chance(50);
            what << "SetShowTurtle(" << b << ")";
            t.SetShowTurtle(b);
            break;
        }
        case 26: {
            const bool b = Chance(50);
            what << "SetPenState(" << b << ")";
            t.SetPenState(b ? Down : Up);
            break;
        }
        case 27: {
            const double v = Number();
            what << "SetHeading(" << v << ")";
            t.SetHeading(v);
            break;
        }
        case 28: {
            const double v = Number();
            what << "SetxPosition(" << v << ")";
            t.SetxPosition(v);
            break;
        }
        case 29: {
            const double v = Number();
            what << "SetYPosition(" << v << ")";
            t.SetYPosition(v);
            break;
        }
        case 30: {
            const int w = Chance(80) ? Int(0, 500) : Int(0, 3000), h = Int(0, 500);
            what << "SetSize(" << w << ", " << h << ")";
            t.SetSize(w, h);
            break;
        }
        case 31:
            what << "Repaint";
            t.Repaint();
            break;
        case 32:
            what << "Invalidate";
            t.Invalidate();
            DefaultProcessMessages();
            break;
        case 33: {
            const double r = Chance(10) ? Number() * 1e6 : Number(), w = Number() * 60;
            what << "Arc(" << r << ", " << w << ")";
            t.Arc(r, w);
            break;
        }
        case 34:
            what << "BeginFill";
            t.BeginFill();
            break;
        case 35:
            what << "EndFill";
            t.EndFill(Colour());
            break;
        case 36:
            what << "Stamp";
            t.Stamp();
            break;
        case 37: {
            const double x = Number(), y = Number();
            what << "GoTo(" << x << ", " << y << ")";
            t.GoTo(x, y);
            break;
        }
        case 38: {
            const double d = Number();
            what << "Dot(" << d << ")";
            if (Chance(50))
                t.Dot(d);
            else
                t.Dot(d, Colour());
            break;
        }
        case 39:
        case 40: {
            static const char* const names[] = {"s.png", "s.svg",        "s.pdf", "s.emf",
                                                "s.wmf", "s.jpg",        "s.bmp", "s.xyz",
                                                "s",     "missing/s.png"};
            const QString name = folder_ + "/" + names[Int(0, int(std::size(names)) - 1)];
            what << "SaveToFile(" << name.toStdString() << ")";
            t.SaveToFile(name.toStdString());
            break;
        }
        case 41:
            what << "CopyToClipboard";
            t.CopyToClipboard();
            break;
        case 42: {
            const TTurtleDevice d = Device();
            what << "SetAusgabe(" << int(d) << ") and back";
            const TTurtleDevice before = t.Device();
            t.SetAusgabe(d);
            t.Forwd(Number());
            t.SetAusgabe(before);
            break;
        }
        default: {
            what << "handler mode";
            throwFromHandler_ = Chance(30);
            commandFromPump_ = Chance(30);
            break;
        }
        }
    }

    // The OnStartPaint handler: a few commands, and sometimes an error of the pupil's.
    void FromTheHandler() {
        ++handlerDepth_;
        struct Leave {
            int& d;
            ~Leave() { --d; }
        } leave{handlerDepth_};
        if (throwFromHandler_ && Chance(50)) throw std::runtime_error("the pupil's handler failed");
        if (handlerDepth_ > 1) return;
        const int n = Int(0, 4);
        for (int i = 0; i < n; ++i)
            Step(*turtle_);
    }

    // Some other handler of the application, running inside the message pump.
    void FromThePump() {
        if (!commandFromPump_ || inPump_ || !Chance(5)) return;
        inPump_ = true;
        Step(*turtle_);
        inPump_ = false;
    }

    std::mt19937_64 rng_;
    QString folder_;
    bool verbose_;
    TTurtle* turtle_ = nullptr;
    bool throwFromHandler_ = false;
    bool commandFromPump_ = false;
    bool inPump_ = false;
    int handlerDepth_ = 0;
};

// After any sequence: the turtle repaints, draws on the screen, records a valid metafile.
void ExpectConsistent(TTurtle& t, const QString& folder, std::uint64_t seed) {
    SCOPED_TRACE("sequence " + std::to_string(seed) +
                 " (rerun with KRITZEL_SEED=" + std::to_string(seed) + ")");
    t.SetOnStartPaint(nullptr);
    for (int attempt = 0; attempt < 2 && t.Device() != tdScreen; ++attempt) {
        try {
            t.SetAusgabe(tdScreen);
        } catch (const std::runtime_error&) {
            // A failed save ends on the screen all the same.
        }
    }
    ASSERT_EQ(t.Device(), tdScreen);
    t.SetSize(400, 400);
    t.SetDelay(0);
    t.SetTurtleSize(7);
    t.SetTurtleColor(clRed);
    t.SetHeading(90);
    t.SetShowTurtle(true);
    t.SetPenState(Down);
    t.SetPenWidth(1);
    t.SetPenColor(clBlack);
    t.SetBackColor(clWhite);
    ASSERT_NO_THROW(t.Repaint());
    EXPECT_EQ(t.Canvas()->Pixels(200, 190), clRed) << "the sprite in the middle";
    t.SetHeading(0);
    t.Forwd(2);
    EXPECT_EQ(t.Canvas()->Pixels(250, 200), clBlack) << "a line on the screen";
    t.SetFilename((folder + "/check").toStdString());
    t.SetAusgabe(tdWMF);
    EXPECT_EQ(t.PenState(), Down);
    EXPECT_FALSE(t.Showing());
    t.Forwd(1);
    t.DrawCircle(1);
    t.SetAusgabe(tdScreen);
    EXPECT_TRUE(t.Showing());
    QFile file(folder + "/check.wmf");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(EmfFault(file.readAll()), "");
    file.close();
    file.remove();
    // A save and a copy after the sequence, the file read back.
    const QString bmp = folder + "/after.bmp";
    t.SaveToFile(bmp.toStdString());
    EXPECT_EQ(QImage(bmp).size(), QSize(400, 400));
    QFile::remove(bmp);
    t.CopyToClipboard();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(EmfFault(data->data("image/emf")), "");
}

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    bool ok = false;
    const qulonglong v = qEnvironmentVariable(name).toULongLong(&ok);
    return ok ? v : fallback;
}

} // namespace

TEST(RandomSequences, LeaveTheTurtleConsistent) {
    // Saves go through to the disk; a folder in memory keeps thousands of them quick.
    QTemporaryDir dir(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/kritzel-XXXXXX")
                                                : QDir::tempPath() + "/kritzel-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path();
    // A control destroyed while it records writes its file: names without a folder land
    // here, not in the build tree.
    const QString keptCurrent = QDir::currentPath();
    QDir::setCurrent(folder);
    Printer().SetFileName((folder + "/druck.pdf").toStdString());
    const bool one = qEnvironmentVariableIsSet("KRITZEL_SEED");
    const std::uint64_t first = one ? EnvNumber("KRITZEL_SEED", 1) : 1;
    const std::uint64_t count = one ? 1 : EnvNumber("KRITZEL_SEQUENCES", 10000);
    std::vector<std::string> reported;
    Application().SetOnException([&](const std::exception& e) { reported.push_back(e.what()); });
    std::uint64_t run = 0;
    for (std::uint64_t seed = first; seed < first + count; ++seed) {
        if (one) std::cout << "sequence " << seed << ":\n";
        Sequence sequence(seed, folder, one);
        ServicesScope scope(&sequence.clock_, &sequence.pump_);
        {
            Painted t;
            sequence.Run(t);
            ExpectConsistent(t, folder, seed);
        }
        ++run;
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "first failing sequence: " << seed
                          << " (rerun with KRITZEL_SEED=" << seed << ")";
            break;
        }
    }
    Application().SetOnException(nullptr);
    Printer().SetFileName("");
    QDir::setCurrent(keptCurrent);
    std::cout << "random sequences run: " << run << "\n";
    EXPECT_EQ(run, count);
}
