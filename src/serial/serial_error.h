#pragma once

#include <stdexcept>
#include <string>

namespace quirabel::serial {

// A refusal of outside data (CSV file, link file) or of a serial run, carrying the German message
// the user sees.
class SerialError : public std::runtime_error {
 public:
  explicit SerialError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quirabel::serial
