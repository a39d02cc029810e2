// Two drawings compared as geometry in LE, as a teacher compares a pupil's drawing with the
// solution: whatever the order and direction of the strokes, whether a line is drawn in one
// piece or many, by Forwd or SetPosition, once or twice, and whether a curve is a circle or
// many short lines along it.
//
// How: every stroke (lines, circles, the outlines of outlined areas) is flattened to
// segments; each drawing's segments are sampled every tolerance/2 and each sample looks for
// the other drawing's segments within the tolerance (through a uniform grid). A solution
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
    /// ("Linie von (0, 0) nach (3, 0) fehlt", "Seite 3 ist 0,5 cm zu kurz").
    std::string text;
    /// What to paint in red (missing from the submission) and in blue (extra in it), as
    /// polylines in LE.
    std::vector<std::vector<Point>> missing, extra;
};

/// The outcome of a comparison.
struct Comparison {
    /// 0..100, from the geometry alone: 100 x matched / (solution + extra), where the
    /// solution counts the length of its strokes (circles by their circumference), an area
    /// counts its perimeter and a text 2 LE; matched is what the submission has of that in
    /// the same place (a stroke or area in another colour counts half) and extra the length
    /// of its strokes and perimeters that the solution lacks, 2 LE per extra text. Two empty
    /// drawings score 100; a redraw in another order scores 100, a mirror image low.
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
