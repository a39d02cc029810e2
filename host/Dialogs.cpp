#include "Dialogs.h"

#include "Application.h"
#include "Strings.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>
#include <cfloat>
#include <cmath>
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

// Where the answers come from, for every question: a dialog on a display; without one
// nobody could answer, and the question is answered at once with what it starts at, as OK.
bool Answer(Question& q) {
    if (!CanAsk()) return true;
    return AskInDialog(q);
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
