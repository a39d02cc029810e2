// Two drawings compared as geometry in LE, as a teacher compares a pupil's drawing with the
// solution: whatever the order and direction of the strokes, whether a line is drawn in one
// piece or many, by Forwd or SetPosition, once or twice, and whether a curve is a circle or
// many short lines along it.
//
// How: every stroke (lines, circles, the outlines of outlined areas) is flattened to
// segments; each drawing's segments are sampled every tolerance/2 and each sample looks for
// the other drawing's segments within the tolerance that run its way (within 30 degrees, so
// that at a corner the stroke across it neither covers nor recolours it; through a uniform
// grid). A solution
// sample with none is missing, a submission sample with none is extra, one found only in
// another colour is in the wrong colour; the samples are then grouped back into runs along
// the strokes they came from, and each run is named in turtle terms. Areas (filled shapes
// and filled circles) match when their outlines lie within the tolerance of each other, and
// texts when they say the same at the same place.
#pragma once

#include "Drawing.h"

#include <string>
#include <vector>

namespace kritzel::vergleich {

/// The language of the messages.
enum class Language { German, English };

/// How two drawings are compared.
struct Options {
    /// How far apart, in LE, two strokes may lie and still be the same.
    double tolerance = 0.05;
    Language language = Language::German;
};

/// One thing that differs, named in turtle terms.
struct Difference {
    /// What kind: "missing-line", "extra-line", "short-side", "long-side", "colour",
    /// "missing-circle", "extra-circle", "missing-area", "extra-area", "area-colour",
    /// "missing-text", "extra-text", "text-colour", "text-place", "background".
    std::string kind;
    /// The message in the chosen language, positions in LE, numbers as a teacher writes them
    /// ("Linie von (0, 0) nach (3, 0) fehlt", "Seite 3 (von (3, 0) nach (3, 2)) ist 0,5 cm zu
    /// kurz": sides are numbered in the solution's drawing order and named by their ends).
    std::string text;
    /// What to paint in red (missing from the submission) and in blue (extra in it), as
    /// polylines in LE.
    std::vector<std::vector<Point>> missing, extra;
};

/// The outcome of a comparison.
struct Comparison {
    /// 0..100, from the geometry alone, counted by parts as a teacher marks them:
    /// 100 x credit / (the solution's parts + the submission's extra parts). The solution's
    /// parts are its sides (a line stroke's straight runs, split at corners of 20 degrees or
    /// more and where the colour changes; a curve of short steps is one part), its circles,
    /// its areas' outlines, its areas and its texts, each weighing the same, so that a fault
    /// in one side of a house is not diluted by the length of the rest. A part wholly there
    /// (all but the tolerance of it) in its colour gets 1, in another colour a half; one short,
    /// partly missing or moved gets nothing, since a side 0.5 cm short is as wrong to a
    /// teacher as one not drawn. Each extra part (an extra line or arc, a side's overshoot, a
    /// circle, an area, a text) counts 1 against. Two empty drawings score 100; a redraw in
    /// another order or direction scores 100, a mirror image low, a house with one side short
    /// or its roof in another colour below 90.
    int score = 0;
    /// In the order: background, strokes of the solution in its drawing order, extra strokes
    /// in the submission's order, areas, texts.
    std::vector<Difference> differences;
};

/// Compares a pupil's drawing with the solution.
Comparison Compare(const Drawing& solution, const Drawing& submission, const Options& options = {});

/// A length or coordinate as a teacher writes it: at most two decimals, no trailing zeros, no
/// "-0", a decimal comma in German ("0,5") and a point in English.
std::string FormatNumber(double value, Language language);

/// The colour's name for the turtle's palette (clRed is "rot" / "red"), else "#rrggbb".
std::string ColourName(Colour colour, Language language);

} // namespace kritzel::vergleich
