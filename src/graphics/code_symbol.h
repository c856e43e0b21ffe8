#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quirabel::graphics {

// The codes a card can carry.
enum class CodeKind { QrCode, DataMatrix, Code128, Ean13 };

// How much of a QR code may be damaged and still be read: about 7, 15, 25 and 30 %.
enum class QrErrorCorrection { L, M, Q, H };

// How a QR code's mask pattern is chosen. Automatic tries all eight and keeps the one a reader
// likes best (about nine tenths of the encoding time); Fixed takes one pattern, which every
// reader reads as well: what codes that change from row to row use.
enum class QrMask { Automatic, Fixed };

// A content that the kind cannot encode. The message is German and names what is wrong.
class CodeError : public std::runtime_error {
 public:
  explicit CodeError(const std::string& message) : std::runtime_error(message) {}
};

// A dark area of a symbol in modules, from the symbol's top-left corner (quiet zone excluded).
struct CodeBar {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  friend bool operator==(const CodeBar&, const CodeBar&) = default;
};

// An encoded symbol as a grid of modules. A linear code (Code 128, EAN-13) is one row whose bars
// are stretched to the height it is drawn at; a matrix code has square modules. Neighbouring dark
// modules of a row are one bar, so a symbol draws as few rectangles.
struct CodeSymbol {
  int columns = 0;
  int rows = 0;
  bool linear = false;
  // The light margin readers need around the symbol, in modules on each side (left and right for
  // linear codes, all four sides for matrix codes).
  int quietZone = 0;
  std::vector<CodeBar> bars;
};

// Encodes UTF-8 content. Characters are taken as ISO 8859-1 where they fit (what readers assume
// without further marks); a QR or Data Matrix code switches to UTF-8 for other characters.
// CodeError for empty content, content the kind cannot hold (letters in EAN-13, Code 128 beyond
// Latin-1, more than a symbol of the kind holds) and a wrong EAN-13 check digit.
CodeSymbol EncodeCode(CodeKind kind, std::string_view content,
                      QrErrorCorrection correction = QrErrorCorrection::M,
                      QrMask mask = QrMask::Automatic);

// The thirteen digits of an EAN-13 from twelve (the check digit computed) or thirteen (the check
// digit verified). CodeError for anything else, naming the expected check digit when it is wrong.
std::string Ean13WithCheckDigit(std::string_view digits);

// The fields of a vCard 3.0 made for a card's QR code; empty fields are left out.
struct VCardFields {
  std::string familyName;
  std::string givenName;
  std::string organisation;
  std::string phone;
  std::string email;
  std::string url;
};

// A vCard 3.0 text (lines ended by CR LF, values escaped) with N, FN, ORG, TEL, EMAIL and URL.
std::string VCard3(const VCardFields& fields);

// A value as a vCard 3.0 holds it: backslash, comma and semicolon escaped, a line break as "\n".
std::string VCardValue(std::string_view value);

}  // namespace quirabel::graphics
