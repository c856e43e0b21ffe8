#pragma once

#include <filesystem>

#include "app/application.h"

namespace quirabel::cli {

// Thumbnails for file managers: the sizes a thumbnailer is asked for run from 16 to 1024 pixels.
inline constexpr int kMinThumbnailSize = 16;
inline constexpr int kMaxThumbnailSize = 2048;

// Writes page 1 of the open project as a PNG image whose longer side is `size` pixels, as the PDF
// export prints it (through a scratch PDF file that is removed afterwards). The image is replaced
// atomically. False after the platform's message when the export or the image fails.
bool WriteThumbnail(app::Application& application, const std::filesystem::path& output, int size);

}  // namespace quirabel::cli
