#pragma once

#include <filesystem>

#include "app/application.h"

namespace quirabel::cli {

// Thumbnails for file managers: the sizes a thumbnailer is asked for run from 16 to 1024 pixels.
inline constexpr int kMinThumbnailSize = 16;
inline constexpr int kMaxThumbnailSize = 2048;

// The last fence of the thumbnail command, which a file manager runs on every project it shows:
// at most kThumbnailAddressSpace of memory (where no sanitizer needs its own) and
// kThumbnailCpuSeconds of processor time, after which the process ends with exit 1 and has
// written nothing. Limits already lower stay.
inline constexpr unsigned long kThumbnailAddressSpace = 256ul * 1024 * 1024;
inline constexpr unsigned long kThumbnailCpuSeconds = 5;
void FenceThumbnailProcess();

// Writes page 1 of the open project as a PNG image whose longer side is `size` pixels, as the PDF
// export prints it (in memory; no other page is read). The image gets its name atomically, in its
// folder, and never through a symbolic link at that name. False after the platform's message when
// the export or the image fails.
bool WriteThumbnail(app::Application& application, const std::filesystem::path& output, int size);

}  // namespace quirabel::cli
