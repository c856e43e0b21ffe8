#include "designer/projectfile/project_split.h"

#include <string.h>

#include <algorithm>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quirabel::designer::projectfile {

namespace {

// Picture bytes hold a '<' every 256 bytes or so, which keeps a byte-wise search stopping. Many
// positions at a time are tested for the marker's first and last byte together, which picture
// data matches only once in 65,536 positions; only those are compared in full. `i` is where the
// vector loop stopped; the rest is searched plainly.
std::size_t SearchRest(std::string_view text, std::string_view marker, std::size_t i) {
  const void* at = ::memmem(text.data() + i, text.size() - i, marker.data(), marker.size());
  return at == nullptr ? std::string_view::npos
                       : static_cast<std::size_t>(static_cast<const char*>(at) - text.data());
}

#if defined(__x86_64__)
// Thirty-two positions at a time where the processor has AVX2 (nearly all do): the search runs
// over every picture of a page each time the page is read.
__attribute__((target("avx2"))) std::size_t SearchTagAvx2(std::string_view text,
                                                          std::string_view marker) {
  const std::size_t n = text.size();
  const std::size_t m = marker.size();
  const __m256i first = _mm256_set1_epi8(marker.front());
  const __m256i last = _mm256_set1_epi8(marker.back());
  std::size_t i = 0;
  for (; i + m - 1 + 32 <= n; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text.data() + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text.data() + i + m - 1));
    auto mask = static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, last))));
    while (mask != 0) {
      const auto bit = static_cast<std::size_t>(__builtin_ctz(mask));
      if (std::memcmp(text.data() + i + bit, marker.data(), m) == 0) return i + bit;
      mask &= mask - 1;
    }
  }
  return SearchRest(text, marker, i);
}
#endif

std::size_t SearchTag(std::string_view text, std::string_view marker) {
  const std::size_t n = text.size();
  const std::size_t m = marker.size();
  if (m == 0 || n < m) return m == 0 ? 0 : std::string_view::npos;
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return SearchTagAvx2(text, marker);
#endif
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
  return SearchRest(text, marker, i);
}

}  // namespace

std::size_t FindTag(std::string_view text, std::string_view tag) { return SearchTag(text, tag); }

std::vector<std::string_view> SplitProjectViews(std::string_view file) {
  std::vector<std::string_view> pages;
  for (std::size_t end = FindTag(file, kEndOfFile); end != std::string_view::npos;
       end = FindTag(file, kEndOfFile)) {
    pages.push_back(file.substr(0, end));
    file.remove_prefix(end + kEndOfFile.size());
  }
  return pages;
}

namespace {

// Finds every "</endoffile>" of a file while it is read in one or two parts (see ReadWatcher).
// A part is searched up to where a whole tag still fits in what has arrived; the few bytes left
// at the end of the first part, where a tag may reach into the second, are searched at the end.
class PageEndFinder {
 public:
  void Seen(int part, std::string_view soFar) {
    Part& p = parts_[part];
    p.start = soFar.data();
    while (p.searched + kEndOfFile.size() <= soFar.size()) {
      const std::size_t at = FindTag(soFar.substr(p.searched), kEndOfFile);
      if (at == std::string_view::npos) {
        p.searched = soFar.size() - kEndOfFile.size() + 1;
        break;
      }
      p.ends.push_back(p.searched + at);
      p.searched += at + kEndOfFile.size();
    }
  }

  // The positions of all tags in the whole file, in order.
  std::vector<std::size_t> Ends(std::string_view file) const {
    std::vector<std::size_t> ends;
    std::size_t searchedTo = 0;  // everything before this is known
    for (const Part& p : parts_) {
      if (p.start == nullptr) continue;
      const auto base = static_cast<std::size_t>(p.start - file.data());
      // What this part left unsearched before it, and the tags it found.
      SearchGap(file, searchedTo, base, ends);
      for (std::size_t end : p.ends) {
        if (base + end + kEndOfFile.size() <= file.size()) ends.push_back(base + end);
      }
      searchedTo = std::min(base + p.searched, file.size());
    }
    SearchGap(file, searchedTo, file.size(), ends);
    return ends;
  }

 private:
  struct Part {
    const char* start = nullptr;
    std::size_t searched = 0;  // where the next tag may start
    std::vector<std::size_t> ends;
  };

  // Tags that start in [from, to) (and may reach past `to`).
  static void SearchGap(std::string_view file, std::size_t from, std::size_t to,
                        std::vector<std::size_t>& ends) {
    to = std::min(to, file.size());
    while (from < to) {
      const std::string_view window =
          file.substr(from, std::min(file.size() - from, to - from + kEndOfFile.size() - 1));
      const std::size_t at = FindTag(window, kEndOfFile);
      if (at == std::string_view::npos) return;
      ends.push_back(from + at);
      from += at + kEndOfFile.size();
    }
  }

  Part parts_[2];
};

}  // namespace

ProjectFileBytes ReadProjectFile(const std::filesystem::path& path, std::size_t maxBytes) {
  PageEndFinder finder;
  ProjectFileBytes project;
  project.bytes =
      MapFile(path, maxBytes, [&](int part, std::string_view soFar) { finder.Seen(part, soFar); });
  const std::string_view file = project.bytes.View();
  std::size_t last = 0;
  for (std::size_t end : finder.Ends(file)) {
    project.pages.push_back(project.bytes.Sub(last, end - last));
    last = end + kEndOfFile.size();
  }
  const std::string_view tail = file.substr(last);
  const std::size_t used = tail.find_first_not_of(" \t\r\n");
  project.unfinishedTailBytes = used == std::string_view::npos ? 0 : tail.size() - used;
  return project;
}

}  // namespace quirabel::designer::projectfile
