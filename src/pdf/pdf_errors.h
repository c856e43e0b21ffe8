#pragma once

#include <stdexcept>
#include <string>

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

}  // namespace quirabel::pdf
