#pragma once

#include <cstdint>
#include <string>

namespace quirabel::testing {

namespace bmp_detail {
inline void PutU16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
inline void PutU32(std::string& out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

}  // namespace bmp_detail

// 1,080 bytes claiming width x height pixels: a file header, a 40-byte info header (8 bits, RLE8),
// a palette of 256 entries and an RLE stream that is nothing but its end marker, which leaves
// every pixel at index 0 and is a valid file.
inline std::string RleBomb(std::uint32_t width, std::uint32_t height) {
  std::string bmp = "BM";
  bmp_detail::PutU32(bmp, 1080);            // file size
  bmp_detail::PutU32(bmp, 0);               // reserved
  bmp_detail::PutU32(bmp, 14 + 40 + 1024);  // pixel data offset
  bmp_detail::PutU32(bmp, 40);              // info header size
  bmp_detail::PutU32(bmp, width);
  bmp_detail::PutU32(bmp, height);  // bottom-up
  bmp_detail::PutU16(bmp, 1);       // planes
  bmp_detail::PutU16(bmp, 8);       // bits per pixel
  bmp_detail::PutU32(bmp, 1);       // RLE8
  bmp_detail::PutU32(bmp, 2);       // size of the pixel data
  bmp_detail::PutU32(bmp, 0);       // resolution
  bmp_detail::PutU32(bmp, 0);
  bmp_detail::PutU32(bmp, 0);  // colours used: all 256
  bmp_detail::PutU32(bmp, 0);
  bmp += std::string(1024, '\0');
  bmp += std::string("\0\1", 2);  // end of bitmap
  return bmp;
}

}  // namespace quirabel::testing
