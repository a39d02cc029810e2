// Small modal dialogs that ask the pupil for a value.
#pragma once

#include "Export.h"
#include "Types.h"

namespace kritzel {

/// Asks for a number in a small modal dialog with the text Prompt, starting at Default;
/// Cancel gives Default. Without a display (grading, CI) it returns Default at once.
KRITZELWERK_EXPORT double AskNumber(const TString& Prompt, double Default);

/// Asks for a text in a small modal dialog with the text Prompt, starting at Default;
/// Cancel gives Default. Without a display (grading, CI) it returns Default at once.
KRITZELWERK_EXPORT TString AskText(const TString& Prompt, const TString& Default);

} // namespace kritzel
