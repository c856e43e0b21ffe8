#include "designer/projectfile/page_reading.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace quirabel::designer::projectfile {

namespace {

// A page that ReadPageText refuses, for whatever reason: the caller reads it again where the
// reason can reach the person.
std::optional<PageText> ReadOrNone(const SharedBytes& text) {
  try {
    return ReadPageText(text);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace

std::vector<std::optional<PageText>> ReadPageTextsSideBySide(std::span<const SharedBytes> texts,
                                                             unsigned threads) {
  std::vector<std::optional<PageText>> pages(texts.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < texts.size(); i = next++) pages[i] = ReadOrNone(texts[i]);
  };
  const auto helpers = static_cast<unsigned>(
      std::min<std::size_t>({std::max(threads, 1u) - 1, texts.empty() ? 0 : texts.size() - 1,
                             std::max(std::thread::hardware_concurrency(), 1u) - 1}));
  std::vector<std::thread> running;
  running.reserve(helpers);
  try {
    for (unsigned i = 0; i < helpers; ++i) running.emplace_back(work);
  } catch (const std::system_error&) {
    // No thread to be had: this one does all the pages.
  }
  work();
  for (std::thread& thread : running) thread.join();
  return pages;
}

std::optional<std::size_t> FirstUnreadablePage(std::span<const SharedBytes> texts) {
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (!ReadOrNone(texts[i])) return i;
  }
  return std::nullopt;
}

}  // namespace quirabel::designer::projectfile
