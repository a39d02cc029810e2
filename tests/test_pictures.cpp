// Each lesson drawing of the demo, rendered offscreen, against its reference picture.
// KRITZEL_UPDATE_PICTURES=1 writes the references anew (look at them before committing).
#include "Lessons.h"
#include "support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFontDatabase>

#include <QPainter>
#include <algorithm>
#include <ostream>

using namespace kritzel;
using namespace kritzel::test;

namespace lessons {
// A failing case names its lesson, not the bytes of the structure.
void PrintTo(const Lesson& lesson, std::ostream* os) {
    *os << lesson.file;
}
} // namespace lessons

namespace {

QImage Render(const lessons::Lesson& lesson) {
    PixelsPerInchScope ppi(96);
    TTurtle t;
    t.SetSize(480, 480);
    t.SetOnStartPaint([&] {
        t.SetHeading(North);
        t.SetPenColor(clBlack);
        t.SetPenWidth(1);
        t.SetPenState(Down);
        lesson.draw(t);
    });
    t.Repaint();
    return t.Picture().convertToFormat(QImage::Format_RGB32);
}

// Red where the pictures differ, the reference faded elsewhere.
QImage Difference(const QImage& actual, const QImage& expected) {
    QImage d(actual.size(), QImage::Format_RGB32);
    for (int y = 0; y < d.height(); ++y)
        for (int x = 0; x < d.width(); ++x) {
            const QRgb a = actual.pixel(x, y);
            const QRgb e = x < expected.width() && y < expected.height() ? expected.pixel(x, y) : 0;
            d.setPixel(x, y,
                       (a & 0xFFFFFF) == (e & 0xFFFFFF) ? qRgb(230, 230, 230) : qRgb(255, 0, 0));
        }
    return d;
}

class Pictures : public ::testing::TestWithParam<lessons::Lesson> {};

} // namespace

TEST_P(Pictures, MatchTheirReferencePixelForPixel) {
    const lessons::Lesson& lesson = GetParam();
    const QString reference = QDir(QStringLiteral(KRITZEL_PICTURES_DIR))
                                  .filePath(QString::fromStdString(lesson.file) + ".png");
    const QImage actual = Render(lesson);
    if (qEnvironmentVariable("KRITZEL_UPDATE_PICTURES") == QLatin1String("1")) {
        ASSERT_TRUE(actual.save(reference)) << reference.toStdString();
        GTEST_SKIP() << "reference written: " << reference.toStdString();
    }
    const QImage expected = QImage(reference).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(expected.isNull()) << "no reference picture " << reference.toStdString();
    const int differing = DifferingPixels(actual, expected);
    if (differing != 0) {
        const QDir out(QString::fromStdString(OutputDir()));
        const QString stem = QString::fromStdString(lesson.file);
        actual.save(out.filePath(stem + "-actual.png"));
        Difference(actual, expected).save(out.filePath(stem + "-difference.png"));
        ADD_FAILURE() << differing << " pixels differ from " << reference.toStdString() << "; see "
                      << out.filePath(stem + "-actual.png").toStdString() << " and "
                      << out.filePath(stem + "-difference.png").toStdString();
    }
}

TEST(PicturesCheck, AChangedDrawingIsCaught) {
    const QImage a = Render(lessons::All().front());
    QImage b = a;
    b.setPixel(10, 10, qRgb(1, 2, 3));
    EXPECT_EQ(DifferingPixels(a, b), 1);
    EXPECT_EQ(DifferingPixels(a, Render(lessons::All().front())), 0) << "rendering is repeatable";
}

TEST(PicturesCheck, TextSeesOnlyTheFontsTheInstallScriptInstalls) {
    // Anything else the machine has (another version of a font, say) would change the
    // text pixels; the tests' own font configuration names only these.
    const QStringList generic = {"Monospace", "Sans Serif", "Serif"}; // Qt's own names
    for (const QString& family : QFontDatabase::families())
        EXPECT_TRUE(family.startsWith(QLatin1String("DejaVu ")) ||
                    family.startsWith(QLatin1String("Liberation ")) || generic.contains(family))
            << family.toStdString() << ": is FONTCONFIG_FILE the tests' own?";
}

INSTANTIATE_TEST_SUITE_P(Lessons, Pictures, ::testing::ValuesIn(lessons::All()),
                         [](const auto& lesson) { return lesson.param.file; });

namespace {

// Reports one press of Escape at the n-th question, and counts the questions.
class OnePress : public TKeyboard {
public:
    explicit OnePress(int at) : at_(at) {}
    std::int16_t AsyncKeyState(int vk) override {
        if (vk != VK_ESCAPE) return 0;
        return ++asked_ == at_ ? 1 : 0;
    }
    int Asked() const { return asked_; }

private:
    int at_;
    int asked_ = 0;
};

} // namespace

TEST(Lessons, OnePressOfEscapeStopsARecursiveDrawingAtEveryLevel) {
    for (const char* file : {"koch", "baum"}) {
        const auto& all = lessons::All();
        const auto lesson = std::find_if(all.begin(), all.end(),
                                         [&](const lessons::Lesson& l) { return l.file == file; });
        ASSERT_NE(lesson, all.end());
        OnePress keys(20);
        ServicesScope scope(nullptr, nullptr, &keys);
        Painted t(Sprite::Hidden);
        lessons::Run(*lesson, t);
        EXPECT_EQ(keys.Asked(), 20) << file << ": nothing asks again once the press was seen";
        // A drawing started afterwards runs as usual.
        OnePress none(-1);
        scope.SetKeyboard(&none);
        lessons::Run(*lesson, t);
        EXPECT_GT(none.Asked(), 100) << file;
    }
}
