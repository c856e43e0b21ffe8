#pragma once

#include <filesystem>

#include "app/picture_module.h"

namespace quirabel::app {

class Application;

// The highest resolution a PNG is made at.
inline constexpr int kMaxPictureDpi = 1200;

// Writes page `page` (from 0) of the open document as a picture file, drawn from the export's own
// PDF; an orderable page without its bleed unless `withBleed`. The file is replaced atomically.
// False after a message on the platform.
bool ExportPicture(Application& application, const std::filesystem::path& file, PictureKind kind,
                   int page, double dpi, bool withBleed);

}  // namespace quirabel::app
