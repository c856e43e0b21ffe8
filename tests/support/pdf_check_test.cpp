#include "support/pdf_check.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace quirabel::testing {
namespace {

// An in-use xref entry without its line end.
std::string Xref(size_t offset) {
  char line[32];
  std::snprintf(line, sizeof line, "%010zu 00000 n", offset);
  return line;
}

// Assembles a PDF from object bodies and writes the xref from the real offsets, so a test can
// change any object without recomputing anything by hand.
class PdfBuilder {
 public:
  explicit PdfBuilder(std::string eol = "\r\n") : eol_(std::move(eol)) {}

  // Adds the next object (numbered from 1) and returns its number.
  int Add(std::string body) {
    bodies_.push_back(std::move(body));
    return static_cast<int>(bodies_.size());
  }

  // A stream body whose /Length is the data size plus lengthDelta; the data ends with LF.
  std::string Stream(const std::string& entries, const std::string& data,
                     int lengthDelta = 0) const {
    return "<<" + eol_ + "/Length " + std::to_string(static_cast<int>(data.size()) + lengthDelta) +
           eol_ + entries + ">>" + eol_ + "stream" + eol_ + data + "\nendstream";
  }

  std::string Build() const {
    std::string out = "%PDF-1.2 " + eol_;
    std::vector<size_t> offsets;
    for (size_t i = 0; i < bodies_.size(); ++i) {
      offsets.push_back(out.size());
      out += std::to_string(i + 1) + " 0 obj" + eol_ + bodies_[i] + eol_ + "endobj" + eol_;
    }
    size_t xref = out.size();
    std::string entryEnd = eol_ == "\r\n" ? "\r\n" : " \n";
    std::string n = std::to_string(bodies_.size() + 1);
    out += "xref" + eol_ + "0 " + n + eol_ + "0000000000 65535 f" + entryEnd;
    for (size_t offset : offsets) out += Xref(offset) + entryEnd;
    out += "trailer" + eol_ + "<<" + eol_ + "/Size " + n + eol_ + "/Root 1 0 R" + eol_ +
           "/Info 2 0 R" + eol_ + ">>" + eol_ + "startxref" + eol_ + std::to_string(xref) + eol_ +
           "%%EOF" + eol_;
    return out;
  }

 private:
  std::string eol_;
  std::vector<std::string> bodies_;
};

// A decodable baseline JPEG of a flat grey: one quantisation table, Huffman tables with a single
// one-bit code each (DC difference 0, end of block), and two zero bits per 8x8 block.
// Only the SOF0 frame size matters to the checker; qpdf --check decodes the whole image.
std::string TinyJpeg(int width, int height) {
  auto segment = [](unsigned char marker, const std::string& body) {
    size_t len = body.size() + 2;
    return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(len >> 8),
                       static_cast<char>(len & 0xFF)} +
           body;
  };
  std::string dqt = std::string(1, '\0') + std::string(64, '\x01');
  std::string sof = {'\x08',
                     static_cast<char>(height >> 8),
                     static_cast<char>(height & 0xFF),
                     static_cast<char>(width >> 8),
                     static_cast<char>(width & 0xFF),
                     '\x03'};
  for (char id : {'\x01', '\x02', '\x03'}) sof += std::string{id, '\x11', '\0'};
  std::string counts = '\x01' + std::string(15, '\0');
  std::string dcTable = '\x00' + counts + '\0', acTable = '\x10' + counts + '\0';
  std::string sos = {'\x03', '\x01', '\0', '\x02', '\0', '\x03', '\0', '\0', '\x3F', '\0'};
  size_t blocks = 3 * static_cast<size_t>((width + 7) / 8) * ((height + 7) / 8);
  std::string scan((2 * blocks + 7) / 8, '\0');
  if (blocks % 4 != 0) scan.back() = static_cast<char>(0xFF >> (2 * (blocks % 4)));  // pad with 1s
  return "\xFF\xD8" + segment(0xDB, dqt) + segment(0xC0, sof) + segment(0xC4, dcTable) +
         segment(0xC4, acTable) + segment(0xDA, sos) + scan + "\xFF\xD9";
}

// The parts of the sample document that the fault tests change.
struct Sample {
  std::string content =
      "q\nBT\n/F0 12 Tf\n72 720 Td\n(Hello, \\(world\\)) Tj\nET\n"
      "q 64 0 0 32 72 600 cm /Im0 Do Q\nq 8 0 0 4 72 500 cm /Im1 Do Q\nQ";
  int contentLengthDelta = 0;
  int count = 1;
  int jpegWidth = 64;
  std::string rawSamples = std::string(8, '\x01');
};

// A one-page document laid out as our writer lays it out.
std::string SamplePdf(const Sample& s = Sample()) {
  PdfBuilder b;
  const std::string e = "\r\n";
  b.Add("<<" + e + "/Type /Catalog" + e + "/Pages 3 0 R" + e + ">>");
  b.Add("<<" + e + "/Producer (Quirabel test)" + e + "/CreationDate (D:20030604133256)" + e + ">>");
  b.Add("<<" + e + "/Type /Pages" + e + "/Kids [4 0 R ]" + e + "/Count " + std::to_string(s.count) +
        e + ">>");
  b.Add("<<" + e + "/Type /Page" + e + "/Parent 3 0 R" + e + "/MediaBox [0 0 596 842 ]" + e +
        "/Resources <<" + e + "/Font <<" + e + "/F0 6 0 R" + e + ">>" + e + "/XObject <<" + e +
        "/Im0 7 0 R" + e + "/Im1 8 0 R" + e + ">>" + e + "/ProcSet [/PDF /Text /ImageC ]" + e +
        ">>" + e + "/Contents 5 0 R" + e + ">>");
  b.Add(b.Stream("/Filter []" + e, s.content, s.contentLengthDelta));
  b.Add("<<" + e + "/Type /Font" + e + "/Subtype /Type1" + e + "/BaseFont /Helvetica" + e +
        "/Encoding /WinAnsiEncoding" + e + "/Name /F0" + e + ">>");
  b.Add(b.Stream("/Type /XObject" + e + "/Subtype /Image" + e + "/Width " +
                     std::to_string(s.jpegWidth) + e + "/Height 32" + e + "/BitsPerComponent 8" +
                     e + "/ColorSpace /DeviceRGB" + e + "/Filter [/DCTDecode ]" + e,
                 TinyJpeg(64, 32)));
  b.Add(b.Stream("/Type /XObject" + e + "/Subtype /Image" + e + "/Width 4" + e + "/Height 2" + e +
                     "/BitsPerComponent 8" + e +
                     "/ColorSpace [/Indexed /DeviceRGB 1 <FF0000 00ff00> ]" + e,
                 s.rawSamples));
  return b.Build();
}

void ReplaceOnce(std::string& s, const std::string& from, const std::string& to) {
  size_t at = s.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  s.replace(at, from.size(), to);
}

std::string Joined(const PdfCheckResult& r) {
  std::string all;
  for (const std::string& p : r.problems) all += "\n  " + p;
  return all.empty() ? " (none)" : all;
}

// Passes if some problem contains every one of the needles.
::testing::AssertionResult HasProblem(std::string_view pdf, std::vector<std::string> needles) {
  PdfCheckResult r = CheckPdfStructure(pdf);
  for (const std::string& p : r.problems) {
    bool all = true;
    for (const std::string& n : needles) all = all && p.find(n) != std::string::npos;
    if (all) return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "no problem mentions '" << needles[0] << "'; problems:" << Joined(r);
}

TEST(PdfCheckTest, WriterLayoutIsValid) {
  std::string pdf = SamplePdf();
  PdfCheckResult r = CheckPdfStructure(pdf);
  EXPECT_TRUE(r.ok()) << Joined(r);
  EXPECT_TRUE(IsValidPdf(pdf));
}

TEST(PdfCheckTest, GeneralSyntaxIsValid) {
  // LF line ends, comments, an intermediate page tree node with inherited resources and media
  // box, /Contents as an array, an indirect /Length, escaped names and strings.
  PdfBuilder b("\n");
  b.Add("<< /Type/Catalog /Pages 3 0 R % the root\n>>");
  b.Add(
      "<< /Title (Nested (parens) and \\) escapes \\101\\\ncontinued) /Subject <48 65 6c6C 6f> "
      "/Key#20With#20Spaces 1 >>");
  b.Add(
      "<</Type /Pages /Kids [ 9 0 R ] /Count 2 /MediaBox [0 0 595.28 841.89]\n"
      "  /Resources << /Font << /F0 6 0 R /F1 6 0 R >> /XObject << >> >> >>");
  b.Add("<< /Type /Page /Parent 9 0 R /Contents [5 0 R 8 0 R] >>");
  b.Add("<< /Length 7 0 R >>\nstream\r\nq BT /F0 12 Tf (a) Tj ET\nendstream");
  b.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>");
  b.Add("25");
  b.Add(b.Stream("", "BT /F1 9 Tf [(b) -250 (c)] TJ ET Q"));
  b.Add("<< /Type /Pages /Parent 3 0 R /Kids [4 0 R 10 0 R] /Count 2 >>");
  b.Add("<< /Type /Page /Parent 9 0 R >>");
  std::string pdf = b.Build();
  PdfCheckResult r = CheckPdfStructure(pdf);
  EXPECT_TRUE(r.ok()) << Joined(r);
  EXPECT_TRUE(IsValidPdf(pdf));
}

TEST(PdfCheckTest, XrefFaults) {
  std::string good = SamplePdf();
  size_t obj4 = good.find("\r\n4 0 obj") + 2;
  size_t obj1 = good.find("1 0 obj");

  std::string shifted = good;
  ReplaceOnce(shifted, Xref(obj4), Xref(obj4 + 1));
  EXPECT_TRUE(HasProblem(shifted, {"object 4 0", "does not land on '4 0 obj'"}));

  std::string shortLine = good;
  ReplaceOnce(shortLine, Xref(obj1) + "\r\n", Xref(obj1) + "\n");
  EXPECT_TRUE(HasProblem(shortLine, {"xref entry 1 is 19 bytes long, not 20"}));

  std::string size = good;
  ReplaceOnce(size, "/Size 9", "/Size 10");
  EXPECT_TRUE(HasProblem(size, {"/Size is 10", "9 entries"}));

  std::string startxref = good;
  ReplaceOnce(startxref, "startxref\r\n" + std::to_string(good.find("xref\r\n0 9")),
              "startxref\r\n" + std::to_string(good.find("xref\r\n0 9") - 2));
  EXPECT_TRUE(HasProblem(startxref, {"startxref offset", "does not point at the 'xref'"}));

  std::string freeZero = good;
  ReplaceOnce(freeZero, "0000000000 65535 f", "0000000000 00000 f");
  EXPECT_TRUE(HasProblem(freeZero, {"xref entry 0"}));

  // qpdf --check passes a 19-byte entry without a word; the checker must not.
  PdfCheckResult r = CheckPdfStructure(shortLine);
  EXPECT_EQ(r.problems.size(), 1u) << Joined(r);
}

TEST(PdfCheckTest, StreamLengthMustMatch) {
  for (int delta : {-1, 2}) {
    Sample s;
    s.contentLengthDelta = delta;
    PdfCheckResult r = CheckPdfStructure(SamplePdf(s));
    // One problem of ours; libqpdf's warnings while it measures the stream name the same object.
    ASSERT_FALSE(r.problems.empty());
    EXPECT_NE(r.problems[0].find("object 5 0: stream /Length is"), std::string::npos) << Joined(r);
    for (size_t i = 1; i < r.problems.size(); ++i) {
      EXPECT_EQ(r.problems[i].rfind("qpdf: PDF (object 5 0, ", 0), 0u) << Joined(r);
    }
  }
}

TEST(PdfCheckTest, PageTreeFaults) {
  Sample s;
  s.count = 2;
  EXPECT_TRUE(HasProblem(SamplePdf(s), {"/Count is 2 but 1 pages"}));

  std::string orphan = SamplePdf();
  ReplaceOnce(orphan, "/Parent 3 0 R", "/Parent 1 0 R");
  EXPECT_TRUE(HasProblem(orphan, {"/Parent does not point back"}));

  std::string noBox = SamplePdf();
  ReplaceOnce(noBox, "/MediaBox [0 0 596 842 ]", "/MediaBox [0 0 596 ]    ");
  EXPECT_TRUE(HasProblem(noBox, {"/MediaBox of four numbers"}));

  std::string noBaseFont = SamplePdf();
  ReplaceOnce(noBaseFont, "/BaseFont /Helvetica", "/FirstChar 32       ");
  EXPECT_TRUE(HasProblem(noBaseFont, {"/Font /F0 has no /BaseFont"}));

  std::string badRef = SamplePdf();
  ReplaceOnce(badRef, "/F0 6 0 R", "/F0 16 0 R");
  EXPECT_TRUE(HasProblem(badRef, {"16 0 R", "not an object in the xref"}));
}

TEST(PdfCheckTest, ContentStreamFaults) {
  struct Case {
    std::string content;
    std::string problem;
  };
  const Case cases[] = {
      {"BT /F1 12 Tf (x) Tj ET", "font /F1 used by Tf is not in the page's /Resources /Font (/F0)"},
      {"q /Im5 Do Q", "XObject /Im5 drawn by Do is not in the page's /Resources /XObject"},
      {"q q Q", "1 unbalanced q"},
      {"Q", "Q without a matching q"},
      {"BT (x) Tj", "BT without ET"},
      {"ET", "ET without a matching BT"},
      {"BT BT ET ET", "BT inside a text object"},
      {"BT /F0 12 Tf (x) tj ET", "unknown operator 'tj'"},
      {"BT (unterminated Tj ET", "content stream: EOF while reading token"},
      {"q BI /W 2 /H 1 /BPC 8 /CS /G ID \x01\x02 Q", "is not closed by ID ... EI"},
  };
  for (const Case& c : cases) {
    Sample s;
    s.content = c.content;
    PdfCheckResult r = CheckPdfStructure(SamplePdf(s));
    ASSERT_EQ(r.problems.size(), 1u) << c.content << Joined(r);
    EXPECT_NE(r.problems[0].find(c.problem), std::string::npos) << r.problems[0];
  }
  Sample inlineImage;
  inlineImage.content = "q BI /W 2 /H 1 /BPC 8 /CS /G ID \x01\x45I EI Q";
  PdfCheckResult r = CheckPdfStructure(SamplePdf(inlineImage));
  EXPECT_TRUE(r.ok()) << Joined(r);
}

TEST(PdfCheckTest, ImageFaults) {
  Sample wide;
  wide.jpegWidth = 65;
  EXPECT_TRUE(HasProblem(SamplePdf(wide), {"image object 7", "/Width 65", "64 x 32"}));

  Sample shortRaw;
  shortRaw.rawSamples = std::string(7, '\x01');
  EXPECT_TRUE(HasProblem(SamplePdf(shortRaw), {"image object 8", "7 bytes", "need 8"}));

  std::string palette = SamplePdf();
  ReplaceOnce(palette, "<FF0000 00ff00>", "<FF0000 00ff  >");
  EXPECT_TRUE(HasProblem(palette, {"/Indexed palette has 5 bytes, needs 6"}));

  std::string noColorSpace = SamplePdf();
  ReplaceOnce(noColorSpace, "/ColorSpace /DeviceRGB", "/Decode [0 1 0 1 0 1]");
  EXPECT_TRUE(HasProblem(noColorSpace, {"image object 7 has no /ColorSpace"}));

  std::string notJpeg = SamplePdf();
  ReplaceOnce(notJpeg, "\xFF\xC0", "\xFF\xD9");
  EXPECT_TRUE(HasProblem(notJpeg, {"(EOI) before any SOF"}));
}

TEST(PdfCheckTest, HostileInputGivesProblemsNotCrashes) {
  const std::string good = SamplePdf();
  // Dropping only the final line end leaves a valid file; any shorter prefix is broken.
  for (size_t n = 0; n + 2 < good.size(); ++n) {
    ASSERT_FALSE(CheckPdfStructure(std::string_view(good).substr(0, n)).ok()) << n;
  }
  std::mt19937 rng(12345);
  for (int i = 0; i < 300; ++i) {
    std::string noise(rng() % 3000, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    EXPECT_FALSE(CheckPdfStructure(noise).ok());
    std::string mutated = good;
    for (int k = 0; k < 1 + i % 8; ++k) mutated[rng() % mutated.size()] = static_cast<char>(rng());
    CheckPdfStructure(mutated);  // may or may not be valid; must not crash
  }

  PdfBuilder deep;
  deep.Add(std::string(100000, '[') + std::string(100000, ']'));
  EXPECT_TRUE(HasProblem(deep.Build(), {"object 1 0", "excessively deeply nested"}));

  PdfBuilder loop;
  loop.Add("<< /Type /Catalog /Pages 3 0 R >>");
  loop.Add("<< /Length 2 0 R >>\nstream\nabc\nendstream");
  loop.Add("<< /Type /Pages /Kids [3 0 R] /Count 1 /Parent 3 0 R >>");
  PdfCheckResult r = CheckPdfStructure(loop.Build());
  EXPECT_TRUE(HasProblem(loop.Build(), {"object 2 0", "/Length key in stream dictionary"}))
      << Joined(r);
  EXPECT_TRUE(HasProblem(loop.Build(), {"appears twice in the page tree"})) << Joined(r);
}

TEST(PdfCheckTest, RunToolCapturesOutputAndExitCode) {
  ToolRun run = RunTool("echo out; echo err >&2; exit 3");
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.out, "out\n");
  EXPECT_EQ(run.err, "err\n");
  EXPECT_EQ(RunTool("kill -9 $$").exitCode, 128 + 9);
  EXPECT_TRUE(ToolAvailable("sh"));
  EXPECT_FALSE(ToolAvailable("quirabel-no-such-tool"));
  EXPECT_FALSE(ToolAvailable("sh; true"));
  EXPECT_TRUE(ToolAvailable("qpdf")) << "scripts/setup.sh installs qpdf";
}

// IsValidPdf's failures, caught; the file it keeps for a failure is removed.
std::string QuietFailures(std::string_view pdf) {
  ::testing::TestPartResultArray failures;
  ::testing::AssertionResult result = ::testing::AssertionSuccess();
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
    result = IsValidPdf(pdf);
  }
  std::string all;
  for (int i = 0; i < failures.size(); ++i) all += failures.GetTestPartResult(i).message();
  std::string message = result.message();
  if (size_t kept = message.find("file kept at "); kept != std::string::npos) {
    std::remove(message.substr(kept + 13).c_str());
  }
  return all;
}

// The check in process fails exactly where the qpdf program's check does (exit code other than
// 0), on faults qpdf sees and on faults only our own checks see.
TEST(PdfCheckTest, QpdfVerdictMatchesTheProgram) {
  std::string good = SamplePdf();
  size_t obj4 = good.find("\r\n4 0 obj") + 2;
  std::string shifted = good;
  ReplaceOnce(shifted, Xref(obj4), Xref(obj4 + 1));
  std::string badJpeg = good;
  ReplaceOnce(badJpeg, "\xFF\xDA", "\xFF\xD9");
  Sample length, count, unterminated;
  length.contentLengthDelta = -1;
  count.count = 2;
  unterminated.content = "BT (unterminated Tj ET";
  PdfBuilder deep;
  deep.Add(std::string(1000, '[') + std::string(1000, ']'));
  const std::pair<const char*, std::string> cases[] = {
      {"good", good},
      {"xref offset off by one", shifted},
      {"JPEG without scan", badJpeg},
      {"/Length one short", SamplePdf(length)},
      {"/Count 2 for one page", SamplePdf(count)},
      {"unterminated string in content", SamplePdf(unterminated)},
      {"deep nesting", deep.Build()},
  };
  for (const auto& [name, pdf] : cases) {
    std::string path = WriteTempFile(pdf);
    ToolRun program = RunTool("qpdf --check " + ShellQuote(path));
    std::remove(path.c_str());
    std::string failures = QuietFailures(pdf);
    EXPECT_EQ(program.exitCode != 0, failures.find("qpdf") != std::string::npos)
        << name << ": qpdf --check exited with " << program.exitCode << "\n"
        << program.out << "in process:\n"
        << failures;
  }
}

TEST(PdfCheckTest, IsValidPdfReportsEveryProblem) {
  Sample s;
  s.count = 3;
  s.content = "q";
  ::testing::TestPartResultArray failures;
  ::testing::AssertionResult result = ::testing::AssertionSuccess();
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
    result = IsValidPdf(SamplePdf(s));
  }
  EXPECT_FALSE(result);
  std::string all;
  for (int i = 0; i < failures.size(); ++i) all += failures.GetTestPartResult(i).message();
  EXPECT_NE(all.find("/Count is 3"), std::string::npos) << all;
  EXPECT_NE(all.find("unbalanced q"), std::string::npos) << all;
  std::string message = result.message();
  size_t kept = message.find("file kept at ");
  ASSERT_NE(kept, std::string::npos) << message;
  EXPECT_EQ(std::remove(message.substr(kept + 13).c_str()), 0) << message;
}

}  // namespace
}  // namespace quirabel::testing
