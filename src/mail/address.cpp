#include "mail/address.h"

#include <algorithm>
#include <vector>

namespace quirabel::mail {

namespace {

bool IsAsciiLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsLocalPartChar(char c) {
  return IsAsciiLetterOrDigit(c) ||
         std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

bool ValidLocalPart(std::string_view local) {
  if (local.empty() || local.size() > 64 || local.front() == '.' || local.back() == '.')
    return false;
  char previous = 0;
  for (char c : local) {
    if (c == '.') {
      if (previous == '.') return false;
    } else if (!IsLocalPartChar(c)) {
      return false;
    }
    previous = c;
  }
  return true;
}

bool ValidDomain(std::string_view domain) {
  if (domain.empty() || domain.size() > 253) return false;
  int labels = 0;
  std::size_t start = 0;
  while (start <= domain.size()) {
    const std::size_t dot = std::min(domain.find('.', start), domain.size());
    const std::string_view label = domain.substr(start, dot - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
      return false;
    for (char c : label) {
      if (!IsAsciiLetterOrDigit(c) && c != '-') return false;
    }
    ++labels;
    start = dot + 1;
  }
  return labels >= 2;
}

}  // namespace

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

AddressCheck CheckAddress(std::string_view cell) {
  if (HasLineBreak(cell)) return {{}, "Zeilenumbruch in der Adresse"};
  while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\t')) cell.remove_prefix(1);
  while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t')) cell.remove_suffix(1);
  if (cell.empty()) return {{}, "keine Adresse"};
  const std::size_t at = cell.rfind('@');
  if (cell.size() > 254 || at == std::string_view::npos || !ValidLocalPart(cell.substr(0, at)) ||
      !ValidDomain(cell.substr(at + 1))) {
    return {{}, "keine gültige Adresse"};
  }
  return {std::string(cell), {}};
}

int GuessAddressColumn(const serial::CsvTable& table, std::size_t rowsLooked) {
  std::vector<std::size_t> hits;
  const std::size_t rows = std::min(rowsLooked, table.RowCount());
  for (std::size_t r = 0; r < rows; ++r) {
    const std::vector<std::string> cells = table.Row(r);
    if (hits.size() < cells.size()) hits.resize(cells.size());
    for (std::size_t c = 0; c < cells.size(); ++c) {
      if (CheckAddress(cells[c]).problem.empty()) ++hits[c];
    }
  }
  // The first of the columns with the most addresses.
  const auto best = std::max_element(hits.begin(), hits.end());
  if (best == hits.end() || *best == 0) return 0;
  return static_cast<int>(best - hits.begin()) + 1;
}

}  // namespace quirabel::mail
