// Sending the demo's drawing to the printer, a metafile file or the clipboard, and the
// sentence its status bar shows about it.
#pragma once

#include <kritzelwerk/Turtle.h>

#include <QString>

#include <functional>

namespace demo {

// The save dialog's file types: the enhanced metafile first, which every drawing
// program reads by that ending; ".wmf" is the name the turtle itself gives.
extern const QString MetafileFilters;

// The name the user chose, with the ending of the chosen file type added when it has
// none.
QString MetafileName(const QString& chosen, const QString& filter);

// Draws once on the device with no delay and returns to the screen. For tdWMF the
// picture ends up in `file`, whatever its ending. Returns what happened, or what failed,
// for the status bar; an empty text when the window is closing.
QString Output(kritzel::TTurtle& t, kritzel::TTurtleDevice device,
               const std::function<void()>& draw, const QString& file = {});

} // namespace demo
