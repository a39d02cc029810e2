#include "Dialogs.h"

#include "Application.h"
#include "Strings.h"

#include <QApplication>
#include <QInputDialog>

#include <limits>

namespace kritzel {

namespace {

// A dialog needs widgets on a screen somebody looks at; elsewhere nobody could answer.
bool CanAsk() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
           Application().HasDisplay();
}

QString Title() {
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Kritzel-Werk") : name;
}

} // namespace

double AskNumber(const TString& Prompt, double Default) {
    CheckGuiThread();
    if (!CanAsk()) return Default;
    bool ok = false;
    constexpr double Most = std::numeric_limits<double>::max();
    const double value = QInputDialog::getDouble(Application().MainForm(), Title(),
                                                 ToUnicode(Prompt), Default, -Most, Most, 6, &ok);
    return ok ? value : Default;
}

TString AskText(const TString& Prompt, const TString& Default) {
    CheckGuiThread();
    if (!CanAsk()) return Default;
    bool ok = false;
    const QString value =
        QInputDialog::getText(Application().MainForm(), Title(), ToUnicode(Prompt),
                              QLineEdit::Normal, ToUnicode(Default), &ok);
    return ok ? FromUnicode(value) : Default;
}

} // namespace kritzel
