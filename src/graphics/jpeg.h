#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "graphics/bitmap.h"

namespace quirabel::graphics {

// JPEG pictures stay compressed in memory and go into the PDF unchanged; these functions decode
// them only for the screen and the colour check, and encode bitmaps that must become JPEG.
// Every function takes untrusted bytes and answers bad input with ImageError.

enum class JpegColorModel { Gray, YCbCr, Rgb, Cmyk, Ycck, Unknown };

struct JpegInfo {
  int width = 0;
  int height = 0;
  int components = 0;
  JpegColorModel colorModel = JpegColorModel::Unknown;
};

// What a JPEG file's markers say about it, read without decoding.
struct JpegLayout {
  int width = 0;  // from the frame header (SOFn)
  int height = 0;
  int components = 0;
  int scans = 0;
  std::size_t end = 0;  // just past the end marker (EOI); what follows is not the picture's
  bool progressive = false;
  // The bytes of all coefficient blocks (64 values of two bytes each), by the components' sampling:
  // what a decoder of a progressive or multi-scan file holds at once.
  std::uint64_t coefficientBytes = 0;
};

// The budget of a JPEG picture beyond its pixels, checked from its structure before anything is
// decoded, on every path (designer, export, thumbnail, serial run): at most four components, at
// most kMaxJpegScans scans, and for files a decoder must hold whole (progressive or several scans)
// at most kMaxJpegCoefficientBytes of coefficients, passed over at most kMaxJpegScanWork bytes in
// all (every scan walks the buffer).
inline constexpr int kMaxJpegComponents = 4;
inline constexpr int kMaxJpegScans = 500;
inline constexpr std::uint64_t kMaxJpegCoefficientBytes = 256ull * 1024 * 1024;
inline constexpr std::uint64_t kMaxJpegScanWork = 8ull * 1024 * 1024 * 1024;
// Why a picture of this structure is over the budget (German, one sentence); empty when it is not.
std::string JpegBudgetProblem(const JpegLayout& layout);

// Walks a JPEG file's structure: SOI; marker segments, each skipped by its length; every scan
// header followed by its entropy-coded data (where 0xFF is followed by a stuffed 0x00 or is a
// restart marker RST0..RST7); further tables and scans, as progressive files have them; up to
// EOI. Fill bytes (0xFF) may come before any marker. A file that ends before EOI, a segment
// running past the end, bytes that are no marker where one must be, a second SOI or frame header,
// a scan before the frame header and frame or scan headers whose length disagrees with their
// component count are an ImageError with a German message. Bytes after EOI are allowed: cameras
// and programs append previews and data there, and PDF readers stop at EOI. Linear in the size,
// allocates nothing.
JpegLayout CheckJpegStructure(std::string_view bytes);

// CheckJpegStructure that also finds, in the same pass over the bytes, every place where `mark`
// starts (whole within `bytes`) before the end it finds, and asks `accept` about each, front to
// back. The walk stops at the first place refused, and there is no layout then.
std::optional<JpegLayout> CheckJpegStructureWatching(
    std::string_view bytes, std::string_view mark, const std::function<bool(std::size_t)>& accept);

// What RemoveSegmentsHolding did.
enum class JpegTagRemoval {
  Unchanged,        // no segment held a forbidden string, nor does anything else
  SegmentsRemoved,  // segments were removed; the rest holds no forbidden string
  TagInImageData,   // a forbidden string is where nothing may be removed: tables, scan data
};

struct JpegWithoutTags {
  JpegTagRemoval result = JpegTagRemoval::Unchanged;
  // The JPEG less the removed segments with SegmentsRemoved; empty otherwise (the bytes given
  // stand as they are, or cannot be used).
  std::string bytes;
  int removedSegments = 0;
};

// Removes every comment (COM) and application (APP0..APP15) segment that holds one of the
// forbidden byte strings, and the bytes after EOI when they hold one; everything else stays byte
// for byte. When a forbidden string remains after that (in the tables, the scan data, or across
// the border of two segments) the result is TagInImageData. Empty forbidden strings are ignored.
// ImageError when the structure is cut or broken (see CheckJpegStructure).
JpegWithoutTags RemoveSegmentsHolding(std::string_view bytes,
                                      std::span<const std::string_view> forbidden);

// Reads the header only, without decoding. ImageError for anything that is not a readable JPEG
// header, including a zero width or height.
JpegInfo ReadJpegInfo(std::string_view bytes);

// Decodes to a 24-bit bitmap: grey is expanded to RGB, CMYK and YCCK are converted to RGB (files
// with an Adobe marker store inverted CMYK). scaleDenom 1, 2, 4 or 8 decodes at that reduced
// scale, giving ceil(width / scaleDenom) x ceil(height / scaleDenom) pixels; any other value is
// an ImageError. Pictures whose full size Bitmap::SizeAllowed refuses are refused before
// decoding, as are progressive files with more than kMaxJpegScans scans. Data that ends early is
// not an error: the missing part decodes as grey.
Bitmap DecodeJpeg(std::string_view bytes, int scaleDenom = 1);

// The largest of 1, 2, 4 and 8 whose scaled picture still covers targetWidth x targetHeight;
// 1 when the target has a zero side or is larger than the picture.
int JpegScaleDenomFor(const JpegInfo& info, int targetWidth, int targetHeight);

// Encodes a bitmap of any format as a baseline JFIF JPEG; quality is clamped to 1..100. An empty
// bitmap, or one with a side over 65500 pixels, is an ImageError.
std::string EncodeJpeg(const Bitmap& bitmap, int quality = 75);

}  // namespace quirabel::graphics
