// The demo's output: the metafile saved under the name the user chose, and the sentence
// its status bar shows for each output and each failure.
#include "Output.h"
#include "metafile.h"
#include "support.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>

using namespace kritzel;
using namespace kritzel::test;

TEST(DemoOutput, TheEnhancedMetafileComesFirstAndANameWithoutEndingGetsTheChosenOne) {
    EXPECT_TRUE(demo::MetafileFilters.startsWith(QStringLiteral("Enhanced Metafile (*.emf)")));
    EXPECT_EQ(demo::MetafileName("/a/haus2", "Enhanced Metafile (*.emf)"), "/a/haus2.emf");
    EXPECT_EQ(demo::MetafileName("/a/haus2", "Metafile (*.wmf)"), "/a/haus2.wmf");
    EXPECT_EQ(demo::MetafileName("/a/haus2.emf", "Metafile (*.wmf)"), "/a/haus2.emf");
}

TEST(DemoOutput, AMetafileIsSavedUnderTheChosenNameAndTheStatusSaysWhatHappened) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Painted t;
    auto draw = [&] { t.Forwd(2); };
    for (const char* name : {"haus2.emf", "haus3.wmf", "Haus4.EMF"}) {
        const QString file = dir.filePath(QString::fromLatin1(name));
        EXPECT_EQ(demo::Output(t, tdWMF, draw, file), "Gespeichert als " + file);
        const Emf emf(ReadFile(file));
        ASSERT_FALSE(HasFatalFailure()) << name;
        EXPECT_EQ(emf.OfType(U_EMR_LINETO).size(), 1u) << name;
    }
    // Nothing else is left beside them.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(t.Device(), tdScreen);

    const QString nowhere = dir.filePath(QStringLiteral("fehlt/haus.emf"));
    const QString failed = demo::Output(t, tdWMF, draw, nowhere);
    EXPECT_TRUE(failed.startsWith(QStringLiteral("Nicht gespeichert: "))) << failed.toStdString();
    EXPECT_TRUE(failed.contains(QStringLiteral("fehlt"))) << "names the file";
    EXPECT_EQ(t.Device(), tdScreen);

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
