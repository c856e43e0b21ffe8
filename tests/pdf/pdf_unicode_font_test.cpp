// The operators and objects of text in embedded faces.
#include "pdf/pdf_unicode_font.h"

#include <gtest/gtest.h>

#include <map>

#include "pdf/pdf_canvas.h"
#include "pdf/pdf_doc.h"
#include "pdf/pdf_errors.h"
#include "support/pdf_check.h"

namespace quirabel::pdf {
namespace {

class UnicodeFontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.NewDoc();
    doc.AddPage();
    canvas().SetFont("Arial+Unicode", 10);
    canvas().Contents()->Data().clear();
  }
  TPdfCanvas& canvas() { return doc.Canvas(); }
  std::string Take() { return std::exchange(canvas().Contents()->Data(), std::string()); }

  FixedClock clock{LocalDateTime{2026, 12, 7, 10, 0, 0, 0}};
  TPdfDoc doc{clock};
};

TEST_F(UnicodeFontTest, CodesFollowFirstUseAndFacesSwitchWhereAFaceLacksACharacter) {
  struct Case {
    const char* text;
    double wordSpace;
    const char* written;
  };
  const Case cases[] = {
      {"Łab", 0, "<000100020003> Tj\n"},
      {"baŁ", 0, "<000300020001> Tj\n"},  // a character keeps its code
      // Word spacing does not reach two-byte codes: the displacement after each inner space.
      {"Ł a b ", 2, "2 Tw\n[<00010004> -200 <00020004> -200 <00030004>] TJ\n"},
      // Armenian is not in Liberation: another face for it, then the font of the text state.
      {"aԱb", 0, "<0002> Tj\n/U1 10 Tf\n<0001> Tj\n/U0 10 Tf\n<0003> Tj\n"},
      {"a\tb", 0, "<00020003> Tj\n"},  // control characters have no glyph
  };
  for (const Case& c : cases) {
    canvas().SetWordSpace(c.wordSpace);
    if (c.wordSpace == 0) Take();
    canvas().ShowText(c.text);
    EXPECT_EQ(Take(), c.written) << c.text;
  }
  EXPECT_EQ(doc.EmbeddedFaceCount(), 2u);
  std::string first;
  doc.SaveToStream(first);
  EXPECT_TRUE(testing::IsValidPdf(first));
  EXPECT_NE(first.find("/W [1 [556 556 556 278 ] ]"), std::string::npos);  // Ł a b space
  EXPECT_NE(first.find("<0001> <0141>"), std::string::npos);               // ToUnicode of Ł
  // Saving again gives the same file.
  std::string second;
  doc.SaveToStream(second);
  EXPECT_EQ(second, first);
}

TEST_F(UnicodeFontTest, MissingCharactersAreRefusedBeforeAnythingIsWritten) {
  try {
    canvas().TextRect({10, 100, 200, 80},
                      "a\xEE\x80\x80"
                      "b\xEE\x80\x81\xEE\x80\x80",
                      TAlignment::taLeftJustify, true);
    FAIL() << "written";
  } catch (const EPdfMissingCharacters& e) {
    EXPECT_EQ(e.Characters(), (std::vector<char32_t>{0xE000, 0xE001}));
    EXPECT_STREQ(e.what(), "ShowText --no installed font has U+E000, U+E001");
  }
  EXPECT_EQ(Take(), "");
}

// Subsets are cut from a face prepared once per process; they are the very bytes and glyph
// numbers cut from the face itself. A cut leaves nothing behind for the next one: the same glyphs
// give the same bytes after a larger subset as before it.
TEST(FontSubsets, ThePreparedFaceCutsWhatTheFaceCuts) {
  for (int family : {0, 1, 2}) {
    const FontFace& face = *FontChain::For(family, family == 2, false).Primary();
    std::vector<std::uint32_t> glyphs;
    for (char32_t ch : std::u32string(U"Łódź Ελένη Юлия ß€AZ"))
      if (const auto glyph = face.Glyph(ch)) glyphs.push_back(*glyph);
    ASSERT_GT(glyphs.size(), 10u);
    std::map<std::size_t, std::string> first;
    for (const std::size_t count :
         {std::size_t{1}, std::size_t{5}, glyphs.size(), std::size_t{1}, std::size_t{5}}) {
      const std::span<const std::uint32_t> some(glyphs.data(), count);
      const FontSubset fromFace = CutSubset(face.Face(), some);
      const FontSubset prepared = CutSubset(face.SubsetSource(), some);
      EXPECT_EQ(prepared.bytes, fromFace.bytes) << family << " " << count;
      EXPECT_EQ(prepared.newGlyphs, fromFace.newGlyphs) << family << " " << count;
      if (const auto [it, fresh] = first.emplace(count, prepared.bytes); !fresh) {
        EXPECT_EQ(prepared.bytes, it->second) << family << " " << count;
      }
    }
  }
}

}  // namespace
}  // namespace quirabel::pdf
