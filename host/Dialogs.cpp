#include "Dialogs.h"

#include "Application.h"
#include "Strings.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

namespace kritzel {

namespace {

// One question to the pupil: a number from min to max, or a text, and its answer.
struct Question {
    QString prompt;
    bool number = false;
    double value = 0, min = 0, max = 0;
    QString text;
};

// A dialog needs widgets on a screen somebody looks at; elsewhere nobody could answer.
bool CanAsk() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
           Application().HasDisplay();
}

// Shows a number as short as it reads back the same: "5", "0.1", "0.3333333333333333", in the
// spin box's locale and without group separators, as the spin box takes it.
class ShortestSpinBox : public QDoubleSpinBox {
public:
    ShortestSpinBox() {
        // As many decimals as a double has, so that no value is rounded on the way.
        setDecimals(DBL_MAX_10_EXP + DBL_DIG);
    }
    QString textFromValue(double v) const override {
        QString s = locale().toString(v, 'f', QLocale::FloatingPointShortest);
        if (!isGroupSeparatorShown()) s.remove(locale().groupSeparator());
        return s;
    }
};

// The window that asks: the active one, else the main form, else the first one shown (a
// form made in Designer is a plain widget, and without a window manager none is active).
QWidget* Asker() {
    if (QWidget* w = QApplication::activeWindow()) return w;
    if (QWidget* w = Application().MainForm()) return w;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isWindow() && w->isVisible() && !qobject_cast<QDialog*>(w)) return w;
    return nullptr;
}

// A modal dialog over the asking window, titled with its caption; true on OK. Made on the
// heap and watched: a handler that runs meanwhile may delete the window, and the dialog
// with it.
bool AskInDialog(Question& q) {
    QWidget* parent = Asker();
    const QString caption = parent ? parent->windowTitle() : QString();
    QPointer<QDialog> dialog = new QDialog(parent);
    dialog->setWindowTitle(caption.isEmpty() ? QStringLiteral("Kritzel-Werk") : caption);
    auto* layout = new QVBoxLayout(dialog);
    auto* label = new QLabel(q.prompt);
    label->setWordWrap(true);
    layout->addWidget(label);
    ShortestSpinBox* number = nullptr;
    QLineEdit* text = nullptr;
    if (q.number) {
        number = new ShortestSpinBox;
        // The spin box has no infinities and no "not a number": its widest range is finite.
        number->setRange(std::max(q.min, -DBL_MAX), std::min(q.max, DBL_MAX));
        number->setValue(std::isnan(q.value) ? std::clamp(0.0, number->minimum(), number->maximum())
                                             : q.value);
        layout->addWidget(number);
    } else {
        text = new QLineEdit(q.text);
        layout->addWidget(text);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    const bool ok = dialog->exec() == QDialog::Accepted;
    if (!dialog) return false;
    if (ok && number) q.value = number->value();
    if (ok && text) q.text = text->text();
    delete dialog;
    return ok;
}

// The answers given beforehand to a program without a display (KRITZEL_ANSWERS, one a
// line): the n-th answer goes to the n-th question, told apart by its prompt and whether
// it asks for a number. A question asked again, as a drawing asks on every repaint and
// once more when its picture is kept, gets the answer it got before, so that the drawings
// agree. Once the answers have run out, a new question keeps its start value.
class GivenAnswers {
public:
    std::optional<QString> For(const Question& q) {
        const QString given = qEnvironmentVariable("KRITZEL_ANSWERS");
        if (given != source_) Read(given);
        const QString key =
            (q.number ? QStringLiteral("number:") : QStringLiteral("text:")) + q.prompt;
        if (const auto before = answered_.find(key); before != answered_.end()) return *before;
        if (next_ < lines_.size()) return answered_[key] = lines_[next_++];
        return std::nullopt;
    }

private:
    void Read(const QString& given) {
        source_ = given;
        lines_ = given.split(QLatin1Char('\n'));
        // A last line break ends the last answer.
        if (!lines_.isEmpty() && lines_.back().isEmpty()) lines_.removeLast();
        for (QString& line : lines_)
            if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        next_ = 0;
        answered_.clear();
    }

    QString source_;
    QStringList lines_;
    qsizetype next_ = 0;
    QHash<QString, QString> answered_;
};

// Takes a given answer, or says on standard error why the question keeps its start value.
void TakeGiven(Question& q, const QString& given) {
    if (!q.number) {
        q.text = given;
        return;
    }
    // A decimal comma, as the pupil's own locale may write it, is a point.
    QString written = given.trimmed();
    if (!written.contains(QLatin1Char('.'))) written.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(written, &ok);
    QString why;
    if (!ok || !std::isfinite(v))
        why = QStringLiteral("is not a number");
    else if (v < q.min || v > q.max)
        why = QStringLiteral("lies outside %1 to %2").arg(q.min).arg(q.max);
    else {
        q.value = v;
        return;
    }
    std::fprintf(stderr,
                 "Kritzel-Werk: the given answer \"%s\" to \"%s\" %s: the question keeps its "
                 "start value %s\n",
                 qPrintable(given), qPrintable(q.prompt), qPrintable(why),
                 qPrintable(QString::number(q.value)));
    std::fflush(stderr);
}

// Where the answers come from, for every question: a dialog on a display; without one
// nobody could answer there, and the question gets the next answer given beforehand, or
// else what it starts at, at once and as OK.
bool Answer(Question& q) {
    if (CanAsk()) return AskInDialog(q);
    static GivenAnswers given;
    if (const std::optional<QString> answer = given.For(q)) TakeGiven(q, *answer);
    return true;
}

} // namespace

bool QueryNumber(const TString& Prompt, double& Value, double Min, double Max) {
    CheckGuiThread();
    double lo = std::isnan(Min) ? -HUGE_VAL : Min, hi = std::isnan(Max) ? HUGE_VAL : Max;
    if (lo > hi) std::swap(lo, hi);
    if (!std::isnan(Value)) Value = std::clamp(Value, lo, hi);
    Question q{ToUnicode(Prompt), true, Value, lo, hi, {}};
    if (!Answer(q)) return false;
    Value = q.value;
    return true;
}

double AskNumber(const TString& Prompt, double Default, double Min, double Max) {
    double value = Default;
    QueryNumber(Prompt, value, Min, Max);
    return value;
}

double AskNumber(const TString& Prompt, double Default) {
    return AskNumber(Prompt, Default, -HUGE_VAL, HUGE_VAL);
}

bool QueryText(const TString& Prompt, TString& Value) {
    CheckGuiThread();
    Question q{ToUnicode(Prompt), false, 0, 0, 0, ToUnicode(Value)};
    if (!Answer(q)) return false;
    Value = FromUnicode(q.text);
    return true;
}

TString AskText(const TString& Prompt, const TString& Default) {
    TString value = Default;
    QueryText(Prompt, value);
    return value;
}

} // namespace kritzel
