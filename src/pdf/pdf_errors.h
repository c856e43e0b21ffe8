#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace quirabel::pdf {

// The writer's failures. Each carries the fixed English message of the operation that failed
// ("SetTitle --invalid operation."); callers that show messages to the user translate them.
class EPdfException : public std::runtime_error {
 public:
  explicit EPdfException(const std::string& message) : std::runtime_error(message) {}
};

// A bad argument.
class EPdfInvalidValue : public EPdfException {
 public:
  using EPdfException::EPdfException;
};

// An operation in the wrong state.
class EPdfInvalidOperation : public EPdfException {
 public:
  using EPdfException::EPdfException;
};

// A picture that cannot become an image object.
class EPdfInvalidImageFormat : public EPdfException {
 public:
  using EPdfException::EPdfException;
};

// Text with characters that no installed font has, or control characters, which print nothing a
// reader could see. The message names them ("U+E000"); callers that know the page and element
// raise it again with those named.
class EPdfMissingCharacters : public EPdfInvalidValue {
 public:
  EPdfMissingCharacters(const std::string& message, std::vector<char32_t> characters,
                        bool control = false)
      : EPdfInvalidValue(message), characters_(std::move(characters)), control_(control) {}
  const std::vector<char32_t>& Characters() const { return characters_; }
  // Whether the characters are control characters rather than ones no font has.
  bool Control() const { return control_; }

 private:
  std::vector<char32_t> characters_;
  bool control_ = false;
};

}  // namespace quirabel::pdf
