// Operations on drawn pictures: resampling and the disabled look.
#pragma once

#include "resources/pictures.h"

namespace resources {

// Area-averaged resampling to width x height.
Bitmap scaled(const Bitmap& source, int width, int height);

// The picture in grey, lighter, as a disabled button shows its glyph.
Bitmap greyed(const Bitmap& source);

}  // namespace resources
