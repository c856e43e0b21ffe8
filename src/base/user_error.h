#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace quirabel {

// A failure told to the person in the program's own words: what() is the whole German message,
// word for word. Windows, the page model and the report throw it (or a kind of it) instead of
// showing a box; the command boundary alone shows it (`app::RunCommand` in the designer, the
// batch tool's `RunGuarded` on standard error), as it stands. Any other exception reaching the
// boundary is told as a failed command.
class UserError : public std::runtime_error {
 public:
  explicit UserError(const std::string& message) : std::runtime_error(message) {}
};

// What an operation that succeeded has to tell the person all the same (a picture shrunk to fit,
// blocks of a page that could not be read), in order; the command that ran it shows them.
using Notices = std::vector<std::string>;

}  // namespace quirabel
