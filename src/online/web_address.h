#pragma once

#include <string>
#include <string_view>

namespace quirabel::online {

// Whether the text is an http:// or https:// address with a host: the only kind the program hands
// to the web browser or asks for a file.
bool IsWebAddress(std::string_view address);

// The text as a URL query value: UTF-8 bytes, everything but letters, digits and "-._~" as %XX.
std::string PercentEncode(std::string_view text);

}  // namespace quirabel::online
