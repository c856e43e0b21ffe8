#include "report/vcard_name.h"

#include <algorithm>
#include <vector>

namespace quirabel::report {

std::string VCardWithNameSplit(std::string card) {
  const std::size_t start = card.find("\r\nN:");
  if (start == std::string::npos) return card;
  const std::size_t valueStart = start + 4;
  const std::size_t end = card.find("\r\n", valueStart);
  if (end == std::string::npos) return card;
  // The components of N, split at the semicolons a backslash does not escape.
  std::vector<std::string> parts(1);
  for (std::size_t i = valueStart; i < end; ++i) {
    if (card[i] == '\\' && i + 1 < end) {
      parts.back() += card.substr(i, 2);
      ++i;
    } else if (card[i] == ';') {
      parts.emplace_back();
    } else {
      parts.back() += card[i];
    }
  }
  const std::string& family = parts[0];
  const std::size_t space = family.find_last_of(' ');
  const bool marker =
      family.find('<') != std::string::npos && family.find('>') != std::string::npos;
  if ((parts.size() > 1 && !parts[1].empty()) || marker || space == std::string::npos ||
      space == 0 || space + 1 == family.size())
    return card;
  std::string name = family.substr(space + 1) + ";" + family.substr(0, space);
  for (std::size_t i = 2; i < parts.size(); ++i) name += ";" + parts[i];
  for (std::size_t i = std::max<std::size_t>(parts.size(), 2); i < 5; ++i) name += ";";
  return card.replace(valueStart, end - valueStart, name);
}

}  // namespace quirabel::report
