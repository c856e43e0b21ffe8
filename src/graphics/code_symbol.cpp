#include "graphics/code_symbol.h"

#include <zint.h>

#include <memory>

namespace quirabel::graphics {

namespace {

struct SymbolDeleter {
  void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

// What readers need as a light margin, in modules.
int QuietZoneOf(CodeKind kind) {
  switch (kind) {
    case CodeKind::QrCode:
      return 4;
    case CodeKind::DataMatrix:
      return 1;
    case CodeKind::Code128:
      return 10;
    case CodeKind::Ean13:
      return 11;
  }
  return 0;
}

const char* NameOf(CodeKind kind) {
  switch (kind) {
    case CodeKind::QrCode:
      return "QR-Code";
    case CodeKind::DataMatrix:
      return "Data-Matrix-Code";
    case CodeKind::Code128:
      return "Code 128";
    case CodeKind::Ean13:
      return "EAN-13";
  }
  return "Code";
}

bool ModuleIsDark(const zint_symbol& symbol, int row, int column) {
  return ((symbol.encoded_data[row][column >> 3] >> (column & 7)) & 1) != 0;
}

bool IsDigits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

char CheckDigitOf(std::string_view twelveDigits) {
  int sum = 0;
  for (std::size_t i = 0; i < twelveDigits.size(); ++i) {
    const int digit = twelveDigits[i] - '0';
    sum += i % 2 == 0 ? digit : 3 * digit;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

}  // namespace

std::string VCardValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    switch (c) {
      case '\\':
      case ',':
      case ';':
        out.push_back('\\');
        out.push_back(c);
        break;
      case '\r':
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

namespace {

// A content as a message quotes it: at most 80 characters, so that a row's long text does not
// fill the screen.
std::string Quoted(std::string_view content) {
  constexpr std::size_t kMaxCharacters = 80;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < content.size(); ++i) {
    if ((static_cast<unsigned char>(content[i]) & 0xC0) == 0x80) continue;
    if (++characters > kMaxCharacters) return "„" + std::string(content.substr(0, i)) + "…“";
  }
  return "„" + std::string(content) + "“";
}

}  // namespace

std::string Ean13WithCheckDigit(std::string_view digits) {
  if ((digits.size() != 12 && digits.size() != 13) || !IsDigits(digits)) {
    throw CodeError("Ein EAN-13-Code besteht aus 12 oder 13 Ziffern, nicht aus " +
                    Quoted(digits) + ".");
  }
  const char check = CheckDigitOf(digits.substr(0, 12));
  if (digits.size() == 13 && digits[12] != check) {
    throw CodeError("Die Prüfziffer von " + Quoted(digits) + " ist falsch; richtig ist " +
                    std::string(1, check) + ".");
  }
  return std::string(digits.substr(0, 12)) + check;
}

CodeSymbol EncodeCode(CodeKind kind, std::string_view content, QrErrorCorrection correction,
                      QrMask mask) {
  if (content.empty()) throw CodeError(std::string("Der ") + NameOf(kind) + " hat keinen Inhalt.");
  std::string data(content);
  if (kind == CodeKind::Ean13) data = Ean13WithCheckDigit(content).substr(0, 12);

  const std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
  if (!symbol) throw CodeError("Für den Code ist nicht genug Speicher frei.");
  symbol->input_mode = UNICODE_MODE;
  symbol->show_hrt = 0;
  switch (kind) {
    case CodeKind::QrCode:
      symbol->symbology = BARCODE_QRCODE;
      symbol->option_1 = static_cast<int>(correction) + 1;
      // The first pattern, (row + column) mod 2; zint counts patterns from 1 in these bits.
      if (mask == QrMask::Fixed) symbol->option_3 = (0 + 1) << 8;
      break;
    case CodeKind::DataMatrix:
      symbol->symbology = BARCODE_DATAMATRIX;
      symbol->option_3 = DM_SQUARE;  // a square fits a card's corner as a QR code does
      break;
    case CodeKind::Code128:
      symbol->symbology = BARCODE_CODE128;
      break;
    case CodeKind::Ean13:
      symbol->symbology = BARCODE_EANX;
      break;
  }
  const int result =
      ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(data.data()),
                      static_cast<int>(data.size()));
  if (result >= ZINT_ERROR) {
    const std::string reason = result == ZINT_ERROR_TOO_LONG ? "Der Inhalt ist zu lang."
                               : result == ZINT_ERROR_INVALID_DATA
                                   ? "Der Inhalt enthält Zeichen, die der Code nicht kennt."
                                   : std::string("Der Inhalt passt nicht zu dieser Codeart.");
    throw CodeError(std::string("Der ") + NameOf(kind) + " kann " + Quoted(content) +
                    " nicht darstellen. " + reason);
  }

  CodeSymbol out;
  out.columns = symbol->width;
  out.linear = kind == CodeKind::Code128 || kind == CodeKind::Ean13;
  out.rows = out.linear ? 1 : symbol->rows;
  out.quietZone = QuietZoneOf(kind);
  for (int row = 0; row < out.rows; ++row) {
    int column = 0;
    while (column < out.columns) {
      if (!ModuleIsDark(*symbol, row, column)) {
        ++column;
        continue;
      }
      const int start = column;
      while (column < out.columns && ModuleIsDark(*symbol, row, column)) ++column;
      out.bars.push_back({start, row, column - start, 1});
    }
  }
  return out;
}

std::string VCard3(const VCardFields& f) {
  std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
  card += "N:" + VCardValue(f.familyName) + ";" + VCardValue(f.givenName) + ";;;\r\n";
  std::string fullName = f.givenName;
  if (!fullName.empty() && !f.familyName.empty()) fullName += ' ';
  fullName += f.familyName;
  card += "FN:" + VCardValue(fullName.empty() ? f.organisation : fullName) + "\r\n";
  if (!f.organisation.empty()) card += "ORG:" + VCardValue(f.organisation) + "\r\n";
  if (!f.phone.empty()) card += "TEL;TYPE=WORK,VOICE:" + VCardValue(f.phone) + "\r\n";
  if (!f.email.empty()) card += "EMAIL;TYPE=INTERNET:" + VCardValue(f.email) + "\r\n";
  if (!f.url.empty()) card += "URL:" + VCardValue(f.url) + "\r\n";
  card += "END:VCARD\r\n";
  return card;
}

}  // namespace quirabel::graphics
