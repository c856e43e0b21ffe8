#include "graphics/code_symbol.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>

#include "support/test_folder.h"

namespace quirabel::graphics {
namespace {

// Draws the symbol as a black-and-white picture with its quiet zone, 4 pixels per module (linear
// codes 60 pixels high), and lets a reader read it as a phone or a scanner would: zbarimg, or
// dmtxread for Data Matrix, which zbar does not know.
std::string ReadBack(const CodeSymbol& symbol, const std::filesystem::path& file, bool dataMatrix) {
  constexpr int kScale = 4;
  const int margin = symbol.quietZone * kScale;
  const int width = symbol.columns * kScale + 2 * margin;
  const int rowHeight = symbol.linear ? 60 : kScale;
  const int height = symbol.rows * rowHeight + 2 * (symbol.linear ? kScale * 4 : margin);
  const int top = (height - symbol.rows * rowHeight) / 2;
  std::vector<char> dark(static_cast<std::size_t>(width * height), 0);
  for (const CodeBar& bar : symbol.bars) {
    for (int y = top + bar.y * rowHeight; y < top + (bar.y + bar.height) * rowHeight; ++y) {
      for (int x = margin + bar.x * kScale; x < margin + (bar.x + bar.width) * kScale; ++x) {
        dark[static_cast<std::size_t>(y * width + x)] = 1;
      }
    }
  }
  {
    std::ofstream out(file, std::ios::binary);
    out << "P1\n" << width << ' ' << height << '\n';
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x)
        out << (dark[static_cast<std::size_t>(y * width + x)] ? '1' : '0');
      out << '\n';
    }
  }
  const std::string command =
      (dataMatrix ? "dmtxread '" : "zbarimg --raw -q '") + file.string() + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string text;
  std::array<char, 4096> buffer{};
  while (pipe && std::fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr)
    text += buffer.data();
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

TEST(CodeSymbolTest, WhatIsPrintedIsReadBack) {
  const std::filesystem::path folder = testing::FreshTestFolder("code_symbol");
  const VCardFields person{"Müller",
                           "Jürgen",
                           "Quirabel GmbH",
                           "+49 30 1234567",
                           "j.mueller@example.org",
                           "https://example.org"};
  const struct {
    CodeKind kind;
    std::string content;
    std::string read;  // what a reader gives back, when it differs from the content
  } cases[] = {
      {CodeKind::QrCode, "https://example.org/karte?id=4711", ""},
      {CodeKind::QrCode, VCard3(person), ""},
      {CodeKind::DataMatrix, "Eintrittskarte 0815", ""},
      {CodeKind::Code128, "Ticket-4711", ""},
      {CodeKind::Ean13, "400638133393", "4006381333931"},
      {CodeKind::Ean13, "4006381333931", ""},
  };
  int n = 0;
  for (const auto& c : cases) {
    const CodeSymbol symbol = EncodeCode(c.kind, c.content);
    ASSERT_FALSE(symbol.bars.empty());
    EXPECT_EQ(symbol.linear, c.kind == CodeKind::Code128 || c.kind == CodeKind::Ean13);
    if (!symbol.linear) {
      EXPECT_EQ(symbol.rows, symbol.columns) << c.content;
    }
    const std::string expected = c.read.empty() ? c.content : c.read;
    // vCard lines end in CR LF; the reader hands them back as they are.
    EXPECT_EQ(ReadBack(symbol, folder / ("code" + std::to_string(n++) + ".pbm"),
                       c.kind == CodeKind::DataMatrix),
              expected)
        << c.content;
  }
}

TEST(CodeSymbolTest, ContentAKindCannotHoldIsRefusedWithItsReason) {
  const struct {
    CodeKind kind;
    std::string content;
    std::string message;
  } cases[] = {
      {CodeKind::Ean13, "40063813339A", "12 oder 13 Ziffern"},
      {CodeKind::Ean13, "4006381333932", "richtig ist 1"},
      {CodeKind::Code128, "東京", "nicht darstellen"},
      {CodeKind::QrCode, std::string(8000, 'x'), "zu lang"},
      {CodeKind::DataMatrix, "", "keinen Inhalt"},
  };
  for (const auto& c : cases) {
    try {
      EncodeCode(c.kind, c.content);
      ADD_FAILURE() << "accepted: " << c.content.substr(0, 40);
    } catch (const CodeError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      // A long content is quoted by its first 80 characters only.
      EXPECT_LT(std::string(e.what()).size(), 300u);
    }
  }
}

TEST(CodeSymbolTest, HigherErrorCorrectionNeedsALargerQrCode) {
  const std::string link = "https://example.org/ein/etwas/laengerer/pfad";
  EXPECT_LT(EncodeCode(CodeKind::QrCode, link, QrErrorCorrection::L).columns,
            EncodeCode(CodeKind::QrCode, link, QrErrorCorrection::H).columns);
}

TEST(CodeSymbolTest, VCardValuesAreEscaped) {
  const std::string card = VCard3({"Schmidt", "Anna", "Meier, Müller & Co; KG", "", "", ""});
  EXPECT_EQ(card,
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Schmidt;Anna;;;\r\nFN:Anna Schmidt\r\n"
            "ORG:Meier\\, Müller & Co\\; KG\r\nEND:VCARD\r\n");
}

}  // namespace
}  // namespace quirabel::graphics
