#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "base/shared_bytes.h"
#include "graphics/bitmap.h"
#include "graphics/bmp.h"
#include "graphics/jpeg.h"

namespace quirabel::graphics {

// A JPEG picture kept compressed: its file bytes and the size its header gives. Decoded only on
// demand (to show or colour-check it); the PDF writer embeds the bytes as they are.
class JpegImage {
 public:
  JpegImage() = default;
  // Reads the header; ImageError when the bytes are no JPEG or its structure is cut or broken
  // (CheckJpegStructure), so that what a PDF embeds as it is stands whole. The bytes are shared,
  // not copied.
  static JpegImage FromBytes(SharedBytes bytes);
  // The same for bytes whose structure CheckJpegStructure has just found to be `checked` (a
  // reader that walked them already): only the header is read again.
  static JpegImage FromCheckedBytes(SharedBytes bytes, const JpegLayout& checked);
  // Compresses a bitmap (quality 1..100).
  static JpegImage FromBitmap(const Bitmap& bitmap, int quality = kDefaultQuality);

  static constexpr int kDefaultQuality = 75;

  bool Empty() const { return bytes_.empty(); }
  const SharedBytes& Bytes() const { return bytes_; }
  const JpegInfo& Info() const { return info_; }
  int Width() const { return info_.width; }
  int Height() const { return info_.height; }
  Bitmap Decode(int scaleDenom = 1) const { return DecodeJpeg(bytes_.View(), scaleDenom); }

 private:
  SharedBytes bytes_;
  JpegInfo info_;
};

enum class GraphicKind { None, Bitmap, Jpeg };

// What an image element shows: nothing, a bitmap or a JPEG. A picture loaded from bytes keeps
// them and writes them back unchanged until the picture itself changes. Copies share the
// (immutable) graphic, so copying a picture is cheap.
class Picture {
 public:
  // Files larger than this are not read (a picture element has no use for more).
  static constexpr std::size_t kMaxFileBytes = 256 * 1024 * 1024;

  Picture() = default;
  static Picture FromBitmap(Bitmap bitmap);
  // A bitmap decoded from a PNG file: the same pixels, but a PDF holds them compressed without
  // loss, as the PNG did, instead of as raw samples.
  static Picture FromPngBitmap(Bitmap bitmap);
  static Picture FromJpeg(JpegImage jpeg);
  // Recognises BMP ("BM") and JPEG (FF D8) by content; ImageError for anything else. The bytes
  // are kept shared (a picture inside a project file stays a piece of it). A BMP is decoded here
  // and now, a JPEG only on demand; DecodedPixels tells beforehand what either will cost.
  static Picture FromBytes(SharedBytes bytes);
  static Picture FromBmpBytes(SharedBytes bytes);
  // A BMP kept only in part, for a small picture of it (see ReadBmp's sampling): AsBitmap holds
  // the pixels kept, while Width and Height stay the file's, so that the picture is placed and
  // sized as when read in full, and the file bytes stay as they were.
  static Picture FromSampledBmpBytes(SharedBytes bytes, BmpSampling sampling);
  static Picture FromJpegBytes(SharedBytes bytes);
  // See JpegImage::FromCheckedBytes.
  static Picture FromCheckedJpegBytes(SharedBytes bytes, const JpegLayout& checked);
  // Reads a file with the size cap; FileError when it cannot be read, ImageError when it is no
  // picture.
  static Picture LoadFromFile(const std::filesystem::path& path);

  GraphicKind Kind() const;
  // No graphic, or a graphic without pixels.
  bool Empty() const;
  const Bitmap* AsBitmap() const { return bitmap_.get(); }
  const JpegImage* AsJpeg() const { return jpeg_.get(); }
  int Width() const;
  int Height() const;
  bool CameFromPng() const { return fromPng_; }
  void SetCameFromPng(bool fromPng) { fromPng_ = fromPng; }

  // The bytes the picture was loaded from; empty when it was made in memory.
  std::string_view SourceBytes() const { return source_.View(); }
  // The file form: the source bytes while unchanged, else a BMP file of the bitmap or the JPEG's
  // bytes. Empty for an empty picture.
  SharedBytes FileBytes() const;
  std::string SaveToBytes() const { return FileBytes().Str(); }
  void SaveToFile(const std::filesystem::path& path) const;

  // The colour of a pixel, decoding a JPEG once (kept for further calls on this picture).
  const Bitmap& Pixels() const;

 private:
  std::shared_ptr<const Bitmap> bitmap_;
  std::shared_ptr<const JpegImage> jpeg_;
  SharedBytes source_;
  mutable std::shared_ptr<const Bitmap> decoded_;
  bool fromPng_ = false;
  // The file's size of a bitmap kept only in part; 0 otherwise.
  int sampledFromWidth_ = 0;
  int sampledFromHeight_ = 0;
};

// The number of pixels a picture file decodes to, from its header alone: width x height of a
// BMP's info header or of a JPEG's frame header. Nothing is decoded and no pixels are allocated,
// so a budget can be checked before Picture::FromBytes decodes a BMP. ImageError when the bytes
// are no BMP or JPEG or their header is unreadable; a JPEG is walked whole (CheckJpegStructure),
// so one that FromBytes would refuse is refused here as well.
std::uint64_t DecodedPixels(std::string_view fileBytes);
// The pixels of a JPEG whose structure was found to be `checked`.
std::uint64_t DecodedPixels(const JpegLayout& checked);
// The pixels of a picture already made: width x height, 0 when empty.
std::uint64_t DecodedPixels(const Picture& picture);

}  // namespace quirabel::graphics
