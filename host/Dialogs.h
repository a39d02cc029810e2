// Small modal dialogs that ask the pupil for a value.
#pragma once

#include "Export.h"
#include "Types.h"

#include <limits>

namespace kritzel {

/// Asks for a number in a small modal dialog with the text Prompt.
/// It starts at Default, shown as short as it reads back: 5 as "5", 0.1 as "0.1".
/// The dialog's title is the caption of the window that asks,
/// or "Kritzel-Werk" when it has none.
/// Cancel gives Default too; `QueryNumber` tells Cancel from OK.
/// Without a display (grading, CI) it returns Default at once,
/// or the next line of `KRITZEL_ANSWERS` where that is set,
/// one line per question, in the order they are asked;
/// a question asked again (the same Prompt) gets the same answer.
/// A line that is no number leaves Default, and says so on standard error.
KRITZELWERK_EXPORT double AskNumber(const TString& Prompt, double Default);

/// Asks for a number from Min to Max,
/// as Python's `numinput(title, prompt, default, minval, maxval)` does:
/// the dialog takes no other. Default is moved into the range first,
/// also for Cancel and without a display.
/// Min above Max are taken the other way round;
/// a bound that is not a number is no bound.
/// A line of `KRITZEL_ANSWERS` outside the range leaves Default.
KRITZELWERK_EXPORT double AskNumber(const TString& Prompt, double Default, double Min, double Max);

/// Asks for a number as `AskNumber` does,
/// starting at Value (moved into Min to Max first). True on OK,
/// with the answer in Value; false on Cancel,
/// with Value only moved into the range (where Python's `numinput` gives `None`).
/// Without a display it answers at once, as OK,
/// with the next line of `KRITZEL_ANSWERS` (as `AskNumber`) or else Value.
KRITZELWERK_EXPORT bool QueryNumber(const TString& Prompt, double& Value,
                                    double Min = -std::numeric_limits<double>::infinity(),
                                    double Max = std::numeric_limits<double>::infinity());

/// Asks for a text in a small modal dialog with the text Prompt,
/// starting at Default, titled as `AskNumber` is. Cancel gives Default too;
/// `QueryText` tells Cancel from OK.
/// Without a display (grading, CI) it returns Default at once,
/// or the next line of `KRITZEL_ANSWERS` where that is set.
KRITZELWERK_EXPORT TString AskText(const TString& Prompt, const TString& Default);

/// Asks for a text as `AskText` does, starting at Value. True on OK,
/// with the answer in Value; false on Cancel,
/// with Value as it was (where Python's `textinput` gives `None`).
/// Without a display it answers at once, as OK,
/// with the next line of `KRITZEL_ANSWERS` or else Value.
KRITZELWERK_EXPORT bool QueryText(const TString& Prompt, TString& Value);

} // namespace kritzel
