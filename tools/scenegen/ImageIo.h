// Writing generated images to disk through DevIL, the same library the viewer reads them with.
#pragma once

#include "Image.h"

#include <string>

namespace scenegen {

// Call once before saving; DevIL keeps global state.
void initImageIo();

// Saves a JPEG whose first row is image row 0 (v = 0). quality is 0..99, DevIL's accepted range.
// Returns false and prints why on failure.
bool saveJpeg(const Image& image, const std::string& path, int quality);

} // namespace scenegen
