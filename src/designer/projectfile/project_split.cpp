#include "designer/projectfile/project_split.h"

#include <string.h>

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quirabel::designer::projectfile {

namespace {

// Picture bytes hold a '<' every 256 bytes or so, which keeps a byte-wise search stopping. Sixteen
// positions at a time are tested for the marker's first and last byte together, which picture
// data matches only once in 65,536 positions; only those are compared in full.
std::size_t Find(std::string_view text, std::string_view marker) {
  const std::size_t n = text.size();
  const std::size_t m = marker.size();
  if (m == 0 || n < m) return m == 0 ? 0 : std::string_view::npos;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(marker.front());
  const __m128i last = _mm_set1_epi8(marker.back());
  for (; i + m - 1 + 16 <= n; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + m - 1));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
    while (mask != 0) {
      const auto bit = static_cast<std::size_t>(__builtin_ctz(mask));
      if (std::memcmp(text.data() + i + bit, marker.data(), m) == 0) return i + bit;
      mask &= mask - 1;
    }
  }
#endif
  const void* at = ::memmem(text.data() + i, n - i, marker.data(), m);
  return at == nullptr ? std::string_view::npos
                       : static_cast<std::size_t>(static_cast<const char*>(at) - text.data());
}

}  // namespace

std::vector<std::string_view> SplitProjectViews(std::string_view file) {
  std::vector<std::string_view> pages;
  for (std::size_t end = Find(file, kEndOfFile); end != std::string_view::npos;
       end = Find(file, kEndOfFile)) {
    pages.push_back(file.substr(0, end));
    file.remove_prefix(end + kEndOfFile.size());
  }
  return pages;
}

std::size_t UnfinishedTailBytes(std::string_view file) {
  std::size_t last = 0;
  for (std::size_t end = Find(file, kEndOfFile); end != std::string_view::npos;
       end = Find(file.substr(last), kEndOfFile)) {
    last += end + kEndOfFile.size();
  }
  const std::string_view tail = file.substr(last);
  const std::size_t used = tail.find_first_not_of(" \t\r\n");
  return used == std::string_view::npos ? 0 : tail.size() - used;
}

}  // namespace quirabel::designer::projectfile
