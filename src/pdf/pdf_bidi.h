#pragma once

#include <string>
#include <string_view>

namespace quirabel::pdf {

class FontChain;

// Right-to-left text (Hebrew, Arabic, ...) and mixed text for the text layout: joined and put in
// reading order through the Unicode module, which is opened for the first such text only. Texts
// are UTF-8. Without the module a text stays as it is.

// Whether a text has right-to-left letters or explicit marks of direction (LRM, RLO, ...), which
// the bidirectional algorithm must order; cheap for the texts that have none.
bool NeedsBidi(std::string_view utf8);
// The explicit marks, embeddings, overrides and isolates, which print nothing.
bool IsBidiControl(char32_t ch);

// The text with its Arabic letters in the forms they join in, when the fonts of chain have every
// one of those forms; else the text as it is.
std::string JoinedArabic(std::string_view utf8, const FontChain& chain);

// 1 when a paragraph reads right to left (its first strong character), else 0.
int ParagraphLevel(std::string_view utf8);

// One line of a paragraph of that level in the order it is drawn, left to right; a line that
// needs no ordering comes back unchanged.
std::string VisualOrder(std::string_view line, int level);

// The characters a presentation form stands for (U+FEFB: lam, alef), for copying text out of a
// PDF; the character itself for others.
std::u32string LogicalCharacters(char32_t ch);

}  // namespace quirabel::pdf
