#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "base/shared_bytes.h"
#include "designer/projectfile/page_text.h"

namespace quirabel::designer::projectfile {

// Reads many page texts side by side, one thread per core (at most `threads`), for a caller that
// goes through all pages of a project anyway: each page as ReadPageText gives it. A page that
// cannot be read has no entry; reading it again the plain way tells why.
std::vector<std::optional<PageText>> ReadPageTextsSideBySide(std::span<const SharedBytes> texts,
                                                             unsigned threads);

// The first page text (counted from 0) that ReadPageText refuses, or none: for a caller that
// checks pages on a thread of its own while it writes them.
std::optional<std::size_t> FirstUnreadablePage(std::span<const SharedBytes> texts);

}  // namespace quirabel::designer::projectfile
