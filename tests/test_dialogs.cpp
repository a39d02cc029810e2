// The questions to the pupil on a real display (run under a private X server): what the
// dialog shows, what OK and Cancel give, and, in a German lesson, Qt's own German buttons.
#include "support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

#include <functional>

using namespace kritzel;
using namespace kritzel::test;

namespace {

std::string NoDisplay() {
    return Application().HasDisplay() ? "" : "no display: run through scripts/with-xvfb";
}

// Hands the next modal dialog to answer once it is shown, while the question waits for it.
void WhenAsked(std::function<void(QDialog*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            answer(d);
        }
    });
    timer->start();
}

QAbstractButton* Button(QDialog* d, QDialogButtonBox::StandardButton which) {
    auto* box = d->findChild<QDialogButtonBox*>();
    return box ? box->button(which) : nullptr;
}

void Press(QDialog* d, QDialogButtonBox::StandardButton which) {
    if (QAbstractButton* b = Button(d, which))
        b->click();
    else
        d->reject();
}

} // namespace

TEST(Questions, ShowTheirStartAsShortAsItReadsBackUnderTheAskingWindowsCaption) {
    SKIP_OR_FAIL_IF(NoDisplay());
    QLocale::setDefault(QLocale::c());
    TForm form("Stunde 3");
    form.Show();
    struct Case {
        double start;
        const char* shown;
    };
    for (const Case& c : {Case{5, "5"}, Case{2.5, "2.5"}, Case{0.1, "0.1"},
                          Case{1.0 / 3, "0.3333333333333333"}, Case{-1e-7, "-0.0000001"}}) {
        SCOPED_TRACE(c.shown);
        QString title, shown;
        WhenAsked([&](QDialog* d) {
            title = d->windowTitle();
            if (auto* spin = d->findChild<QDoubleSpinBox*>()) shown = spin->text();
            Press(d, QDialogButtonBox::Ok);
        });
        double v = c.start;
        EXPECT_TRUE(QueryNumber("Wie viele?", v));
        EXPECT_EQ(v, c.start) << "OK on the start gives it back unchanged";
        EXPECT_EQ(shown.toStdString(), c.shown);
        EXPECT_EQ(title.toStdString(), "Stunde 3");
    }
}

TEST(Questions, AreTitledWithTheCaptionOfAFormMadeInDesigner) {
    SKIP_OR_FAIL_IF(NoDisplay());
    QWidget form; // a form of Designer's is a plain widget, not a TForm
    form.setWindowTitle(QStringLiteral("Stunde1"));
    form.show();
    QString title;
    WhenAsked([&](QDialog* d) {
        title = d->windowTitle();
        Press(d, QDialogButtonBox::Cancel);
    });
    AskText("Wie heisst du?", "Kim");
    EXPECT_EQ(title.toStdString(), "Stunde1");
}

TEST(Questions, TellCancelFromOkAndKeepToTheirBounds) {
    SKIP_OR_FAIL_IF(NoDisplay());
    QLocale::setDefault(QLocale::c());
    TForm form("Fragen");
    form.Show();

    double max = 0;
    WhenAsked([&](QDialog* d) {
        auto* spin = d->findChild<QDoubleSpinBox*>();
        max = spin ? spin->maximum() : 0;
        if (spin) spin->setValue(7.25);
        Press(d, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(AskNumber("Wie weit?", 50, 10, 0), 7.25) << "the bounds the other way round";
    EXPECT_EQ(max, 10);

    WhenAsked([](QDialog* d) { Press(d, QDialogButtonBox::Cancel); });
    EXPECT_EQ(AskNumber("Wie weit?", 50, 0, 10), 10) << "Cancel gives the start, in range";
    double v = 3;
    WhenAsked([](QDialog* d) { Press(d, QDialogButtonBox::Cancel); });
    EXPECT_FALSE(QueryNumber("Wie weit?", v));
    EXPECT_EQ(v, 3);

    TString name = "Kim";
    WhenAsked([](QDialog* d) {
        if (auto* edit = d->findChild<QLineEdit*>()) edit->setText(QStringLiteral("Jörg"));
        Press(d, QDialogButtonBox::Ok);
    });
    EXPECT_TRUE(QueryText("Wie heisst du?", name));
    EXPECT_EQ(name, "Jörg");
    WhenAsked([](QDialog* d) { Press(d, QDialogButtonBox::Cancel); });
    EXPECT_FALSE(QueryText("Wie heisst du?", name));
    EXPECT_EQ(name, "Jörg");
}

// Run with LANG=de_DE.UTF-8 (scripts/with-locale): Qt's dialogs speak German.
TEST(German, PrintAndNumberDialogsHaveGermanButtons) {
    SKIP_OR_FAIL_IF(NoDisplay());
    ASSERT_EQ(QLocale().language(), QLocale::German) << "not run in a German locale";
    TForm form("Stunde");
    form.Show();

    QString cancel, shown;
    WhenAsked([&](QDialog* d) {
        if (QAbstractButton* b = Button(d, QDialogButtonBox::Cancel)) cancel = b->text();
        if (auto* spin = d->findChild<QDoubleSpinBox*>()) shown = spin->text();
        Press(d, QDialogButtonBox::Cancel);
    });
    AskNumber("Wie viele Ecken?", 2.5);
    EXPECT_EQ(cancel.toStdString(), "Abbrechen");
    EXPECT_EQ(shown.toStdString(), "2,5");

    QString print;
    WhenAsked([&](QDialog* d) {
        if (QAbstractButton* b = Button(d, QDialogButtonBox::Ok)) print = b->text();
        d->reject();
    });
    QPrinter printer;
    QPrintDialog dialog(&printer, &form);
    dialog.exec();
    EXPECT_EQ(print.toStdString(), "&Drucken");
}
