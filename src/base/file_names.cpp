#include "base/file_names.h"

namespace quirabel {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

}  // namespace

bool HasExtension(std::string_view name, std::string_view extension) {
  if (name.size() < extension.size()) return false;
  const std::string_view end = name.substr(name.size() - extension.size());
  for (std::size_t i = 0; i < end.size(); ++i) {
    if (Lower(end[i]) != Lower(extension[i])) return false;
  }
  return true;
}

std::string WithExtension(std::string name, std::string_view extension) {
  if (!HasExtension(name, extension)) name += extension;
  return name;
}

std::string WithoutExtension(std::string name, std::string_view extension) {
  if (HasExtension(name, extension)) name.resize(name.size() - extension.size());
  return name;
}

}  // namespace quirabel
