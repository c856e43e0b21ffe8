// Every input must end in a picture or ImageError. Inputs whose picture would be allowed but
// larger than 4 million pixels are skipped: filling such a bitmap takes most of a second under
// the sanitizers and would leave little time for anything else. Larger sizes that ReadGif
// refuses outright still run.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include <gif_lib.h>

#include "graphics/bitmap.h"
#include "graphics/gif.h"
#include "graphics/image_error.h"

namespace {

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position;
};

int Read(GifFileType* gif, GifByteType* out, int wanted) {
  auto* reader = static_cast<Reader*>(gif->UserData);
  const std::size_t count =
      std::min(static_cast<std::size_t>(std::max(wanted, 0)), reader->size - reader->position);
  if (count > 0) std::memcpy(out, reader->data + reader->position, count);
  reader->position += count;
  return static_cast<int>(count);
}

// The pixel count of the bitmap ReadGif would make, found by reading up to the first frame;
// 0 when there is no readable first frame (ReadGif then allocates nothing).
long long BitmapArea(const std::uint8_t* data, std::size_t size) {
  Reader reader{data, size, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, Read, &error);
  if (gif == nullptr) return 0;
  long long area = 0;
  bool failed = false;
  while (!failed) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      failed = DGifGetExtension(gif, &code, &block) == GIF_ERROR;
      while (!failed && block != nullptr) {
        failed = DGifGetExtensionNext(gif, &block) == GIF_ERROR;
      }
      continue;
    }
    if (DGifGetImageDesc(gif) == GIF_OK) {
      long long width = gif->SWidth;
      long long height = gif->SHeight;
      if (width < gif->Image.Width || height < gif->Image.Height) {
        width = gif->Image.Width;
        height = gif->Image.Height;
      }
      area = width * height;
    }
    break;
  }
  DGifCloseFile(gif, &error);
  return area;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace g = quirabel::graphics;
  const long long area = BitmapArea(data, size);
  if (area > 4'000'000 && area <= static_cast<long long>(g::Bitmap::kMaxPixels)) return 0;
  try {
    g::ReadGif(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const g::ImageError&) {
  }
  return 0;
}
