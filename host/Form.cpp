#include "Form.h"

#include "Application.h"
#include "Strings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLayout>

namespace kritzel {

TForm::TForm(const TString& caption, QWidget* parent) : QWidget(parent) {
    SetCaption(caption);
    if (!parent && !Application().MainForm()) Application().SetMainForm(this);
}

TString TForm::Caption() const {
    return FromUnicode(windowTitle());
}

void TForm::SetCaption(const TString& caption) {
    setWindowTitle(ToUnicode(caption));
}

void TForm::Show() {
    if (!testAttribute(Qt::WA_Resized)) {
        if (layout())
            adjustSize();
        else {
            const QRect r = childrenRect();
            if (!r.isEmpty()) resize(r.right() + 1 + r.left(), r.bottom() + 1 + r.top());
        }
    }
    show();
}

void TForm::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted() && Application().MainForm() == this) Application().Terminate();
}

} // namespace kritzel
