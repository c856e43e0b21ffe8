#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "pdf/font_faces.h"
#include "pdf/pdf_fonts.h"

namespace quirabel::pdf {

class TPdfDoc;

// One installed face embedded into a document: a Type0 font with Identity-H encoding over a
// CIDFontType2 whose codes (CIDs) are given to characters in the order of their first use. When
// the document is saved the face is cut down to the glyphs used (one subset per face and
// document, however many pages use it), with a /W array of the advances the text was measured
// with and a ToUnicode map, so text extraction gives back exactly the characters.
class TPdfEmbeddedFace {
 public:
  TPdfEmbeddedFace(TPdfObjectMgr& objectMgr, const FontFace& face, std::string resourceName);

  const FontFace& Face() const { return *face_; }
  TPdfDictionary& Dictionary() const { return *type0_; }
  const std::string& ResourceName() const { return resourceName_; }
  // The code of a character the face has.
  std::uint16_t Code(char32_t ch, std::uint32_t glyph);
  // Number of characters given a code so far.
  std::size_t CodeCount() const { return codes_.size(); }
  // Builds the subset, widths and maps from the codes given so far.
  void Finish();

 private:
  TPdfObjectMgr* objectMgr_;
  const FontFace* face_;
  std::string resourceName_;
  TPdfDictionary* type0_;
  TPdfDictionary* cidFont_;
  TPdfDictionary* descriptor_;
  TPdfStream* fontFile_;
  TPdfStream* toUnicode_;
  TPdfStream* cidToGid_;
  std::vector<std::pair<char32_t, std::uint32_t>> codes_;  // code i + 1: character and glyph
  std::unordered_map<char32_t, std::uint16_t> codeOf_;
};

// A standard font family and style for text with characters beyond Windows-1252: texts are UTF-8
// and are set in the embedded Liberation face of that style, and each character it lacks in the
// first installed font that has it. Its registered name is the standard name with kUnicodeSuffix.
class TPdfUnicodeFont final : public TPdfFont {
 public:
  static constexpr std::string_view kUnicodeSuffix = "+Unicode";

  // Raises EPdfInvalidValue for a name that is not a standard font with the suffix, or when no
  // font is installed at all.
  TPdfUnicodeFont(TPdfDoc& doc, std::string name);

  // Width of the character starting at a 1-based byte position; 0 for the other bytes of a
  // character and for control characters. A character no font has measures as the missing glyph.
  int GetCharWidth(std::string_view text, int position) const override;
  // The characters of a text that no installed font has, each once, in order.
  std::vector<char32_t> MissingCharacters(std::string_view text) const;

  // A stretch of text in one face: its codes, and for each whether it is a space.
  struct Run {
    TPdfEmbeddedFace* face = nullptr;
    std::vector<std::uint16_t> codes;
    std::vector<bool> spaces;
  };
  // The text as runs of codes, control characters left out. Missing characters must have been
  // refused before.
  std::vector<Run> Encode(std::string_view text);
  TPdfEmbeddedFace& PrimaryFace() const { return *primary_; }

 private:
  // The choice of the process-wide chain; control characters are set by no face and measure 0.
  const GlyphChoice& ChoiceOf(char32_t ch) const;

  TPdfDoc* doc_;
  const FontChain* chain_;
  TPdfEmbeddedFace* primary_;
};

// A face cut down to some glyphs (and glyph 0), hinting and the tables a PDF viewer does not
// read left out, and the new number of each glyph asked for.
struct FontSubset {
  std::string bytes;
  std::vector<std::uint32_t> newGlyphs;
};
// Raises EPdfInvalidOperation when the face cannot be cut.
FontSubset CutSubset(hb_face_t* source, std::span<const std::uint32_t> glyphs);

// Decodes the UTF-8 character starting at pos; its length (at least 1) goes to length. A byte
// that starts no well-formed character gives U+FFFD.
char32_t DecodeUtf8At(std::string_view text, std::size_t pos, std::size_t& length);

// A text for the document information: Windows-1252 bytes when it fits, else UTF-16BE after a
// byte-order mark, which PDF text strings allow as well.
std::string PdfTextString(std::string_view utf8);

// "U+00E4", at least four upper-case hexadecimal digits.
std::string CodePointText(char32_t ch);

}  // namespace quirabel::pdf
