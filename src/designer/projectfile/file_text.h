#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quirabel::designer::projectfile {

// Texts in project and template files are Windows-1252. A character Windows-1252 cannot hold is
// stored as a decimal numeric reference "&#NNNN;", and a literal "&#" typed by the user as
// "&#38;#", so a text without such characters keeps exactly the bytes it always had, and an older
// reader shows the reference instead of losing the character.

// UTF-8 to the bytes of the file.
std::string ToFileText(std::string_view utf8);

// The bytes of the file to UTF-8: references to characters outside Windows-1252 and "&#38;" are
// resolved; any other "&#" stays as it is.
std::string FromFileText(std::string_view bytes);

// The longest prefix of file bytes, at most maxLength, that does not end inside a reference.
std::size_t CutFileText(std::string_view bytes, std::size_t maxLength);

}  // namespace quirabel::designer::projectfile
