#pragma once
// A saved picture (PGM, PNG, or any format Qt reads) as the gray bitmap pattern
// mode captures: colours to gray by the same luma rule, bottom row first.

#include "pattern/GrayBitmap.h"

#include <optional>
#include <string>

namespace dimwell::tool {

/// Nothing when the file cannot be read as a picture, or the picture is empty.
std::optional<GrayBitmap> readGrayPicture(const std::string& path);

} // namespace dimwell::tool
