#include "graphics/gif.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gif_lib.h>

namespace quirabel::graphics {
namespace {

// giflib keeps a record (and a copy of the local colour map) for every frame it has seen, so
// the frame count bounds its memory; the block count bounds the time spent on extensions.
constexpr int kMaxFrames = 10000;
constexpr long kMaxExtensionBlocks = 100000;

struct Source {
  const unsigned char* data;
  std::size_t size;
  std::size_t position;
};

int ReadSource(GifFileType* gif, GifByteType* out, int wanted) {
  auto* source = static_cast<Source*>(gif->UserData);
  if (wanted <= 0) return 0;
  const std::size_t count =
      std::min(static_cast<std::size_t>(wanted), source->size - source->position);
  if (count > 0) std::memcpy(out, source->data + source->position, count);
  source->position += count;
  return static_cast<int>(count);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

[[noreturn]] void Fail(int error) {
  // Some giflib read failures leave the error code unset.
  const char* text = GifErrorString(error);
  if (text == nullptr) text = GifErrorString(D_GIF_ERR_READ_FAILED);
  throw ImageError(std::string("GIF: ") + (text != nullptr ? text : "damaged data"));
}

void CheckSize(int width, int height, const char* what) {
  const char* reason = nullptr;
  if (!Bitmap::SizeAllowed(width, height, PixelFormat::pf24bit, &reason)) {
    throw ImageError(std::string("GIF: ") + what + " too large: " + reason);
  }
}

// B, G, R bytes for every possible index; indices past the colour map stay black.
using ColourTable = std::array<std::array<std::uint8_t, 3>, 256>;

ColourTable TableOf(const ColorMapObject* map) {
  ColourTable table{};
  if (map == nullptr || map->Colors == nullptr) return table;
  const int count = std::clamp(map->ColorCount, 0, 256);
  for (int i = 0; i < count; ++i) {
    table[i] = {map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red};
  }
  return table;
}

TColor ColourOf(const ColourTable& table, int index) {
  const auto& bgr = table[static_cast<std::size_t>(index) & 0xFF];
  return RGB(bgr[2], bgr[1], bgr[0]);
}

// Reads past a frame's LZW data without decoding it.
void SkipFrame(GifFileType* gif) {
  int codeSize = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) Fail(gif->Error);
  while (block != nullptr) {
    if (DGifGetCodeNext(gif, &block) == GIF_ERROR) Fail(gif->Error);
  }
}

// Draws the frame whose descriptor was just read; transparentIndex is -1 for none.
Bitmap DrawFirstFrame(GifFileType* gif, int transparentIndex) {
  const GifImageDesc& frame = gif->Image;
  CheckSize(frame.Width, frame.Height, "first frame");
  int width = gif->SWidth;
  int height = gif->SHeight;
  if (width < frame.Width || height < frame.Height) {
    width = frame.Width;
    height = frame.Height;
  }
  if (width == 0 || height == 0) throw ImageError("GIF: picture has no pixels");
  CheckSize(width, height, "picture");

  const ColourTable table = TableOf(frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap);
  Bitmap bitmap(width, height, PixelFormat::pf24bit);
  TColor fill = clBlack;
  if (transparentIndex >= 0) {
    fill = ColourOf(table, transparentIndex);
  } else if (gif->SColorMap != nullptr) {
    fill = ColourOf(TableOf(gif->SColorMap), gif->SBackGroundColor);
  }
  bitmap.FillRect(0, 0, width, height, fill);

  if (frame.Width == 0 || frame.Height == 0) {
    SkipFrame(gif);
    return bitmap;
  }
  // Interlaced frames store every 8th row from 0, every 8th from 4, every 4th from 2, then
  // every 2nd from 1.
  static constexpr int kFirstRow[] = {0, 4, 2, 1};
  static constexpr int kRowStep[] = {8, 8, 4, 2};
  const int passes = frame.Interlace ? 4 : 1;
  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  const int visibleWidth = std::clamp(width - frame.Left, 0, frame.Width);
  for (int pass = 0; pass < passes; ++pass) {
    const int first = frame.Interlace ? kFirstRow[pass] : 0;
    const int step = frame.Interlace ? kRowStep[pass] : 1;
    for (int row = first; row < frame.Height; row += step) {
      if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) Fail(gif->Error);
      const int y = frame.Top + row;
      if (y >= height || visibleWidth == 0) continue;
      std::uint8_t* out = bitmap.Row(y) + static_cast<std::size_t>(frame.Left) * 3;
      for (int x = 0; x < visibleWidth; ++x, out += 3) {
        const auto& bgr = table[line[static_cast<std::size_t>(x)]];
        std::copy(bgr.begin(), bgr.end(), out);
      }
    }
  }
  return bitmap;
}

}  // namespace

GifPicture ReadGif(std::string_view bytes) {
  Source source{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
  int error = 0;
  GifHandle gif(DGifOpen(&source, ReadSource, &error));
  if (gif == nullptr) Fail(error);
  CheckSize(gif->SWidth, gif->SHeight, "screen");

  GifPicture picture;
  bool haveFrame = false;
  int frames = 0;
  long extensionBlocks = 0;
  int transparentIndex = -1;  // from the graphic control block for the next frame
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) Fail(gif->Error);
    if (type == TERMINATE_RECORD_TYPE) break;

    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) Fail(gif->Error);
      bool firstBlock = true;
      while (block != nullptr) {
        if (++extensionBlocks > kMaxExtensionBlocks) {
          throw ImageError("GIF: more than 100000 extension blocks");
        }
        // block[0] is the length; the graphic control block holds flags, delay (2 bytes) and
        // the transparent index. A shorter block is damaged and ignored.
        if (firstBlock && code == GRAPHICS_EXT_FUNC_CODE && block[0] >= 4) {
          transparentIndex = (block[1] & 0x01) != 0 ? block[4] : -1;
        }
        firstBlock = false;
        if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) Fail(gif->Error);
      }
      continue;
    }

    // giflib reports any other record type as an error, so this is a frame.
    if (++frames > kMaxFrames) throw ImageError("GIF: more than 10000 frames");
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) Fail(gif->Error);
    if (transparentIndex >= 0) picture.anyFrameTransparent = true;
    if (!haveFrame) {
      picture.bitmap = DrawFirstFrame(gif.get(), transparentIndex);
      haveFrame = true;
    } else {
      SkipFrame(gif.get());
    }
    transparentIndex = -1;
  }
  if (!haveFrame) throw ImageError("GIF has no image");
  return picture;
}

}  // namespace quirabel::graphics
