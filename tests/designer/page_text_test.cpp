#include "designer/projectfile/page_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/atomic_file.h"
#include "designer/projectfile/page_reading.h"
#include "designer/projectfile/project_split.h"
#include "graphics/bitmap.h"
#include "graphics/bmp.h"
#include "graphics/jpeg.h"
#include "support/test_folder.h"

namespace quirabel::designer::projectfile {
namespace {

constexpr std::string_view kHeaderText =
    "<kx-2.2><vs>K-17</kxnummer>4711</kxint>Visitenkarte</kxtitel></kxthema>M\xFCller</kxautor>"
    "</kxkeywords>Karte</kxdoctype>55</kxheight>85</kxwidth>2</kxvbl>0</kxhbl>1</kxsvbl>"
    "255</kxshbl>L1</kxlines>";
// An empty page up to where the elements start.
const std::string kHead = std::string(kHeaderText) + std::string(76, '\0') +
                          "<kxdata></kxelement>0</kxpaymerk></kxheader>";

graphics::Bitmap Pattern(int width, int height) {
  graphics::Bitmap bitmap(width, height, graphics::PixelFormat::pf24bit);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, (x * 7919 + y * 104729) & 0xFFFFFF);
  }
  return bitmap;
}

// A real JPEG with tag text patched into its entropy-coded data; the text holds no 0xFF, so the
// structure still ends at the end-of-image marker.
std::string JpegWithTags() {
  std::string jpeg = graphics::EncodeJpeg(Pattern(32, 32), 90);
  const std::size_t sos = jpeg.find("\xFF\xDA");
  std::size_t at = sos + 2 + static_cast<unsigned char>(jpeg[sos + 3]) + 8;  // length < 256
  while (jpeg[at - 1] == '\xFF') ++at;
  EXPECT_LT(at + 22, jpeg.size());
  return jpeg.replace(at, 20, "</kxelement><kxdata>");
}

TEST(PageTextTest, EmptyPageBytes) {
  PageText page;
  page.header = {"K-17", "4711", "Visitenkarte", "", "M\xFCller", "", "Karte", "55", "85", 2, 0, 1,
                 255,    "L1"};
  const std::string text = WritePageText(page);
  EXPECT_EQ(text, kHead);
  const PageText back = ReadPageText(text);
  EXPECT_EQ(back.header.author, "M\xFCller");
  EXPECT_EQ(back.header.horizontalPerforations, 255);
  EXPECT_EQ(back.header.guideLines, "L1");

  for (char mark : {'0', '1', '2', 'x'}) {
    page.orderMark = mark;
    EXPECT_EQ(ReadPageText(WritePageText(page)).orderMark, mark);
  }
  EXPECT_EQ(ReadPageText(std::string(text).erase(text.size() - 24, 1)).orderMark, '0');
}

TEST(PageTextTest, EveryKindRoundTrips) {
  PageText page;
  page.background = {"Hintergrund", 0, 0, 0, 5500, 8500};
  page.backgroundJpeg = graphics::EncodeJpeg(Pattern(8, 8));
  LabelRecord label;
  label.text = "Text";
  std::string bmp = graphics::WriteBmp(Pattern(8, 4));
  bmp.replace(60, 20, "</kxelement><kxdata>");
  const auto block = [](ElementKind kind, auto record, SharedBytes data) {
    ElementBlock b;
    b.kind = kind;
    b.record = record;
    b.data = std::move(data);
    return b;
  };
  page.elements = {block(ElementKind::Rect, RectRecord{"R", 0xFF}, ""),
                   block(ElementKind::Label, label, ""),
                   block(ElementKind::Text, TextRecord{}, EncodeTextLines("Erste\nZweite")),
                   block(ElementKind::Jpeg, ImageRecord{"J"}, JpegWithTags()),
                   block(ElementKind::Bitmap, ImageRecord{"B"}, bmp),
                   block(ElementKind::Ellipse, RectRecord{"E", 0xFF, 0xFF00}, ""),
                   block(ElementKind::Rect, RectRecord{"last"}, "")};
  const std::string text = WritePageText(page);
  const PageText back = ReadPageText(text);
  EXPECT_EQ(WritePageText(back), text);
  // A page is a value: read back it equals what was written, a copy equals it, and a change to
  // one field of one record, or to one byte of a picture, makes it another page.
  EXPECT_EQ(back, page);
  PageText changed = back;
  EXPECT_EQ(changed, back);
  std::get<RectRecord>(changed.elements[5].record).lineColor ^= 1;
  EXPECT_NE(changed, back);
  changed = back;
  changed.elements[4].data = std::string(bmp).replace(70, 1, "x");
  EXPECT_NE(changed, back);
  EXPECT_EQ(back.background, page.background);
  EXPECT_EQ(back.backgroundJpeg, page.backgroundJpeg);
  ASSERT_EQ(back.elements.size(), page.elements.size());
  for (std::size_t i = 0; i < page.elements.size(); ++i) {
    EXPECT_EQ(back.elements[i].kind, page.elements[i].kind) << i;
    EXPECT_EQ(back.elements[i].record, page.elements[i].record) << i;
    EXPECT_EQ(back.elements[i].data, page.elements[i].data) << i;
  }

  // Records are fixed in size, so tag text in bytes the reader ignores must not end the block.
  std::string patched = text;
  const std::size_t at = patched.find("<kxelement LAB>") + 15;
  patched.replace(at + 2, 12, "</kxelement>").replace(at + 94, 2, "<k");  // name room, reserved
  patched.replace(at + 122, 20, "</kxelement><kxdata>");                  // after the text
  patched.replace(patched.find("<kxelement REC>") + 18, 12, "</kxelement>");
  EXPECT_EQ(WritePageText(ReadPageText(patched)), text);

  // Whether a page writes as given bytes, told without writing them: a page read back from its
  // own text does; a page that writing tidies up, or bytes one longer or shorter, do not.
  EXPECT_TRUE(WritesAs(back, text));
  EXPECT_TRUE(WritesAs(ReadPageText(patched), text));
  EXPECT_FALSE(WritesAs(ReadPageText(patched), patched));
  EXPECT_FALSE(WritesAs(back, text + "x"));
  EXPECT_FALSE(WritesAs(back, std::string_view(text).substr(0, text.size() - 1)));
  std::string otherPicture = text;
  otherPicture[otherPicture.find("<kxelement IMG>") + 15 + 76 + 8 + 3] ^= 1;
  EXPECT_FALSE(WritesAs(back, otherPicture));
}

// Pages from earlier versions, or slightly damaged ones, still read.
TEST(PageTextTest, LenientReading) {
  const std::string rect = "<kxelement REC>" + std::string(72, '\0') + "</kxelement>";
  const std::string image = "<kxelement IMG>\x01X" + std::string(74, '\0');
  const std::string full = graphics::EncodeJpeg(Pattern(8, 8));
  const std::string cut = full.substr(0, full.size() - 20);
  // A truncated JPEG has no end of image, so the first closing tag ends it; bytes after a
  // complete one stay with it.
  PageText page = ReadPageText(kHead + image + "<kxdata>" + cut + "</kxelement>" + image +
                               "<kxdata>" + full + "xx</kxelement>" + rect);
  ASSERT_EQ(page.elements.size(), 3u);
  EXPECT_EQ(page.elements[0].data, cut);
  EXPECT_EQ(page.elements[1].data, full + "xx");

  // The walk that finds a JPEG's end also checks it, and what it found goes with the block, so
  // loading the picture needs no second walk; a picture it did not walk whole has none.
  const std::string tagged = JpegWithTags();
  const struct {
    std::string data;
    bool checked;
  } walked[] = {{full, true},
                {full + "xx", true},
                {tagged, true},
                {cut, false},
                {std::string("\xFF\xD8\xFF\xD9", 4), false}};  // no image data: not sound
  for (const auto& w : walked) {
    page = ReadPageText(kHead + image + "<kxdata>" + w.data + "</kxelement>" + rect);
    ASSERT_EQ(page.elements.size(), 2u);
    EXPECT_EQ(page.elements[0].data, w.data);
    ASSERT_EQ(page.elements[0].checkedJpeg.has_value(), w.checked) << w.data.size();
    if (!w.checked) continue;
    const graphics::JpegLayout expected = graphics::CheckJpegStructure(w.data);
    EXPECT_EQ(page.elements[0].checkedJpeg->end, expected.end);
    EXPECT_EQ(page.elements[0].checkedJpeg->width, expected.width);
    EXPECT_EQ(page.elements[0].checkedJpeg->scans, expected.scans);
  }

  // A BMP block with a short record is left out and counted; unknown blocks are skipped, and so
  // is anything after the last block.
  page = ReadPageText(kHead + "<kxelement BMP>kurz<kxdata>BM</kxelement>" +
                      "<kxelement XYZ>neu</kxelement>" + rect + "\r\nRest");
  ASSERT_EQ(page.elements.size(), 1u);
  EXPECT_EQ(page.elements[0].kind, ElementKind::Rect);
  EXPECT_EQ(page.skippedBitmapBlocks, 1);

  // Bytes between a record and its closing tag or "<kxdata>": the record is the start.
  page = ReadPageText(kHead + "<kxelement REC>\002ab" + std::string(80, ' ') + "</kxelement>" +
                      image + "extra<kxdata>BM</kxelement>");
  ASSERT_EQ(page.elements.size(), 2u);
  EXPECT_EQ(std::get<RectRecord>(page.elements[0].record).name, "ab");
  EXPECT_EQ(std::get<ImageRecord>(page.elements[1].record).name, "X");
  EXPECT_EQ(page.elements[1].data, "BM");
}

TEST(PageTextTest, DamagedPages) {
  auto without = [](std::string_view tag) {
    return std::string(kHead).erase(kHead.find(tag), tag.size());
  };
  auto replaced = [](std::string_view from, std::string_view to) {
    return std::string(kHead).replace(kHead.find(from), from.size(), to);
  };
  const std::string head(kHeaderText);
  const std::string d = "Die Seite ist beschädigt: ";
  const std::pair<std::string, std::string> cases[] = {
      {"", "Die Seite ist leer."},
      {without("<vs>"), d + "„<vs>“ fehlt."},
      {without("</kxtitel>"), d + "das Ende von „</kxtitel>“ fehlt."},
      {without("</kxlines>"), d + "das Ende von „</kxlines>“ fehlt."},
      {without("</kxpaymerk>"), d + "das Ende von „</kxpaymerk>“ fehlt."},
      {without("</kxheader>"), d + "das Ende von „</kxheader>“ fehlt."},
      {replaced(">2</kxvbl>", ">2a</kxvbl>"), d + "ungültige Zahl bei „</kxvbl>“."},
      {replaced(">0</kxhbl>", "></kxhbl>"), d + "ungültige Zahl bei „</kxhbl>“."},
      {replaced(">255</kxshbl>", ">256</kxshbl>"), d + "ungültige Zahl bei „</kxshbl>“."},
      {head + std::string(75, '\0') + "<kxdata></kxelement>0</kxpaymerk></kxheader>",
       d + "der Hintergrund ist zu kurz."},
      {head + std::string(80, '\0') + "</kxelement>0</kxpaymerk></kxheader>",
       d + "beim Hintergrund fehlt „<kxdata>“."},
      {head + std::string(76, '\0') + "<kxdata>\xFF\xD8", d + "das Ende von „</kxelement>“ fehlt."},
      {kHead + "<kxelement REC>" + std::string(71, '\0') + "</kxelement>",
       d + "ein Element ist zu kurz."},
      {kHead + "<kxelement IMG>" + std::string(75, '\0') + "<kxdata></kxelement>",
       d + "ein Element ist zu kurz."},
      {kHead + "<kxelement TEX>" + std::string(130, '\0') + "</kxelement>",
       d + "in einem Element fehlt „<kxdata>“."},
      {kHead + "<kxelement COD>" + std::string(67, '\0') + "<kxdata>x</kxelement>",
       d + "ein Element ist zu kurz."},
      {kHead + "<kxelement COD>" + std::string(68, '\0') + "</kxelement>",
       d + "in einem Element fehlt „<kxdata>“."},
      {kHead + "<kxelement COD>" + std::string(64, '\0') + "\x04" + std::string(3, '\0') +
           "<kxdata>x</kxelement>",
       d + "ein Code hat eine unbekannte Art."},
      {kHead + "<kxelement COD>" + std::string(65, '\0') + "\x09" + std::string(2, '\0') +
           "<kxdata>x</kxelement>",
       d + "ein Code hat eine unbekannte Art."},
      {kHead + "<kxelement COD>" + std::string(68, '\0') + "<kxdata>" +
           std::string(64 * 1024 + 1, 'x') + "</kxelement>",
       d + "der Inhalt eines Codes ist zu lang."},
  };
  for (const auto& [text, message] : cases) {
    try {
      ReadPageText(text);
      ADD_FAILURE() << "no error for " << text;
    } catch (const ProjectFileError& e) {
      EXPECT_EQ(e.what(), message) << text;
    }
  }
}

TEST(PageTextTest, Projects) {
  const std::string file = JoinProject({"eins", "", "drei"});
  EXPECT_EQ(file, "eins</endoffile></endoffile>drei</endoffile>");
  EXPECT_EQ(SplitProject(file + "Rest</endoffile"), std::vector<std::string>({"eins", "", "drei"}));
  EXPECT_TRUE(SplitProject("eins").empty());
}

// Reading a project finds its page ends while the bytes arrive, in pieces and (for large files)
// in two parts side by side: a tag across a piece border or across the two parts is found as
// well as one inside them.
TEST(PageTextTest, ProjectFilesSplitWhileRead) {
  const std::filesystem::path folder = testing::FreshTestFolder("project_read_");
  constexpr std::size_t kSize = 20u << 20;  // read in two parts of 10 MiB
  constexpr std::size_t kPiece = 512u << 10;
  const std::size_t tag = kEndOfFile.size();
  const struct {
    const char* what;
    std::vector<std::size_t> ends;  // where tags start
    std::string tail;
  } cases[] = {
      {"inside pieces", {100, kPiece + 7, kSize / 2 + 3}, ""},
      {"across a piece border", {kPiece - 5, 3 * kPiece - 1}, " \r\n"},
      {"across the two parts", {kSize / 2 - 6, kSize / 2 + tag}, "angefangene Seite"},
      {"at both ends of the file", {0, kSize - tag - 17}, "noch eine"},
  };
  for (const auto& c : cases) {
    std::string bytes(kSize, 'x');
    for (std::size_t end : c.ends) bytes.replace(end, tag, kEndOfFile);
    bytes.replace(bytes.size() - c.tail.size(), c.tail.size(), c.tail);
    WriteFileAtomic(folder / "p.kxp", bytes);
    const ProjectFileBytes read = ReadProjectFile(folder / "p.kxp", kSize);
    const std::vector<std::string_view> expected = SplitProjectViews(bytes);
    ASSERT_EQ(read.pages.size(), expected.size()) << c.what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(read.pages[i].size(), expected[i].size()) << c.what << " " << i;
      EXPECT_EQ(read.pages[i].data() - read.bytes.data(), expected[i].data() - bytes.data())
          << c.what << " " << i;
    }
    const std::size_t after = c.ends.back() + tag;
    const std::string_view rest = std::string_view(bytes).substr(after);
    const std::size_t used = rest.find_first_not_of(" \t\r\n");
    EXPECT_EQ(read.unfinishedTailBytes, used == std::string_view::npos ? 0 : rest.size() - used)
        << c.what;
  }
  std::filesystem::remove_all(folder);
}

// A cut-short JPEG whose first segment points 179 bytes ahead, at bytes that only hold an
// end-of-image marker once the page is written without the junk in the block before them. The
// written page must read back as written, not as one picture swallowing both rectangles.
TEST(PageTextTest, DamagedPictureStaysInItsBlock) {
  const std::string text = kHead + "<kxelement IMG>" + std::string(76, '\0') + "<kxdata>" +
                           std::string("\xFF\xD8\xFF\xE0\x00\xAF", 6) + "</kxelement>" +
                           "<kxelement REC>" + std::string(72, '\0') + "JUNK</kxelement>" +
                           "<kxelement REC>" + std::string(47, '\0') + "\xFF\xD9" +
                           std::string(23, '\0') + "</kxelement>";
  const std::string written = WritePageText(ReadPageText(text));
  const PageText again = ReadPageText(written);
  EXPECT_EQ(again.elements.size(), 3u);
  EXPECT_EQ(WritePageText(again), written);
}

// Hostile pages read block by block. These blocks' opening tags are not the writer's, so the
// pictures may run on into each other: every picture's segments jump into the next picture, and
// the last one runs off the end. (A reader that walked each chain again would take seconds here.)
TEST(PageTextTest, LongPictureChainsRead) {
  constexpr std::size_t kFill = 900;
  constexpr std::size_t kLength = 15 + 76 + 8 + 2 + 3 + 12 - 1;  // to the next picture's fill
  std::string picture = "\xFF\xD8" + std::string(kFill, '\xFF') + "\xE0";
  picture += {static_cast<char>(kLength >> 8), static_cast<char>(kLength & 0xFF)};
  std::string text = kHead;
  for (int i = 0; i < 1000; ++i) {
    text += "<kxelement_IMG>" + std::string(76, '\0') + "<kxdata>" + picture + "</kxelement>";
  }
  const PageText page = ReadPageText(text);
  EXPECT_EQ(page.elements.size(), 1000u);
}

// Pages read side by side on several threads come out as read one by one; a page that cannot be
// read has no entry, and the first such page is the one a save names.
TEST(PageTextTest, PagesReadSideBySide) {
  PageText pictures;
  pictures.backgroundJpeg = graphics::EncodeJpeg(Pattern(64, 48));
  ElementBlock jpeg;
  jpeg.kind = ElementKind::Jpeg;
  jpeg.record = ImageRecord{"J"};
  jpeg.data = JpegWithTags();
  pictures.elements = {jpeg, jpeg};
  const std::string sound = WritePageText(pictures);
  const std::string damaged = std::string(kHeaderText) + "0</kxpaymerk>";
  std::vector<SharedBytes> texts;
  for (int i = 0; i < 40; ++i) texts.emplace_back(i % 3 == 0 ? kHead : sound);
  EXPECT_EQ(FirstUnreadablePage(texts), std::nullopt);
  texts[17] = damaged;
  texts[31] = std::string();
  for (unsigned threads : {1u, 2u, 8u}) {
    const std::vector<std::optional<PageText>> pages = ReadPageTextsSideBySide(texts, threads);
    ASSERT_EQ(pages.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(pages[i].has_value(), i != 17 && i != 31) << threads << " " << i;
      if (pages[i]) {
        EXPECT_EQ(WritePageText(*pages[i]), texts[i].View()) << threads << " " << i;
      }
    }
  }
  EXPECT_EQ(FirstUnreadablePage(texts), 17u);
  EXPECT_TRUE(ReadPageTextsSideBySide({}, 4).empty());
}

}  // namespace
}  // namespace quirabel::designer::projectfile
