#include "pdf/pdf_doc.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pdf/pdf_canvas.h"
#include "pdf/pdf_fonts.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel::pdf {
namespace {

const LocalDateTime kCreated{2003, 6, 4, 13, 32, 56, 666};
const LocalDateTime kSaved{2026, 12, 7, 9, 5, 1, 0};

// Offsets of the file are the running lengths of the objects written out below.
std::string Xref(const std::vector<std::string>& objects, std::size_t headerLength) {
  std::string xref = "xref\r\n0 " + std::to_string(objects.size() + 1) + "\r\n";
  xref += "0000000000 65535 f\r\n";
  std::size_t offset = headerLength;
  for (const auto& object : objects) {
    char line[21];
    std::snprintf(line, sizeof line, "%010zu 00000 n\r\n", offset);
    xref += line;
    offset += object.size();
  }
  return xref;
}

TEST(PdfDoc, OneEmptyPageByteForByte) {
  FixedClock clock(kCreated);
  TPdfDoc doc(clock);
  doc.NewDoc();
  doc.AddPage();
  clock.Set(kSaved);
  std::string file;
  doc.SaveToStream(file);

  const std::string header = "%PDF-1.2 \r\n";
  const std::vector<std::string> objects = {
      "1 0 obj\r\n<<\r\n/Type /Catalog\r\n/Pages 3 0 R\r\n>>\r\nendobj\r\n",
      "2 0 obj\r\n<<\r\n/Producer (Orvanto version 0.9)\r\n/CreationDate (D:20030604133256)\r\n"
      "/ModDate (D:20261207090501)\r\n>>\r\nendobj\r\n",
      "3 0 obj\r\n<<\r\n/Type /Pages\r\n/Kids [4 0 R ]\r\n/Count 1\r\n>>\r\nendobj\r\n",
      "4 0 obj\r\n<<\r\n/Type /Page\r\n/Parent 3 0 R\r\n/MediaBox [0 0 596 842 ]\r\n"
      "/Resources <<\r\n/Font <<\r\n/F0 6 0 R\r\n>>\r\n/XObject <<\r\n>>\r\n"
      "/ProcSet [/PDF /Text /ImageC ]\r\n>>\r\n/Contents 5 0 R\r\n>>\r\nendobj\r\n",
      "5 0 obj\r\n<<\r\n/Length 10\r\n/Filter []\r\n>>\r\nstream\r\n/F0 10 Tf\n\nendstream\r\n"
      "endobj\r\n",
      "6 0 obj\r\n<<\r\n/Type /Font\r\n/Subtype /Type1\r\n/Encoding /WinAnsiEncoding\r\n"
      "/FirstChar 32\r\n/LastChar 255\r\n/BaseFont /Helvetica\r\n/Name /F0\r\n>>\r\nendobj\r\n",
  };
  std::string expected = header;
  for (const auto& o : objects) expected += o;
  const std::size_t xrefAt = expected.size();
  const std::string xref = Xref(objects, header.size());
  expected += xref;
  expected += "trailer\r\n<<\r\n/Size 7\r\n/Root 1 0 R\r\n/Info 2 0 R\r\n>>\r\nstartxref\r\n" +
              std::to_string(xrefAt) + "\r\n%%EOF\r\n";
  EXPECT_EQ(file, expected);

  // Seven 20-byte lines after the two-line head.
  EXPECT_EQ(xref.size(), std::string("xref\r\n0 7\r\n").size() + 7 * 20);
  EXPECT_TRUE(testing::IsValidPdf(file));

  // Saving again gives the same bytes: the document stays open and is written from the start.
  std::string again = "left over";
  doc.SaveToStream(again);
  EXPECT_EQ(again, file);
}

TEST(PdfDoc, FontsAreNumberedInOrderOfFirstUse) {
  FixedClock clock(kCreated);
  TPdfDoc doc(clock);
  doc.NewDoc();
  doc.AddPage();
  TPdfCanvas& canvas = doc.Canvas();
  canvas.SetFont("Arial-Bold", 12);
  canvas.SetFont("Arial", 12);
  canvas.SetFont("Arial-Bold", 8);
  EXPECT_EQ(doc.FontCount(), 2u);
  EXPECT_EQ(doc.GetFont("Arial").ResourceName(), "F0");
  EXPECT_EQ(doc.GetFont("Arial-Bold").ResourceName(), "F1");
  EXPECT_EQ(doc.GetFont("Arial-Bold").Data()->ObjectNumber(), 7);
  EXPECT_EQ(canvas.Contents()->Data(), "/F0 10 Tf\n/F1 12 Tf\n/F0 12 Tf\n/F1 8 Tf\n");

  // A second page lists only the fonts it uses.
  doc.AddPage();
  doc.Canvas().SetFont("Times-Roman", 10);
  std::string file;
  doc.SaveToStream(file);
  EXPECT_NE(file.find("/Font <<\r\n/F0 6 0 R\r\n/F2 10 0 R\r\n>>"), std::string::npos);
  EXPECT_NE(file.find("/Kids [4 0 R 8 0 R ]\r\n/Count 2"), std::string::npos);
  EXPECT_TRUE(testing::IsValidPdf(file));
}

TEST(PdfDoc, StateErrorsCarryTheirMessages) {
  TPdfDoc doc;
  std::string out;
  auto message = [](auto&& action) -> std::string {
    try {
      action();
    } catch (const EPdfInvalidOperation& e) {
      return e.what();
    }
    return "no exception";
  };
  EXPECT_EQ(message([&] { doc.SaveToStream(out); }),
            "SaveToStream --there is no document to save.");
  EXPECT_EQ(message([&] { doc.Canvas(); }), "GetCanvas --Document is null");
  EXPECT_EQ(message([&] { doc.Info(); }), "GetInfo --this method can not use this state..");
  EXPECT_EQ(message([&] { doc.Root(); }), "GetRoot --this method can not use this state..");
  EXPECT_EQ(message([&] { doc.OutlineRoot(); }), "GetOutlineRoot --document is null..");
  EXPECT_EQ(message([&] { doc.GetFont("Arial"); }), "GetFont --document is null.");
  EXPECT_EQ(message([&] { doc.AddPage(); }), "AddPage --current pages null.");
  doc.NewDoc();
  EXPECT_EQ(message([&] { doc.OutlineRoot(); }), "GetOutlineRoot --not use outline mode..");
  EXPECT_EQ(message([&] { doc.SaveToStream(out); }), "GetPage --the Page is nil");
  EXPECT_EQ(out, "");
  doc.FreeDoc();
  EXPECT_FALSE(doc.HasDoc());
  EXPECT_EQ(message([&] { doc.Canvas(); }), "GetCanvas --Document is null");
}

TEST(PdfDoc, UnknownFontRaisesAndRegistersNothing) {
  TPdfDoc doc;
  doc.NewDoc();
  doc.AddPage();
  const std::size_t objects = doc.ObjectMgr().ItemCount();
  EXPECT_THROW(doc.GetFont("Wingdings"), EPdfInvalidValue);
  EXPECT_THROW(doc.Canvas().SetFont("Helvetica", 10), EPdfInvalidValue);
  EXPECT_EQ(doc.ObjectMgr().ItemCount(), objects);
  EXPECT_EQ(doc.FontCount(), 1u);
}

TEST(PdfDoc, InformationAndCatalogKeepTheirOrder) {
  FixedClock clock(kCreated);
  TPdfDoc doc(clock);
  doc.SetUseOutlines(true);
  doc.NewDoc();
  doc.AddPage();
  TPdfInfo& info = doc.Info();
  info.SetAuthor("");
  info.SetCreationDate(kCreated);
  info.SetCreator("Quirabel 2.2 TYP DEV");
  info.SetKeywords("Karte");
  info.SetModDate(kCreated);
  info.SetSubject(
      "Gr\xFC\xDF"
      "e");
  info.SetTitle("(Titel)");
  TPdfCatalog& root = doc.Root();
  root.SetPageMode(TPdfPageMode::pmUseNone);
  root.SetPageLayout(TPdfPageLayout::plOneColumn);
  root.SetPageMode(TPdfPageMode::pmUseThumbs);  // changed in place
  root.SetNonFullScreenPageMode(TPdfPageMode::pmUseOutlines);
  root.SetViewerPreference(
      {TPdfViewerPreference::vpHideToolbar, TPdfViewerPreference::vpFitWindow});
  root.SetViewerPreference({TPdfViewerPreference::vpFitWindow});
  EXPECT_EQ(doc.OutlineRoot().Data()->ObjectNumber(), 2);

  clock.Set(kSaved);
  std::string file;
  doc.SaveToStream(file);
  EXPECT_NE(file.find("1 0 obj\r\n<<\r\n/Type /Catalog\r\n/Outlines 2 0 R\r\n/Pages 4 0 R\r\n"
                      "/PageMode /UseThumbs\r\n/PageLayout /OneColumn\r\n/ViewerPreferences <<\r\n"
                      "/NonFullScreenPageMode /UseOutlines\r\n/FitWindow true\r\n>>\r\n>>"),
            std::string::npos)
      << file;
  EXPECT_NE(file.find("2 0 obj\r\n<<\r\n/Type /Outlines\r\n/Count 0\r\n>>"), std::string::npos);
  EXPECT_NE(file.find("3 0 obj\r\n<<\r\n/Producer (Orvanto version 0.9)\r\n/Author ()\r\n"
                      "/CreationDate (D:20030604133256)\r\n/Creator (Quirabel 2.2 TYP DEV)\r\n"
                      "/Keywords (Karte)\r\n/Subject (Gr\xFC\xDF"
                      "e)\r\n/Title (\\(Titel\\))\r\n"
                      "/ModDate (D:20261207090501)\r\n>>"),
            std::string::npos)
      << file;
  EXPECT_NE(file.find("/Root 1 0 R\r\n/Info 3 0 R"), std::string::npos);
  EXPECT_TRUE(testing::IsValidPdf(file));

  root.SetNonFullScreenPageMode(TPdfPageMode::pmFullScreen);
  doc.SaveToStream(file);
  EXPECT_EQ(file.find("NonFullScreenPageMode"), std::string::npos);
}

TEST(PdfDoc, PageSizeAndNewDocStartsAfresh) {
  TPdfDoc doc;
  doc.SetDefaultPageWidth(300);
  doc.NewDoc();
  doc.AddPage();
  TPdfCanvas& canvas = doc.Canvas();
  EXPECT_EQ(canvas.PageWidth(), 300);
  EXPECT_EQ(canvas.PageHeight(), 842);
  canvas.SetPageWidth(255);
  canvas.SetPageHeight(156);
  EXPECT_EQ(canvas.PageHeight(), 156);
  std::string file;
  doc.SaveToStream(file);
  EXPECT_NE(file.find("/MediaBox [0 0 255 156 ]"), std::string::npos);

  doc.NewDoc();
  EXPECT_EQ(doc.ObjectMgr().ItemCount(), 4u);  // free head, catalog, information, page tree
  EXPECT_EQ(doc.FontCount(), 0u);
  EXPECT_THROW(doc.Canvas().Page(), EPdfInvalidOperation);
}

// Written page by page, the pages hang in groups under the root and a page taken out as a form
// leaves a free entry: whatever the count, every page stays findable until it is written and the
// file is sound.
TEST(PdfDoc, PagesWrittenOneByOneAreAPageTreeOfGroups) {
  struct Case {
    std::size_t pages;
    std::size_t takeEvery;  // every this many a page becomes a form; 0 for none
  };
  for (const Case& c : std::vector<Case>{{1, 0}, {256, 0}, {257, 0}, {600, 5}, {600, 1}}) {
    SCOPED_TRACE(std::to_string(c.pages) + " pages, taking every " + std::to_string(c.takeEvery));
    FixedClock clock(kCreated);
    TPdfDoc doc(clock);
    doc.NewDoc();
    const std::string file = ::testing::TempDir() + "/seiten.pdf";
    doc.StartFile(file);
    std::size_t kept = 0;
    for (std::size_t page = 1; page <= c.pages; ++page) {
      doc.AddPage();
      doc.Canvas().MoveTo(10, 10);
      doc.Canvas().LineTo(100, static_cast<double>(page % 500));
      doc.Canvas().Stroke();
      const std::size_t last = doc.PageCount() - 1;
      EXPECT_EQ(&doc.PageAt(last), &doc.Canvas().Page());
      if (c.takeEvery > 0 && page % c.takeEvery == 0) {
        doc.TakePageAsForm(last, {0, 0, 100, 100});
      } else {
        ++kept;
      }
      ASSERT_EQ(doc.PageCount(), kept);
      doc.FlushPages();
    }
    if (kept == 0) {
      // A document needs a page.
      doc.AddPage();
      kept = 1;
    }
    doc.FinishFile();
    std::ifstream in(file, std::ios::binary);
    const std::string pdf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(testing::IsValidPdf(pdf));
    EXPECT_EQ(testing::PdfPages(pdf).size(), kept);
  }
}

// The free entries of a file's cross references as its list from entry 0 links them: each number
// once, rising, the last linking to 0; none after an ADD_FAILURE when the list is broken.
std::vector<std::size_t> FreeListOf(const std::string& pdf) {
  const std::size_t xref = std::stoull(pdf.substr(pdf.rfind("startxref") + 11, 20));
  const std::size_t counted = pdf.find(' ', xref) + 1;
  const std::size_t count = std::stoull(pdf.substr(counted, 20));
  const std::size_t lines = pdf.find("\r\n", counted) + 2;
  std::vector<std::size_t> free;
  for (std::size_t number = 0; number < count; ++number) {
    if (pdf[lines + number * 20 + 17] == 'f') free.push_back(number);
  }
  for (std::size_t i = 0; i < free.size(); ++i) {
    const std::size_t link = std::stoull(pdf.substr(lines + free[i] * 20, 10));
    if (link != (i + 1 < free.size() ? free[i + 1] : 0)) {
      ADD_FAILURE() << "free entry " << free[i] << " links to " << link;
      return {};
    }
  }
  return free;
}

// A long document written page by page, with pages taken out as forms in between, reads back as
// the same pages as when saved whole, though its table is set aside as it goes; what is set
// aside can no longer be asked for, and the scratch file it went to never shows in the folder.
TEST(PdfDoc, LongDocumentWrittenPageByPageReadsBackAsSavedWhole) {
  struct Case {
    std::size_t pages;
    std::size_t takeEvery;   // every this many a page becomes a form; 0 for none
    std::size_t flushEvery;  // pages written out at a time
  };
  const std::filesystem::path folder = testing::FreshTestFolder("pdf_doc_");
  const auto names = [&folder] {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
  };
  const std::filesystem::path file = folder / "lang.pdf";
  for (const Case& c : std::vector<Case>{{3000, 7, 1}, {2000, 0, 64}, {700, 1, 3}}) {
    SCOPED_TRACE(std::to_string(c.pages) + " pages, taking every " + std::to_string(c.takeEvery) +
                 ", writing every " + std::to_string(c.flushEvery));
    std::filesystem::remove(file);
    std::string whole;
    for (const bool streamed : {true, false}) {
      FixedClock clock(kCreated);
      TPdfDoc doc(clock);
      doc.NewDoc();
      if (streamed) doc.StartFile(file);
      std::size_t kept = 0;
      for (std::size_t page = 1; page <= c.pages; ++page) {
        doc.AddPage();
        doc.Canvas().SetPageWidth(100 + static_cast<int>(page % 293));
        doc.Canvas().MoveTo(10, 10);
        doc.Canvas().LineTo(100, static_cast<double>(page % 500));
        doc.Canvas().Stroke();
        if (c.takeEvery > 0 && page % c.takeEvery == 0) {
          doc.TakePageAsForm(doc.PageCount() - 1, {0, 0, 100, 100});
        } else {
          ++kept;
        }
        if (streamed && page % c.flushEvery == 0) doc.FlushPages();
      }
      if (kept == 0) doc.AddPage();
      if (!streamed) {
        doc.SaveToStream(whole);
        continue;
      }
      TPdfXref& xref = doc.ObjectMgr();
      EXPECT_EQ(xref.GetObject(5), nullptr);
      EXPECT_THROW(xref.Item(5), EPdfInvalidOperation);
      EXPECT_THROW(xref.FreeObject(5), EPdfInvalidOperation);
      // The file being written has no name where the disk allows it; nothing else is beside it.
      EXPECT_LE(names(), 1u);
      doc.FinishFile();
      EXPECT_EQ(names(), 1u);
    }
    std::ifstream in(file, std::ios::binary);
    const std::string pdf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(testing::IsValidPdf(pdf));
    EXPECT_EQ(testing::PdfPages(pdf), testing::PdfPages(whole));
    EXPECT_EQ(FreeListOf(pdf).size(), FreeListOf(whole).size());
  }
  // A document never finished leaves nothing.
  std::filesystem::remove(file);
  TPdfDoc doc;
  doc.NewDoc();
  doc.StartFile(file);
  for (int page = 0; page < 300; ++page) {
    doc.AddPage();
    doc.FlushPages();
  }
  doc.NewDoc();
  EXPECT_EQ(names(), 0u);
}

}  // namespace
}  // namespace quirabel::pdf
