#pragma once

#include <stdexcept>
#include <string>

namespace quirabel::ui {

// An operation that the state of a component does not allow (a parent it cannot sit on, a
// document that is not open).
class EInvalidOperation : public std::runtime_error {
 public:
  explicit EInvalidOperation(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quirabel::ui
