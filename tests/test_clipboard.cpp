// The recorded picture on the clipboard: read back in-process, and under a private X
// server as another program (xclip) sees it.
#include "support.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

using namespace kritzel;
using namespace kritzel::test;

namespace {

void Drawing(TTurtle& t) {
    t.SetPenColor(clBlue);
    t.SetPenWidth(2);
    for (int i = 0; i < 5; ++i) {
        t.Forwd(3);
        t.Left(144);
    }
    t.FillCircle(0.5, clRed);
}

// The bytes a tdWMF recording of the same drawing writes to its file.
QByteArray RecordedFile(const QTemporaryDir& dir) {
    Painted t;
    t.SetFilename(dir.filePath("bild").toStdString());
    t.SetAusgabe(tdWMF);
    Drawing(t);
    t.SetAusgabe(tdScreen);
    return ReadFile(dir.filePath("bild.wmf"));
}

// The screen picture of the drawing, without the sprite.
QImage ScreenPicture() {
    Painted t(Sprite::Hidden);
    Drawing(t);
    return t.Picture().convertToFormat(QImage::Format_RGB32);
}

void CopyToClipboard(TTurtle& t) {
    t.SetAusgabe(tdClipb);
    Drawing(t);
    t.SetAusgabe(tdScreen);
}

} // namespace

TEST(Clipboard, ARecordingEndsOnTheClipboardAsEmfAndABitmap) {
    QTemporaryDir dir;
    const QByteArray file = RecordedFile(dir);
    ASSERT_GT(file.size(), 100);
    QGuiApplication::clipboard()->clear();
    Painted t;
    t.SetFilename(dir.filePath("nicht").toStdString());
    CopyToClipboard(t);
    EXPECT_FALSE(QFile::exists(dir.filePath("nicht.wmf"))) << "the clipboard, not a file";

    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat("image/emf"));
    EXPECT_TRUE(data->hasFormat("image/x-emf"));
    EXPECT_TRUE(data->hasImage());
    EXPECT_EQ(data->data("image/emf"), file) << "the same metafile as in the file";
    EXPECT_EQ(data->data("image/x-emf"), file);
    const QImage image =
        qvariant_cast<QImage>(data->imageData()).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(DifferingPixels(image, ScreenPicture()), 0);
    // The turtle is back on the screen.
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_TRUE(t.Showing());
    EXPECT_GT(CountColor(t.Picture(), clRed), 0);
}

TEST(Clipboard, EachRecordingReplacesThePictureBefore) {
    Painted t;
    t.SetAusgabe(tdClipb);
    t.Forwd(1);
    t.SetAusgabe(tdScreen);
    const QByteArray first = QGuiApplication::clipboard()->mimeData()->data("image/emf");
    t.SetAusgabe(tdClipb);
    t.Forwd(1);
    t.Left(90);
    t.Forwd(1);
    t.SetAusgabe(tdScreen);
    const QByteArray second = QGuiApplication::clipboard()->mimeData()->data("image/emf");
    EXPECT_FALSE(first.isEmpty());
    EXPECT_GT(second.size(), first.size());
}

// ---------------------------------------------------------------------------------------
// As another program sees it, under scripts/with-xvfb

namespace {

// Why other programs cannot be asked here; empty on an X display with xclip.
std::string NoX11OrXclip() {
    if (!Application().HasDisplay() || QGuiApplication::platformName() != "xcb")
        return "no X display: run through scripts/with-xvfb";
    return MissingTool("xclip", "xclip");
}

// Runs xclip while this process, the clipboard's owner, keeps answering the X server.
QByteArray Xclip(const QStringList& args, int* exitCode) {
    QProcess p;
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    p.start(QStringLiteral("xclip"), QStringList{"-selection", "clipboard"} + args);
    if (p.state() != QProcess::NotRunning) loop.exec();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(1000);
        *exitCode = -1;
        return {};
    }
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

} // namespace

TEST(ClipboardX11, OtherProgramsGetTheEmfAndAnImage) {
    SKIP_OR_FAIL_IF(NoX11OrXclip());
    QTemporaryDir dir;
    const QByteArray file = RecordedFile(dir);
    ASSERT_GT(file.size(), 100);
    TForm form("Zwischenablage");
    TTurtle t(&form);
    form.Show();
    t.Repaint();
    CopyToClipboard(t);

    int rc = 0;
    const QByteArray targets = Xclip({"-t", "TARGETS", "-o"}, &rc);
    ASSERT_EQ(rc, 0);
    const QList<QByteArray> list = targets.split('\n');
    EXPECT_TRUE(list.contains("image/emf")) << targets.toStdString();
    EXPECT_TRUE(list.contains("image/x-emf")) << targets.toStdString();
    EXPECT_TRUE(list.contains("image/png")) << targets.toStdString();

    EXPECT_EQ(Xclip({"-t", "image/emf", "-o"}, &rc), file);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(Xclip({"-t", "image/x-emf", "-o"}, &rc), file);
    const QByteArray png = Xclip({"-t", "image/png", "-o"}, &rc);
    EXPECT_EQ(rc, 0);
    QImage image;
    ASSERT_TRUE(image.loadFromData(png, "PNG"));
    EXPECT_EQ(DifferingPixels(image.convertToFormat(QImage::Format_RGB32), ScreenPicture()), 0);
}

TEST(ClipboardX11, LibreOfficeDrawPastesAVectorPictureOfTheTrueSize) {
    SKIP_OR_FAIL_IF(NoX11OrXclip());
    SKIP_OR_FAIL_IF(MissingTool("soffice", "libreoffice-draw"));
    PixelsPerInchScope ppi(96);
    TForm form("Zwischenablage");
    TTurtle t(&form);
    form.Show();
    t.Repaint();
    CopyToClipboard(t);

    // LibreOffice pastes while this process, the clipboard's owner, answers it.
    QProcess p;
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(240000, &loop, &QEventLoop::quit);
    p.start(QStringLiteral(KRITZEL_LO_PASTE), {});
    if (p.state() != QProcess::NotRunning) loop.exec();
    if (p.state() != QProcess::NotRunning) p.kill();
    p.waitForFinished(5000);
    const QString said = QString::fromUtf8(p.readAllStandardOutput());
    ASSERT_EQ(p.exitCode(), 0) << said.toStdString() << p.readAllStandardError().toStdString();

    // One picture, a vector one, of the drawing's true size: 400 pixels at 38 per LE are
    // 105.26 mm.
    const QStringList shapes = said.split('\n').filter(QRegularExpression("^shape "));
    ASSERT_EQ(shapes.size(), 1) << said.toStdString();
    const QStringList f = shapes.front().split(' ');
    ASSERT_EQ(f.size(), 6) << said.toStdString();
    EXPECT_EQ(f[1], "com.sun.star.drawing.GraphicObjectShape");
    EXPECT_EQ(f[5], "2") << "a vector picture, not a bitmap (1)";
    EXPECT_NEAR(f[2].toInt(), 10526, 5);
    EXPECT_NEAR(f[3].toInt(), 10526, 5);
}
