#ifndef QUIRABEL_BASE_SPLIT_H_
#define QUIRABEL_BASE_SPLIT_H_

#include <string_view>

namespace quirabel {

struct SplitAt {
  std::string_view before;
  std::string_view after;
  bool found;
};

// Splits `text` around the first occurrence of `marker`. Without a match, `before` is the whole
// text and `after` is empty. An empty marker matches at position 0. The views point into `text`.
SplitAt SplitAtFirst(std::string_view text, std::string_view marker);

}  // namespace quirabel

#endif  // QUIRABEL_BASE_SPLIT_H_
