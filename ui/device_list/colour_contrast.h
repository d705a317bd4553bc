#pragma once

#include <QColor>

namespace tarrowind {

// Relative luminance of an sRGB colour as the accessibility guidelines define it: 0 for black to 1 for white.
double RelativeLuminance(const QColor& colour);
// The contrast ratio of two colours from their relative luminances: 1 (alike) to 21 (black on white).
double ContrastRatio(const QColor& first, const QColor& second);

}  // namespace tarrowind
