#include "designer/projectfile/file_text.h"

#include <gtest/gtest.h>

#include "designer/projectfile/records.h"

namespace quirabel::designer::projectfile {
namespace {

TEST(FileTextTest, CharactersBeyondWindows1252TravelAsNumericReferences) {
  struct Case {
    std::string utf8;
    std::string file;
  };
  const Case cases[] = {
      {"Grüße aus Köln €",
       "Gr\xFC\xDF"
       "e aus K\xF6ln \x80"},  // unchanged Windows-1252
      {"Şahin Çelik, Łódź",
       "&#350;ahin \xC7"
       "elik, &#321;\xF3"
       "d&#378;"},
      {"東京 GmbH", "&#26481;&#20140; GmbH"},
      {"😀", "&#128512;"},        // beyond the first plane: one reference
      {"a &# b", "a &#38;# b"},  // a typed "&#"
      {"&#321;", "&#38;#321;"},  // a typed reference stays text
      {"&#38;#", "&#38;#38;#"},
      {"AT&T &amp; #1", "AT&T &amp; #1"},  // '&' and '#' apart need nothing
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToFileText(c.utf8), c.file) << c.utf8;
    EXPECT_EQ(FromFileText(c.file), c.utf8) << c.utf8;
  }
}

TEST(FileTextTest, OnlyReferencesTheWriterMakesAreResolved) {
  // Older files may hold "&#" as plain text: what the writer never makes stays as it is.
  EXPECT_EQ(FromFileText("&#65; &#; &#x141; &#12a; &#55296; &#9999999;"),
            "&#65; &#; &#x141; &#12a; &#55296; &#9999999;");
  EXPECT_EQ(FromFileText("&#38;"), "&");
  EXPECT_EQ(FromFileText("\xE4&#321;\xE4"), "äŁä");
}

TEST(FileTextTest, RecordFieldsAreNeverCutInsideAReference) {
  LabelRecord record;
  record.name = "PRLabelBImage0123";
  // 248 bytes of 'x', then a reference of 6 bytes: it does not fit and is left out whole.
  record.text = std::string(248, 'x') + ToFileText("Ł");
  EXPECT_EQ(DecodeLabel(Encode(record)).text, std::string(248, 'x'));
  record.text = std::string(244, 'x') + ToFileText("Ł") + "yz";
  EXPECT_EQ(FromFileText(DecodeLabel(Encode(record)).text), std::string(244, 'x') + "Ł");
  EXPECT_EQ(CutFileText("ab&#38;#", 5), 2u);
  EXPECT_EQ(CutFileText("ab&c", 3), 3u);
}

}  // namespace
}  // namespace quirabel::designer::projectfile
