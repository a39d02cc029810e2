// The Kritzel-Werk demo: a teacher picks a lesson drawing, slows it down, breaks it off
// with Escape and starts it again. Without a display it renders every lesson into PNG
// files and prints the folder's path.
#include "Lessons.h"
#include "Output.h"

#include <kritzelwerk/Turtle.h>
#include <kritzelwerk/host/Snapshot.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <string>

using namespace kritzel;

namespace {

QColor ToQt(TColor c) {
    return ToQColor(c);
}

void ShowColor(QPushButton* b, TColor c) {
    const QColor q = ToQt(c);
    const QString text = q.lightness() < 128 ? QStringLiteral("white") : QStringLiteral("black");
    b->setStyleSheet(QStringLiteral("background-color: %1; color: %2").arg(q.name(), text));
}

// Renders every lesson into folder and prints its path; each file is written whole or not
// at all, so an interrupted run leaves no half-written picture. Without a display and
// without --render the folder is the default, and the line says why no window opened.
int RenderAll(const QString& folder, bool forLackOfDisplay) {
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "kritzelwerk-demo: cannot create the folder %s\n", qPrintable(folder));
        return 1;
    }
    TForm form("Kritzel-Werk");
    TTurtle turtle(&form);
    turtle.SetSize(480, 480);
    for (const auto& lesson : lessons::All()) {
        turtle.SetOnStartPaint([&] {
            turtle.SetHeading(North);
            turtle.SetPenColor(clBlack);
            turtle.SetPenWidth(1);
            turtle.SetPenState(Down);
            lessons::Run(lesson, turtle);
        });
        turtle.Repaint();
        const QString path = QDir(folder).filePath(ToUnicode(lesson.file) + ".png");
        try {
            SavePicture(turtle.Picture(), path);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "kritzelwerk-demo: %s\n", e.what());
            return 1;
        }
    }
    std::printf(forLackOfDisplay ? "No display: the %zu lesson drawings are in %s\n"
                                 : "The %zu lesson drawings are in %s\n",
                lessons::All().size(), qPrintable(QDir(folder).absolutePath()));
    return 0;
}

class DemoWindow : public TForm {
public:
    DemoWindow() : TForm("Kritzel-Werk") {
        auto* outer = new QVBoxLayout(this);
        auto* layout = new QHBoxLayout;
        outer->addLayout(layout, 1);
        // What the last output did, or what failed.
        messages = new QStatusBar;
        messages->setSizeGripEnabled(false);
        outer->addWidget(messages);
        turtle = new TTurtle(this);
        turtle->SetSize(560, 560);
        turtle->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(turtle, 1);

        auto* panel = new QVBoxLayout;
        layout->addLayout(panel);
        panel->addWidget(new QLabel(QStringLiteral("Zeichnung:")));
        choice = new QComboBox;
        for (const auto& l : lessons::All())
            choice->addItem(ToUnicode(l.name));
        panel->addWidget(choice);

        auto* start = new QPushButton(QStringLiteral("Zeichnen"));
        panel->addWidget(start);
        panel->addWidget(new QLabel(QStringLiteral("Esc bricht eine Zeichnung ab.")));

        delayLabel = new QLabel;
        panel->addWidget(delayLabel);
        delay = new QSlider(Qt::Horizontal);
        delay->setRange(0, 500);
        panel->addWidget(delay);

        showTurtle = new QCheckBox(QStringLiteral("Turtle zeigen"));
        showTurtle->setChecked(true);
        panel->addWidget(showTurtle);

        auto* widthRow = new QHBoxLayout;
        widthRow->addWidget(new QLabel(QStringLiteral("Stiftbreite:")));
        penWidth = new QSpinBox;
        penWidth->setRange(1, 20);
        widthRow->addWidget(penWidth);
        panel->addLayout(widthRow);

        penColor = new QPushButton(QStringLiteral("Stiftfarbe"));
        backColor = new QPushButton(QStringLiteral("Hintergrund"));
        turtleColor = new QPushButton(QStringLiteral("Turtlefarbe"));
        for (auto* b : {penColor, backColor, turtleColor})
            panel->addWidget(b);
        ShowColor(penColor, pen);
        ShowColor(backColor, turtle->BackColor());
        ShowColor(turtleColor, turtle->TurtleColor());

        // The print dialog chooses the printer, the copies or a PDF file; printing at once
        // takes the printer chosen last (the default one at first), one copy, no questions.
        auto* print = new QPushButton(QStringLiteral("Drucken …"));
        auto* printNow = new QPushButton(QStringLiteral("Sofort drucken"));
        printNow->setToolTip(QStringLiteral("Ohne Nachfrage auf dem zuletzt gewählten Drucker"));
        auto* save = new QPushButton(QStringLiteral("Speichern …"));
        auto* copy = new QPushButton(QStringLiteral("In die Zwischenablage"));
        for (auto* b : {print, printNow, save, copy})
            panel->addWidget(b);
        panel->addStretch(1);
        status = new QLabel;
        status->setFixedWidth(status->fontMetrics().horizontalAdvance(
                                  QStringLiteral("x = -000.00   y = -000.00   Richtung = 000.0°")) +
                              8);
        panel->addWidget(status);

        turtle->SetOnStartPaint([this] { DrawLesson(); });
        QObject::connect(start, &QPushButton::clicked, [this] { StartAgain(); });
        QObject::connect(choice, &QComboBox::currentIndexChanged, [this] { StartAgain(); });
        QObject::connect(delay, &QSlider::valueChanged, [this](int v) {
            turtle->SetDelay(std::uint16_t(v));
            delayLabel->setText(QStringLiteral("Verzögerung: %1 ms").arg(v));
        });
        QObject::connect(showTurtle, &QCheckBox::toggled,
                         [this](bool on) { turtle->SetShowTurtle(on); });
        QObject::connect(penWidth, &QSpinBox::valueChanged,
                         [this](int w) { turtle->SetPenWidth(w); });
        QObject::connect(penColor, &QPushButton::clicked, [this] {
            if (Pick(pen, "Stiftfarbe")) ShowColor(penColor, pen);
        });
        QObject::connect(backColor, &QPushButton::clicked, [this] {
            TColor c = turtle->BackColor();
            if (!Pick(c, "Hintergrundfarbe")) return;
            turtle->SetBackColor(c);
            ShowColor(backColor, c);
            turtle->Invalidate();
        });
        QObject::connect(turtleColor, &QPushButton::clicked, [this] {
            TColor c = turtle->TurtleColor();
            if (!Pick(c, "Turtlefarbe")) return;
            turtle->SetTurtleColor(c);
            ShowColor(turtleColor, c);
        });
        QObject::connect(print, &QPushButton::clicked, [this] { PrintWithDialog(); });
        QObject::connect(printNow, &QPushButton::clicked, [this] { PrintAtOnce(); });
        QObject::connect(save, &QPushButton::clicked, [this] {
            QString filter;
            const QString f =
                demo::SaveName(QFileDialog::getSaveFileName(
                                   this, QStringLiteral("Zeichnung speichern"),
                                   QStringLiteral("Kritzelwerk1"), demo::SaveFilters(), &filter),
                               filter);
            if (f.isEmpty()) return;
            const QString said = demo::Save(*turtle, f);
            if (!said.isEmpty()) messages->showMessage(said);
        });
        QObject::connect(copy, &QPushButton::clicked, [this] { Output(tdClipb); });

        auto* timer = new QTimer(this);
        QObject::connect(timer, &QTimer::timeout, [this] { UpdateStatus(); });
        timer->start(100);
        delay->setValue(0);
        delayLabel->setText(QStringLiteral("Verzögerung: 0 ms"));
        UpdateStatus();
    }

private:
    void DrawLesson() {
        turtle->EscPressed(); // forget a press that ended an earlier drawing
        turtle->SetHeading(North);
        turtle->SetPenColor(pen);
        turtle->SetPenWidth(penWidth->value());
        turtle->SetPenState(Down);
        drawing = true;
        struct Done {
            bool& flag;
            ~Done() { flag = false; }
        } done{drawing};
        lessons::Run(lessons::All()[size_t(std::max(choice->currentIndex(), 0))], *turtle);
    }

    // A new drawing: the running one is broken off first, as the turtle paints only one
    // picture at a time.
    void StartAgain() {
        if (drawing) {
            lessons::Stop();
            QTimer::singleShot(50, turtle, [this] { StartAgain(); });
            return;
        }
        turtle->Invalidate();
    }

    bool Pick(TColor& c, const char* title) {
        const QColor q = QColorDialog::getColor(ToQt(c), this, QString::fromUtf8(title));
        if (!q.isValid()) return false;
        c = FromQColor(q);
        return true;
    }

    void PrintWithDialog() {
        QPrinter chosen(QPrinter::HighResolution);
        Printer().PresetOn(chosen);
        QPrintDialog dialog(&chosen, this);
        dialog.setWindowTitle(QStringLiteral("Zeichnung drucken"));
        // One page: no page ranges to choose.
        dialog.setOptions(QAbstractPrintDialog::PrintToFile |
                          QAbstractPrintDialog::PrintShowPageSize);
        if (dialog.exec() != QDialog::Accepted) return;
        Printer().ChooseFrom(chosen);
        Output(tdPrinter);
    }

    // One copy on the printer chosen last, never into the file a dialog named.
    void PrintAtOnce() {
        const TString file = Printer().FileName();
        const int copies = Printer().Copies();
        Printer().SetFileName("");
        Printer().SetCopies(1);
        Output(tdPrinter);
        Printer().SetFileName(file);
        Printer().SetCopies(copies);
    }

    // Sends the drawing to another device and back to the screen, and says how it went.
    void Output(TTurtleDevice device) {
        const QString said = demo::Output(*turtle, device, [this] { DrawLesson(); });
        if (!said.isEmpty()) messages->showMessage(said);
    }

    void UpdateStatus() {
        // The heading keeps every turn; the status shows where the turtle points.
        double heading = std::fmod(turtle->Heading(), 360.0);
        if (heading < 0) heading += 360.0;
        status->setText(QStringLiteral("x = %1   y = %2   Richtung = %3°")
                            .arg(turtle->x(), 0, 'f', 2)
                            .arg(turtle->y(), 0, 'f', 2)
                            .arg(heading, 0, 'f', 1));
    }

    TTurtle* turtle;
    QComboBox* choice;
    QSlider* delay;
    QLabel* delayLabel;
    QCheckBox* showTurtle;
    QSpinBox* penWidth;
    QPushButton *penColor, *backColor, *turtleColor;
    QLabel* status;
    QStatusBar* messages;
    TColor pen = clBlack;
    bool drawing = false;
};

} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("The Kritzel-Werk turtle-graphics lesson drawings. Without a display, "
                       "or with --render, each drawing is saved as a PNG file."));
    const QCommandLineOption render(
        QStringLiteral("render"),
        QStringLiteral("Save every lesson drawing as a PNG file in <folder> instead of "
                       "opening the window (without a display: ./kritzelwerk-demo)."),
        QStringLiteral("folder"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help and end."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Print the version and end."));
    options.addOptions({render, help, version});
    // Neither asking nor a wrong option opens a window or writes a file.
    if (!options.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "kritzelwerk-demo: %s\n\n%s", qPrintable(options.errorText()),
                     qPrintable(options.helpText()));
        return 2;
    }
    if (options.isSet(help)) {
        std::printf("%s", qPrintable(options.helpText()));
        return 0;
    }
    if (options.isSet(version)) {
        std::printf("kritzelwerk-demo %s\n", KRITZEL_VERSION);
        return 0;
    }
    if (!options.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "kritzelwerk-demo: unexpected argument %s\n\n%s",
                     qPrintable(options.positionalArguments().first()),
                     qPrintable(options.helpText()));
        return 2;
    }
    if (options.isSet(render)) return RenderAll(options.value(render), false);
    if (!app.HasDisplay())
        return RenderAll(QDir::current().filePath(QStringLiteral("kritzelwerk-demo")), true);
    DemoWindow window;
    window.Show();
    return app.Run();
}
