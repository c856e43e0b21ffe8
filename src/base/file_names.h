#pragma once

#include <string>
#include <string_view>

namespace quirabel {

// Whether a file name ends in an extension (".pdf"), ASCII letters compared without regard to
// case: "rechnung.PDF" has it, "rechnung.pdf-entwurf" has not.
bool HasExtension(std::string_view name, std::string_view extension);
// The name with the extension appended unless it ends in it already.
std::string WithExtension(std::string name, std::string_view extension);
// The name without the extension when it ends in it.
std::string WithoutExtension(std::string name, std::string_view extension);

}  // namespace quirabel
