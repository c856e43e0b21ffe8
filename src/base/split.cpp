#include "base/split.h"

namespace quirabel {

SplitAt SplitAtFirst(std::string_view text, std::string_view marker) {
  const std::size_t pos = text.find(marker);
  if (pos == std::string_view::npos) return {text, text.substr(text.size()), false};
  return {text.substr(0, pos), text.substr(pos + marker.size()), true};
}

}  // namespace quirabel
