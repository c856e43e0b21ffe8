#include "cli/thumbnail.h"

#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "base/atomic_file.h"
#include "base/module.h"
#include "cli/pdf_raster_module.h"

namespace quirabel::cli {

namespace {

// The PDF drawing module, opened on first use: only this command needs poppler.
const ModuleTable<PdfRasterModule>& PdfRaster() {
  static const ModuleTable<PdfRasterModule> loaded = OpenModuleTable<PdfRasterModule>(
      kPdfRasterModuleFile, kPdfRasterModuleEntry, kPdfRasterModuleAbi);
  return loaded;
}

std::string PngBytes(const RasterImage& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_BGRA;
  const auto stride = static_cast<png_int_32>(image.stride);
  // Speed before the last byte of compression: a file manager waits for it. One pass, into room
  // for the largest PNG such an image can make (asking for the size first compresses twice).
  png.flags = PNG_IMAGE_FLAG_FAST;
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(png);
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, image.pixels.data(), stride,
                                 nullptr)) {
    throw std::runtime_error(std::string("PNG: ") + png.message);
  }
  bytes.resize(size);
  return bytes;
}

void OnCpuTimeUsedUp(int) {
  static constexpr char kText[] =
      "quirabel-batch: Die Vorschau der ersten Seite ging nicht: sie braucht zu viel Rechenzeit.\n";
  (void)!::write(STDERR_FILENO, kText, sizeof kText - 1);
  ::_exit(1);
}

void Lower(int resource, rlim_t soft, rlim_t hard) {
  rlimit limit{};
  if (::getrlimit(resource, &limit) != 0) return;
  limit.rlim_cur = std::min(limit.rlim_cur, soft);
  limit.rlim_max = std::min(limit.rlim_max, hard);
  limit.rlim_cur = std::min(limit.rlim_cur, limit.rlim_max);
  ::setrlimit(resource, &limit);
}

// Sanitizers reserve terabytes of address space for their shadow memory.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

}  // namespace

void FenceThumbnailProcess() {
  struct sigaction action {};
  action.sa_handler = OnCpuTimeUsedUp;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGXCPU, &action, nullptr);
  // The soft limit ends the process through the handler; the hard one a second later, should the
  // handler not run.
  Lower(RLIMIT_CPU, kThumbnailCpuSeconds, kThumbnailCpuSeconds + 1);
  if (!kSanitized) Lower(RLIMIT_AS, kThumbnailAddressSpace, kThumbnailAddressSpace);
}

bool WriteThumbnail(app::Application& application, const std::filesystem::path& output, int size) {
  // Made in memory: a file manager's preview writes nothing but the picture.
  const std::optional<std::string> pdf = application.ExportPreviewBytes(/*pages=*/1, size);
  if (!pdf) return false;
  if (pdf->size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    application.GetPlatform()->ShowMessage("Die Vorschau der ersten Seite ging nicht.");
    return false;
  }
  const ModuleTable<PdfRasterModule>& raster = PdfRaster();
  if (raster.table == nullptr) {
    application.GetPlatform()->ShowMessage(
        "Die Vorschau der ersten Seite ging nicht: " + raster.problem + ".");
    return false;
  }
  RasterImage image;
  if (!raster.table->drawFirstPage(*pdf, size, image)) {
    application.GetPlatform()->ShowMessage("Die Vorschau der ersten Seite ging nicht.");
    return false;
  }
  try {
    AtomicFileWriter writer(output, AtomicFileWriter::Leftovers::Tidy,
                            AtomicFileWriter::Links::Refuse);
    writer.Write(PngBytes(image));
    writer.Commit();
  } catch (const FileError& e) {
    application.GetPlatform()->ShowMessage(
        "Die Vorschau kann nicht nach " + output.string() + " geschrieben werden: " +
        (e.error_number() == ELOOP ? std::string("Der Name ist eine Verknüpfung (symbolischer Link).")
                                   : e.Reason()));
    return false;
  }
  return true;
}

}  // namespace quirabel::cli
