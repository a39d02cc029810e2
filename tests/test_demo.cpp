// The demo's output: the drawing saved under the name the user chose, and the sentence
// its status bar shows for each output and each failure.
#include "Output.h"
#include "metafile.h"
#include "support.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>

using namespace kritzel;
using namespace kritzel::test;

TEST(DemoOutput, TheDialogOffersTheLibrarysFormatsAndANameWithoutEndingGetsTheChosenOne) {
    const QStringList filters = demo::SaveFilters().split(QStringLiteral(";;"));
    EXPECT_EQ(filters.size(), qsizetype(PictureFormats().size()));
    EXPECT_EQ(filters.first(), "PNG image (*.png)");
    EXPECT_TRUE(filters.contains("Enhanced Metafile (*.emf)"));
    EXPECT_EQ(demo::SaveName("/a/haus2", "Enhanced Metafile (*.emf)"), "/a/haus2.emf");
    EXPECT_EQ(demo::SaveName("/a/haus2", "Metafile (*.wmf)"), "/a/haus2.wmf");
    EXPECT_EQ(demo::SaveName("/a/haus2.emf", "Metafile (*.wmf)"), "/a/haus2.emf");
}

TEST(DemoOutput, TheDrawingIsSavedUnderTheChosenNameAndTheStatusSaysWhatHappened) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Painted t;
    auto draw = [&] { t.Forwd(2); };
    t.SetOnStartPaint(draw);
    for (const char* name : {"haus2.emf", "haus3.wmf", "Haus4.EMF"}) {
        const QString file = dir.filePath(QString::fromLatin1(name));
        EXPECT_EQ(demo::Save(t, file), "Gespeichert als " + file);
        const Emf emf(ReadFile(file));
        ASSERT_FALSE(HasFatalFailure()) << name;
        EXPECT_EQ(emf.OfType(U_EMR_LINETO).size(), 1u) << name;
    }
    const QString png = dir.filePath(QStringLiteral("haus5.png"));
    EXPECT_EQ(demo::Save(t, png), "Gespeichert als " + png);
    EXPECT_FALSE(QImage(png).isNull());
    // Nothing else is left beside them.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 4);
    EXPECT_EQ(t.Device(), tdScreen);

    const QString nowhere = dir.filePath(QStringLiteral("fehlt/haus.emf"));
    const QString failed = demo::Save(t, nowhere);
    EXPECT_TRUE(failed.startsWith(QStringLiteral("Nicht gespeichert: "))) << failed.toStdString();
    EXPECT_TRUE(failed.contains(QStringLiteral("fehlt"))) << "names the file";

    EXPECT_EQ(demo::Output(t, tdClipb, draw), "In die Zwischenablage kopiert");
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->data("image/emf").isEmpty());

    const QString pdf = dir.filePath(QStringLiteral("blatt.pdf"));
    Printer().SetFileName(pdf.toStdString());
    EXPECT_EQ(demo::Output(t, tdPrinter, draw), "Gedruckt in die Datei " + pdf);
    Printer().SetFileName(dir.filePath(QStringLiteral("fehlt/blatt.pdf")).toStdString());
    EXPECT_TRUE(demo::Output(t, tdPrinter, draw).startsWith(QStringLiteral("Nicht gedruckt: ")));
    Printer().SetFileName("");
    EXPECT_TRUE(QFile::exists(pdf));
}
