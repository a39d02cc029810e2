// The overlay picture: the solution and a pupil's drawing on the solution's grid, with what
// is missing and what is extra marked, so that a teacher sees at a glance what differs.
#pragma once

#include "geometrie/Compare.h"
#include "geometrie/Drawing.h"

#include <QImage>

namespace kritzel::vergleich {

/// Paints the solution's area with a grid of 1 LE (1 cm) and its axes, the solution in
/// grey, the drawing in black over it, then each difference's missing pieces in red and
/// extra pieces in blue. The scale is the solution's recording scale (pixels per cm; a
/// fixed one where it has none), the picture as large as the solution's control, grown to
/// take in a drawing that reaches beyond it. Antialiased; the same inputs give the same
/// pixels.
QImage RenderOverlay(const Drawing& solution, const Drawing& drawing, const Comparison& comparison);

} // namespace kritzel::vergleich
