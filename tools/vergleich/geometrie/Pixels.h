// The pixel figure beside the geometric comparison, as the pixel graders report it.
#pragma once

#include <QImage>

namespace kritzel::vergleich {

/// The share (0..1) of drawn pixels, in either picture, that have no pixel of the same colour
/// within one pixel (in the 3 x 3 around it) in the other picture, so that rounding does not
/// count. Drawn means not the picture's own background, the colour at its (0, 0). Pictures of
/// different sizes are laid over each other by their middles, as the turtle's origin lies
/// there. 0 when neither has a drawn pixel.
double DifferingShare(const QImage& solution, const QImage& drawing);

} // namespace kritzel::vergleich
