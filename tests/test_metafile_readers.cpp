// Every lesson of the demo recorded as a metafile and drawn by other programs (Inkscape and
// LibreOffice Draw, headless), against the screen picture of the same lesson: every line of
// the screen picture has to be in each program's picture.
#include "Lessons.h"
#include "support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <ostream>
#include <string>
#include <vector>

using namespace kritzel;
using namespace kritzel::test;

namespace {

constexpr int kSize = 480; // the control's size in pixels, at 96 pixels per inch (38 per cm)

void Prepare(TTurtle& t) {
    t.SetHeading(North);
    t.SetPenColor(clBlack);
    t.SetPenWidth(1);
    t.SetPenState(Down);
}

// Runs Inkscape or LibreOffice headless on args, with a fresh home folder of its own (both
// keep settings there); false with the reason in why when it is missing or fails.
bool RunReader(const QString& reader, QStringList args, const QString& home, std::string& why) {
    const QString program = QStandardPaths::findExecutable(reader);
    if (program.isEmpty()) {
        why = reader.toStdString() + " is not installed";
        return false;
    }
    QDir().mkpath(home);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_CACHE_HOME", home + "/cache");
    env.insert("XDG_DATA_HOME", home + "/data");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    if (reader != QLatin1String("inkscape"))
        args.prepend("-env:UserInstallation=file://" + home + "/profile");
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(300000) || p.exitCode() != 0) {
        why = reader.toStdString() + " failed: " + p.readAll().toStdString();
        return false;
    }
    return true;
}

// The lessons recorded once per run: each one's screen picture (without the sprite, which
// no metafile holds) and its metafile, named ".emf" as the programs choose their reader by
// the name's ending.
class Recordings {
public:
    static Recordings& Get() {
        static Recordings r;
        return r;
    }
    QString Dir() const { return dir_.path(); }
    QString Emf(const std::string& stem) const {
        return dir_.filePath(QString::fromStdString(stem) + ".emf");
    }
    const QImage& Screen(const std::string& stem) { return screen_[stem]; }

    // Each lesson drawn by one program, all in one run of it; empty with the reason in why
    // when the program is missing or failed.
    const std::map<std::string, QImage>& Rendered(const QString& reader, std::string& why) {
        auto it = rendered_.find(reader);
        if (it == rendered_.end()) {
            std::string reason;
            it = rendered_.emplace(reader, Render(reader, reason)).first;
            reasons_[reader] = reason;
        }
        why = reasons_[reader];
        return it->second;
    }

private:
    Recordings() {
        PixelsPerInchScope ppi(96);
        TTurtle t;
        t.SetSize(kSize, kSize);
        t.Repaint();
        t.SetShowTurtle(false);
        for (const lessons::Lesson& lesson : lessons::All()) {
            t.SetAusgabe(tdScreen);
            Prepare(t);
            lesson.draw(t);
            screen_[lesson.file] = t.Picture().convertToFormat(QImage::Format_RGB32);

            const QString stem = dir_.filePath(QString::fromStdString(lesson.file));
            t.SetFilename(stem.toStdString());
            t.SetAusgabe(tdWMF);
            Prepare(t);
            lesson.draw(t);
            t.SetAusgabe(tdScreen);
            QFile::rename(stem + ".wmf", stem + ".emf");
        }
    }

    std::map<std::string, QImage> Render(const QString& reader, std::string& why) {
        const QString out = dir_.filePath(reader + "-out");
        QDir().mkpath(out);
        QStringList args;
        if (reader == QLatin1String("inkscape")) {
            // Each file.emf becomes file.png beside it, at the screen's 38 pixels per cm.
            args << "--export-type=png"
                 << "--export-dpi=96.52"
                 << "--export-area-page"
                 << "--export-background=#ffffff"
                 << "--export-background-opacity=1";
        } else {
            args << "--headless"
                 << "--convert-to"
                 << "png"
                 << "--outdir" << out;
        }
        for (const lessons::Lesson& lesson : lessons::All())
            args << Emf(lesson.file);

        if (!RunReader(reader, args, dir_.filePath(reader + "-home"), why)) return {};
        std::map<std::string, QImage> images;
        for (const lessons::Lesson& lesson : lessons::All()) {
            const QString stem = QString::fromStdString(lesson.file);
            const QString png = reader == QLatin1String("inkscape")
                                    ? dir_.filePath(stem + ".png")
                                    : QDir(out).filePath(stem + ".png");
            QImage image(png);
            if (image.isNull()) continue;
            images[lesson.file] = image.convertToFormat(QImage::Format_RGB32);
        }
        if (images.empty()) why = reader.toStdString() + " wrote no picture";
        return images;
    }

    QTemporaryDir dir_;
    std::map<std::string, QImage> screen_;
    std::map<QString, std::map<std::string, QImage>> rendered_;
    std::map<QString, std::string> reasons_;
};

// Pixels that are drawn: away from the white background by a quarter in some channel.
bool Ink(QRgb p) {
    return std::min({qRed(p), qGreen(p), qBlue(p)}) < 192;
}

// Whether a pixel of a reader's picture shows the screen's colour c, drawn over white at
// least half covering the pixel: readers smooth their edges, the screen does not.
bool Shows(QRgb q, QRgb c) {
    auto near = [](int got, int want) {
        return std::abs(got - want) <= (255 - want) * 6 / 10 + 24;
    };
    return near(qRed(q), qRed(c)) && near(qGreen(q), qGreen(c)) && near(qBlue(q), qBlue(c));
}

// The screen picture's pixels that the reader's picture does not show within 2 pixels,
// and the reader's drawn pixels with no drawn screen pixel within 2 pixels; the reader's
// picture is placed where it matches best.
struct Comparison {
    int ink = 0, missing = 0, extra = 0;
    QPoint offset;
};

Comparison Compare(const QImage& screen, const QImage& image) {
    constexpr int r = 2;
    const QPoint centre((image.width() - screen.width()) / 2,
                        (image.height() - screen.height()) / 2);
    auto at = [&](const QPoint& o, int x, int y) {
        const int ix = x + o.x(), iy = y + o.y();
        return ix >= 0 && iy >= 0 && ix < image.width() && iy < image.height()
                   ? image.pixel(ix, iy)
                   : qRgb(255, 255, 255);
    };
    // The offset: page readers centre the picture on a page, to within a few pixels.
    Comparison best;
    long long bestScore = -1;
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) {
            const QPoint o = centre + QPoint(dx, dy);
            long long score = 0;
            for (int y = 0; y < screen.height(); y += 2)
                for (int x = 0; x < screen.width(); x += 2)
                    score += Ink(screen.pixel(x, y)) != Ink(at(o, x, y));
            if (bestScore < 0 || score < bestScore) {
                bestScore = score;
                best.offset = o;
            }
        }
    const QPoint o = best.offset;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            const QRgb s = screen.pixel(x, y);
            if (Ink(s)) {
                ++best.ink;
                bool shown = false;
                for (int v = -r; v <= r && !shown; ++v)
                    for (int u = -r; u <= r && !shown; ++u)
                        shown = Shows(at(o, x + u, y + v), s);
                best.missing += !shown;
            }
            if (Ink(at(o, x, y))) {
                bool there = false;
                for (int v = -r; v <= r && !there; ++v)
                    for (int u = -r; u <= r && !there; ++u) {
                        const int sx = x + u, sy = y + v;
                        there = sx >= 0 && sy >= 0 && sx < screen.width() && sy < screen.height() &&
                                Ink(screen.pixel(sx, sy));
                    }
                best.extra += !there;
            }
        }
    return best;
}

struct Case {
    const char* reader;
    lessons::Lesson lesson;
    friend void PrintTo(const Case& c, std::ostream* os) {
        *os << c.reader << " " << c.lesson.file;
    }
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (const char* reader : {"inkscape", "soffice"})
        for (const lessons::Lesson& lesson : lessons::All())
            cases.push_back({reader, lesson});
    return cases;
}

class MetafileReaders : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(MetafileReaders, DrawEveryLineOfTheScreenPicture) {
    const Case& c = GetParam();
    std::string why;
    const auto& rendered = Recordings::Get().Rendered(QString::fromLatin1(c.reader), why);
    SKIP_OR_FAIL_IF(rendered.empty() ? why : "");
    const auto it = rendered.find(c.lesson.file);
    ASSERT_NE(it, rendered.end()) << c.reader << " drew no picture of " << c.lesson.file;
    const QImage& image = it->second;
    const QImage& screen = Recordings::Get().Screen(c.lesson.file);
    const Comparison cmp = Compare(screen, image);
    ASSERT_GT(cmp.ink, 0) << "the lesson draws nothing on the screen";
    // The tolerance: one in a thousand drawn pixels, for the readers' own smoothing of
    // text. A line of the shortest length a lesson draws has more pixels than that.
    const int allowed = cmp.ink / 1000;
    if (cmp.missing > allowed || cmp.extra > allowed) {
        const QDir out(QString::fromStdString(OutputDir()));
        const QString stem =
            QString::fromLatin1(c.reader) + "-" + QString::fromStdString(c.lesson.file);
        image.save(out.filePath(stem + ".png"));
        screen.save(out.filePath(stem + "-screen.png"));
        ADD_FAILURE() << c.reader << " " << c.lesson.file << ": of " << cmp.ink
                      << " drawn screen pixels " << cmp.missing << " are missing, and " << cmp.extra
                      << " drawn pixels are not on the screen (at most " << allowed
                      << " each); see " << out.filePath(stem + ".png").toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Lessons, MetafileReaders, ::testing::ValuesIn(Cases()),
                         [](const auto& param) {
                             return std::string(param.param.reader) + "_" + param.param.lesson.file;
                         });

namespace {

// A ruler recorded at each screen resolution the tests use: two upright ticks 10 LE apart.
// Each program turns the metafiles into PDF (one run for all), and pdftoppm draws that at
// 254 dpi, 100 pixels per centimetre, where the ticks' distance in pixels is 0.01 cm.
class Rulers {
public:
    static constexpr int Resolutions[] = {96, 120, 144, 192};

    static Rulers& Get() {
        static Rulers r;
        return r;
    }

    // The distance of the ticks in cm, per resolution, as the program shows it; empty with
    // the reason in why when it or pdftoppm is missing or failed.
    std::map<int, double> Measured(const QString& reader, std::string& why) {
        const QString out = dir_.filePath(reader + "-out");
        QDir().mkpath(out);
        QStringList args;
        if (reader == QLatin1String("inkscape"))
            args << "--export-type=pdf"; // file.emf becomes file.pdf beside it
        else
            args << "--headless"
                 << "--convert-to"
                 << "pdf"
                 << "--outdir" << out;
        for (int ppi : Resolutions)
            args << Stem(ppi) + ".emf";
        if (!RunReader(reader, args, dir_.filePath(reader + "-home"), why)) return {};
        const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
        if (pdftoppm.isEmpty()) {
            why = "pdftoppm (poppler-utils) is not installed";
            return {};
        }
        std::map<int, double> cm;
        for (int ppi : Resolutions) {
            const QString name = QFileInfo(Stem(ppi)).fileName();
            const QString pdf = reader == QLatin1String("inkscape")
                                    ? Stem(ppi) + ".pdf"
                                    : QDir(out).filePath(name + ".pdf");
            const QString png = QDir(out).filePath(name + "-254");
            QProcess p;
            p.start(pdftoppm, {"-r", "254", "-png", "-singlefile", pdf, png});
            if (!p.waitForFinished(60000) || p.exitCode() != 0) {
                why = "pdftoppm failed on " + pdf.toStdString();
                return {};
            }
            cm[ppi] = TickDistance(QImage(png + ".png")) / 100;
        }
        return cm;
    }

private:
    Rulers() {
        for (int ppi : Resolutions) {
            PixelsPerInchScope scope(ppi);
            TTurtle t;
            const int perLE = t.PixelPerLE();
            t.SetSize(14 * perLE, 4 * perLE);
            t.Repaint();
            t.SetFilename(Stem(ppi).toStdString());
            t.SetAusgabe(tdWMF);
            Prepare(t);
            for (double x : {-5.0, 5.0}) {
                t.SetPosition(x, -1);
                t.Forwd(2);
            }
            t.SetAusgabe(tdScreen);
            QFile::rename(Stem(ppi) + ".wmf", Stem(ppi) + ".emf");
        }
    }
    QString Stem(int ppi) const { return dir_.filePath(QStringLiteral("lineal-%1").arg(ppi)); }

    // The distance in pixels between the centres of the two columns of ink (weighted by how
    // dark each column is), or -1 when there are not two.
    static double TickDistance(const QImage& image) {
        std::vector<double> dark(std::max(image.width(), 0), 0.0);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark[x] += 255 - qGray(image.pixel(x, y));
        std::vector<double> centres;
        double sum = 0, moment = 0;
        for (int x = 0; x <= image.width(); ++x) {
            const double d = x < image.width() ? dark[x] : 0;
            if (d > 0) {
                sum += d;
                moment += d * x;
            } else if (sum > 0) {
                centres.push_back(moment / sum);
                sum = moment = 0;
            }
        }
        return centres.size() == 2 ? centres[1] - centres[0] : -1;
    }

    QTemporaryDir dir_;
};

class MetafileTrueSize : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(MetafileTrueSize, TenLEAreTenCentimetresAtEveryResolution) {
    std::string why;
    const auto cm = Rulers::Get().Measured(QString::fromLatin1(GetParam()), why);
    SKIP_OR_FAIL_IF(cm.empty() ? why : "");
    for (const auto& [ppi, measured] : cm)
        EXPECT_NEAR(measured, 10.0, 0.01) << GetParam() << " at " << ppi << " ppi";
}

INSTANTIATE_TEST_SUITE_P(Readers, MetafileTrueSize, ::testing::Values("inkscape", "soffice"));
