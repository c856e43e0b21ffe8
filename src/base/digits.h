#pragma once

#include <optional>
#include <string_view>

namespace quirabel {

// A whole number typed as decimal digits only ("0012" is 12); none when the text is empty, holds
// anything else (a sign, a blank, a point) or is too large for an int.
std::optional<int> ParseDigits(std::string_view text);

}  // namespace quirabel
