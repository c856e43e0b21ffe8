#pragma once

#include <stdexcept>
#include <string>

namespace quirabel::graphics {

// A picture that cannot be read, written or held: truncated, lying or too large. The message says
// what is wrong; the designer wraps it in its own message to the user.
class ImageError : public std::runtime_error {
 public:
  explicit ImageError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quirabel::graphics
