// Sending the demo's drawing to a file, the printer or the clipboard, and the sentence its
// status bar shows about it.
#pragma once

#include <kritzelwerk/Turtle.h>

#include <QString>

#include <functional>

namespace demo {

// The save dialog's file types, every format the library writes in the order of its
// table: "PNG image (*.png);;…".
QString SaveFilters();

// The name the user chose, with the usual ending of the chosen file type added when it has
// none.
QString SaveName(const QString& chosen, const QString& filter);

// Saves the drawing under file, in the format its ending chooses. Returns what happened, or
// what failed, for the status bar; an empty text when the window is closing.
QString Save(kritzel::TTurtle& t, const QString& file);

// Draws once on the printer or the clipboard with no delay and returns to the screen.
// Returns what happened, or what failed, for the status bar; an empty text when the window
// is closing.
QString Output(kritzel::TTurtle& t, kritzel::TTurtleDevice device,
               const std::function<void()>& draw);

} // namespace demo
