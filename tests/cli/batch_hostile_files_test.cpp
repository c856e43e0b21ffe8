// A table of hostile project files run through the batch tool, in the manner of the PDF checker's
// broken-file table: each gives its exit code and a message, leaves nothing behind when it fails,
// and none makes the tool crash or grow past a few hundred megabytes.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "app/application.h"
#include "base/atomic_file.h"
#include "designer/document_window.h"
#include "designer/projectfile/page_text.h"
#include "graphics/bmp.h"
#include "graphics/jpeg.h"
#include "support/bmp_samples.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/sample_projects.h"
#include "support/test_folder.h"

namespace quirabel {
namespace {

namespace fs = std::filesystem;
namespace pf = designer::projectfile;

struct HostileFile {
  std::string name;
  std::string bytes;
  int exitCode;  // of export
};

// Two pages with one element of every kind and a background.
std::string RichProject() {
  return testing::TwoPageProject([](designer::DocumentWindow& window) {
    auto& label =
        static_cast<report::TPRLabel&>(window.Page().CreateElement(designer::ElementKind::Label));
    label.SetCaption("Grüße");
    label.SetBounds(20, 20, 120, 20);
    auto& text =
        static_cast<report::TPRText&>(window.Page().CreateElement(designer::ElementKind::Text));
    text.SetText("Zeile eins\rZeile zwei");
    text.SetBounds(20, 50, 150, 60);
    window.Page().CreateElement(designer::ElementKind::Rect).SetBounds(20, 120, 80, 30);
    graphics::Bitmap blue(6, 6, graphics::PixelFormat::pf24bit);
    blue.FillRect(0, 0, 6, 6, graphics::clBlue);
    auto& jpeg = static_cast<report::TPRJpegImage&>(
        window.Page().CreateElement(designer::ElementKind::Jpeg));
    jpeg.SetPicture(graphics::Picture::FromJpegBytes(graphics::EncodeJpeg(blue)));
    jpeg.SetBounds(120, 120, 40, 40);
    auto& bitmap =
        static_cast<report::TPRImage&>(window.Page().CreateElement(designer::ElementKind::Bitmap));
    bitmap.SetPicture(graphics::Picture::FromBmpBytes(graphics::WriteBmp(blue)));
    bitmap.SetBounds(180, 120, 40, 40);
  });
}

// The project with its first page changed by `change`.
template <class Change>
std::string WithFirstPage(const std::string& project, Change change) {
  const std::size_t end = project.find("</endoffile>");
  pf::PageText page = pf::ReadPageText(project.substr(0, end));
  change(page);
  return pf::WritePageText(page) + project.substr(end);
}

template <class Record>
Record& RecordOf(pf::PageText& page, pf::ElementKind kind) {
  for (pf::ElementBlock& block : page.elements) {
    if (block.kind == kind) return std::get<Record>(block.record);
  }
  throw std::logic_error("no such element");
}

std::vector<HostileFile> HostileFiles() {
  const std::string whole = RichProject();
  std::vector<HostileFile> files;
  files.push_back({"whole", whole, 0});
  files.push_back({"empty", "", 1});
  files.push_back({"no project", "Hallo", 1});
  files.push_back({"only the end tag", "</endoffile>", 1});

  // Cut at every tag: before the tag and right after it. A cut right after a page's end tag is a
  // whole shorter project, the only cut that reads without loss.
  const std::size_t firstPageEnd = whole.find("</endoffile>") + 12;
  for (std::string_view tag : {"<vs>", "</kxlines>", "<kxdata>", "</kxelement>", "</kxpaymerk>",
                               "</kxheader>", "<kxelement ", "</endoffile>"}) {
    int occurrence = 0;
    for (std::size_t at = whole.find(tag); at != std::string::npos; at = whole.find(tag, at + 1)) {
      for (const std::size_t cut : {at, at + tag.size()}) {
        if (cut == 0 || cut >= whole.size()) continue;
        files.push_back({"cut at " + std::string(tag) + " #" + std::to_string(occurrence) +
                             (cut == at ? " (before)" : " (after)"),
                         whole.substr(0, cut), cut == firstPageEnd ? 0 : 1});
      }
      ++occurrence;
    }
  }

  // Record fields at their extremes. Values the PDF text state cannot take are printed at its
  // edges; places and sizes no page can have refuse the page.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (float size : {nan, inf, -inf, 0.0f, 1e30f, -5.0f}) {
    files.push_back(
        {"label font size " + std::to_string(size),
         WithFirstPage(whole,
                       [&](auto& p) {
                         RecordOf<pf::LabelRecord>(p, pf::ElementKind::Label).fontSize = size;
                         RecordOf<pf::LabelRecord>(p, pf::ElementKind::Label).charSpace = size;
                         RecordOf<pf::TextRecord>(p, pf::ElementKind::Text).fontSize = size;
                         RecordOf<pf::TextRecord>(p, pf::ElementKind::Text).leading = size;
                         RecordOf<pf::RectRecord>(p, pf::ElementKind::Rect).lineWidth = size;
                       }),
         0});
  }
  for (std::int32_t extreme : {std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max(), 100001, -100001}) {
    files.push_back({"rectangle at " + std::to_string(extreme),
                     WithFirstPage(whole,
                                   [&](auto& p) {
                                     RecordOf<pf::RectRecord>(p, pf::ElementKind::Rect).top =
                                         extreme;
                                   }),
                     1});
    files.push_back({"picture " + std::to_string(extreme) + " wide",
                     WithFirstPage(whole,
                                   [&](auto& p) {
                                     RecordOf<pf::ImageRecord>(p, pf::ElementKind::Jpeg).width =
                                         extreme;
                                   }),
                     1});
  }
  files.push_back(
      {"colours past the range",
       WithFirstPage(whole,
                     [](auto& p) {
                       RecordOf<pf::LabelRecord>(p, pf::ElementKind::Label).fontColor = 0xFFFFFFFF;
                       RecordOf<pf::RectRecord>(p, pf::ElementKind::Rect).fillColor = 0x80000000;
                       RecordOf<pf::RectRecord>(p, pf::ElementKind::Rect).lineColor = 0x7FFFFFFF;
                     }),
       0});
  files.push_back({"font and alignment past their lists",
                   WithFirstPage(whole,
                                 [](auto& p) {
                                   RecordOf<pf::LabelRecord>(p, pf::ElementKind::Label).fontName =
                                       255;
                                   RecordOf<pf::LabelRecord>(p, pf::ElementKind::Label).alignment =
                                       200;
                                   RecordOf<pf::TextRecord>(p, pf::ElementKind::Text).fontName = 7;
                                 }),
                   0});
  files.push_back({"a page size of no millimetres",
                   WithFirstPage(whole, [](auto& p) { p.header.widthMm = "-3"; }), 1});

  // Bombs: 1,080-byte bitmaps that claim far more pixels than any page needs.
  for (int count : {2, 20}) {
    files.push_back({std::to_string(count) + " bitmap bombs",
                     WithFirstPage(whole,
                                   [&](auto& p) {
                                     for (int i = 0; i < count; ++i) {
                                       pf::ElementBlock block;
                                       block.kind = pf::ElementKind::Bitmap;
                                       block.record = pf::ImageRecord{
                                           "PRImageBomb" + std::to_string(i), 0, 20, 20, 40, 40};
                                       block.data = SharedBytes(testing::RleBomb(10000, 10000));
                                       p.elements.push_back(std::move(block));
                                     }
                                   }),
                     1});
  }
  files.push_back({"a JPEG claiming 65000 x 65000",
                   WithFirstPage(whole,
                                 [](auto& p) {
                                   for (pf::ElementBlock& block : p.elements) {
                                     if (block.kind != pf::ElementKind::Jpeg) continue;
                                     std::string jpeg(block.data.View());
                                     const std::size_t sof = jpeg.find("\xFF\xC0");
                                     jpeg[sof + 5] = jpeg[sof + 7] = '\xFD';
                                     jpeg[sof + 6] = jpeg[sof + 8] = '\xE8';
                                     block.data = SharedBytes(std::move(jpeg));
                                   }
                                 }),
                   1});

  // The format's tags inside a picture. The project's own end tag in a JPEG comment splits the
  // project before any picture structure is seen (the designer never writes such a picture: it
  // drops the comment when the picture is inserted); a cut JPEG is never embedded.
  // A JPEG of the first page with a comment segment holding `comment`.
  const auto withComment = [&whole](const std::string& comment) {
    return WithFirstPage(whole, [&comment](auto& p) {
      for (pf::ElementBlock& block : p.elements) {
        if (block.kind != pf::ElementKind::Jpeg) continue;
        std::string jpeg(block.data.View());
        std::string segment = "\xFF\xFE";
        segment += static_cast<char>(0);
        segment += static_cast<char>(comment.size() + 2);
        jpeg.insert(2, segment + comment);
        block.data = SharedBytes(std::move(jpeg));
      }
    });
  };
  files.push_back({"an element end tag in a JPEG comment",
                   withComment("Text </kxelement> mitten im Kommentar"), 0});
  // What the writer puts after a picture, inside the picture: reading takes it for the end and
  // reports the picture cut there, naming it.
  files.push_back({"a picture's end inside a JPEG comment",
                   withComment("</kxelement>0</kxpaymerk></kxheader>"), 1});
  files.push_back({"the project end tag in a JPEG comment",
                   withComment("</kxelement></kxpaymerk></endoffile>"), 1});
  files.push_back({"a JPEG without its end",
                   WithFirstPage(whole,
                                 [](auto& p) {
                                   for (pf::ElementBlock& block : p.elements) {
                                     if (block.kind == pf::ElementKind::Jpeg)
                                       block.data = SharedBytes(std::string(
                                           block.data.View().substr(0, block.data.size() - 2)));
                                   }
                                 }),
                   1});
  return files;
}

class BatchHostileFiles : public ::testing::Test {
 protected:
  void SetUp() override { folder = testing::FreshTestFolder("batch_hostile_"); }
  void TearDown() override { fs::remove_all(folder); }
  fs::path folder;
};

TEST_F(BatchHostileFiles, EachGivesItsExitCodeAndMessageAndLeavesNothingBehind) {
  const std::vector<HostileFile> files = HostileFiles();
  ASSERT_GE(files.size(), 40u);
  RecordProperty("files", static_cast<int>(files.size()));
  int index = 0;
  for (const HostileFile& file : files) {
    SCOPED_TRACE(file.name);
    const fs::path input = folder / ("f" + std::to_string(index++) + ".kxp");
    WriteFileAtomic(input, file.bytes);
    const fs::path output = folder / "aus.pdf";
    const auto run = testing::RunTool(testing::ShellQuote(QUIRABEL_BATCH) + " export " +
                                      testing::ShellQuote(input.string()) + " -o " +
                                      testing::ShellQuote(output.string()));
    EXPECT_EQ(run.exitCode, file.exitCode) << run.err;
    if (run.exitCode == 0) {
      EXPECT_TRUE(testing::IsValidPdf(ReadFile(output, 1u << 30)));
      // No picture may swell the PDF far beyond its project.
      EXPECT_LT(fs::file_size(output), 200 * (file.bytes.size() + 4096));
    } else {
      EXPECT_TRUE(run.err.starts_with("quirabel-batch: ")) << run.err;
      EXPECT_FALSE(fs::exists(output));
    }
    fs::remove(output);
    // Nothing else is left beside the input: no temporary files.
    for (const auto& entry : fs::directory_iterator(folder)) {
      EXPECT_EQ(entry.path().extension(), ".kxp") << entry.path();
    }
  }
  // The largest any of these runs grew to.
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  EXPECT_LT(usage.ru_maxrss, 500L * 1024) << "peak resident set in KiB";
}

// The JPEG of the project's first page, changed by `change` (its bytes).
template <class Change>
std::string WithJpeg(const std::string& project, Change change) {
  return WithFirstPage(project, [&](pf::PageText& page) {
    for (pf::ElementBlock& block : page.elements) {
      if (block.kind != pf::ElementKind::Jpeg) continue;
      std::string jpeg(block.data.View());
      change(jpeg);
      block.data = SharedBytes(std::move(jpeg));
      block.checkedJpeg.reset();
    }
  });
}

// A baseline JPEG's frame header with more components (each sampled 1 x 1), a progressive marker
// and another size; the scan data stays as it is, which only a decoder would notice.
void Reframe(std::string& jpeg, int extraComponents, bool progressive, unsigned side) {
  const std::size_t sof = jpeg.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  if (progressive) jpeg[sof + 1] = '\xC2';
  jpeg[sof + 5] = jpeg[sof + 7] = static_cast<char>(side >> 8);
  jpeg[sof + 6] = jpeg[sof + 8] = static_cast<char>(side & 0xFF);
  const int components = static_cast<unsigned char>(jpeg[sof + 9]);
  for (int i = 0; i < extraComponents; ++i)
    jpeg.insert(sof + 10 + 3 * static_cast<std::size_t>(components), std::string("\x09\x11\x00", 3));
  jpeg[sof + 3] = static_cast<char>(jpeg[sof + 3] + 3 * extraComponents);
  jpeg[sof + 9] = static_cast<char>(components + extraComponents);
}

// What a file manager's thumbnailer may be handed: each thumbnail ends with its exit code within
// the command's own fence (and the one this test adds around it), never by a signal, and writes
// its picture, or nothing, never through a link.
TEST_F(BatchHostileFiles, ThumbnailsOfHostileProjectsEndWithinTheirFence) {
  const std::string whole = RichProject();
  std::string secondPageBroken = whole;
  {
    // Page 2 with a rectangle no page can hold: the thumbnail of page 1 does not read it.
    const std::size_t start = whole.find("</endoffile>") + 12;
    const std::size_t end = whole.find("</endoffile>", start);
    pf::PageText page = pf::ReadPageText(whole.substr(start, end - start));
    RecordOf<pf::RectRecord>(page, pf::ElementKind::Rect).top = 100001;
    secondPageBroken = whole.substr(0, start) + pf::WritePageText(page) + whole.substr(end);
  }
  const struct {
    const char* what;
    std::string project;
    int exitCode;
  } cases[] = {
      {"a sound card", whole, 0},
      {"page 2 damaged", secondPageBroken, 0},
      {"a JPEG of five components",
       WithJpeg(whole, [](std::string& jpeg) { Reframe(jpeg, 2, false, 8); }), 1},
      {"a progressive JPEG of 10950 x 10950 and four components",
       WithJpeg(whole, [](std::string& jpeg) { Reframe(jpeg, 1, true, 10950); }), 1},
      // Read in full, its pixels alone would take 100 MB: the thumbnail keeps only what it shows.
      // (Just under the project's budget, beside the card's own bitmap.)
      {"a bitmap of 100 megapixels",
       WithFirstPage(whole,
                     [](auto& p) {
                       pf::ElementBlock block;
                       block.kind = pf::ElementKind::Bitmap;
                       block.record = pf::ImageRecord{"PRImageBomb1", 0, 20, 20, 200, 300};
                       block.data = SharedBytes(testing::RleBomb(10000, 9999));
                       p.elements.push_back(std::move(block));
                     }),
       0},
      {"a JPEG of 600 scans",
       WithJpeg(whole,
                [](std::string& jpeg) {
                  const std::size_t sos = jpeg.find("\xFF\xDA");
                  const std::string scan = jpeg.substr(sos, jpeg.size() - 2 - sos);
                  for (int i = 1; i < 600; ++i) jpeg.insert(jpeg.size() - 2, scan);
                }),
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path input = folder / "karte.kxp";
    const fs::path output = folder / "vorschau.png";
    WriteFileAtomic(input, c.project);
    const auto run = testing::RunTool("prlimit --cpu=20 " + testing::ShellQuote(QUIRABEL_BATCH) +
                                      " thumbnail " + testing::ShellQuote(input.string()) + " " +
                                      testing::ShellQuote(output.string()) + " --size 256");
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(fs::exists(output), c.exitCode == 0);
    fs::remove(output);
  }

  // A link at the output's name is replaced by nothing and never written through.
  WriteFileAtomic(folder / "karte.kxp", whole);
  WriteFileAtomic(folder / "opfer.txt", "bleibt");
  fs::create_symlink(folder / "opfer.txt", folder / "vorschau.png");
  const auto linked = testing::RunTool(testing::ShellQuote(QUIRABEL_BATCH) + " thumbnail " +
                                       testing::ShellQuote((folder / "karte.kxp").string()) + " " +
                                       testing::ShellQuote((folder / "vorschau.png").string()));
  EXPECT_EQ(linked.exitCode, 1);
  EXPECT_NE(linked.err.find("Verknüpfung"), std::string::npos) << linked.err;
  EXPECT_EQ(ReadFile(folder / "opfer.txt", 100), "bleibt");
  EXPECT_TRUE(fs::is_symlink(folder / "vorschau.png"));
}

}  // namespace
}  // namespace quirabel
