// quirabel-batch as a person runs it: exit codes, messages on stderr, files that readers accept.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "app/application.h"
#include "app/command_boundary.h"
#include "base/atomic_file.h"
#include "cli/batch_commands.h"
#include "designer/document_window.h"
#include "designer/print_formats.h"
#include "graphics/color.h"
#include "support/fake_platform.h"
#include "support/pdf_check.h"
#include "support/test_folder.h"

namespace quirabel {
namespace {

using namespace std::string_literals;

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override { folder = testing::FreshTestFolder("batch_"); }
  void TearDown() override { std::filesystem::remove_all(folder); }

  testing::ToolRun Batch(const std::string& arguments) {
    return testing::RunTool(testing::ShellQuote(QUIRABEL_BATCH) + " " + arguments);
  }
  std::string Path(const std::string& name) {
    return testing::ShellQuote((folder / name).string());
  }

  std::filesystem::path folder;
};

TEST_F(BatchTest, UsageVersionAndWrongCalls) {
  EXPECT_EQ(Batch("--version").out, "quirabel-batch 2.2\n");
  EXPECT_EQ(Batch("--version").exitCode, 0);
  const auto help = Batch("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("quirabel-batch export EIN.kxp -o AUS.pdf"), std::string::npos);
  for (const char* wrong : {"", "drucke x", "new -o", "new --din A3 -o x.kxp", "export", "info a b",
                            "new --din A4 --mm 1 2 -o x", "export a.kxp"}) {
    const auto run = Batch(wrong);
    EXPECT_EQ(run.exitCode, 2) << wrong;
    EXPECT_NE(run.err.find("Aufruf:"), std::string::npos) << wrong;
  }
  // The first line names the problem in the usage text's words; each command takes only its own
  // options.
  const std::pair<const char*, const char*> reasons[] = {
      {"", "kein Befehl"},
      {"drucke x", "unbekannter Befehl drucke"},
      {"--bunt", "unbekannte Option --bunt"},
      {"new --din A6 -o", "-o braucht einen Wert"},
      {"new --din", "--din braucht einen Wert"},
      {"new --mm 85", "--mm braucht Breite und Höhe"},
      {"new --din A6", "new braucht -o AUS.kxp"},
      {"new --din A6 -o x.kxp karte.kxp", "unerwartetes Argument karte.kxp"},
      {"info a.kxp --landscape", "unbekannte Option --landscape"},
      {"export a.kxp --json -o x.pdf", "unbekannte Option --json"},
      {"resave a.kxp", "resave braucht -o"},
      {"new --din A6 --print-format flyer-a5 -o x.kxp",
       "new braucht entweder --din, --mm oder --print-format"},
      {"new --print-format A7 -o x.kxp",
       "--print-format kennt „A7“ nicht; quirabel-batch new --list-print-formats nennt die "
       "Druckformate"},
  };
  for (const auto& [call, reason] : reasons) {
    const auto run = Batch(call);
    EXPECT_EQ(run.exitCode, 2) << call;
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "quirabel-batch: "s + reason) << call;
    EXPECT_EQ(run.out, "") << call;
  }
}

TEST_F(BatchTest, NewInfoResaveRoundTrip) {
  auto made = Batch("new --mm 85 49 -o " + Path("karte"));
  ASSERT_EQ(made.exitCode, 0) << made.err;
  ASSERT_TRUE(std::filesystem::exists(folder / "karte.kxp"));
  const auto info = Batch("info " + Path("karte.kxp"));
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_NE(info.out.find("Format: frei, 85 x 49 mm"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Seite 1 (241 x 139 Pixel)"), std::string::npos) << info.out;
  const auto resave = Batch("resave " + Path("karte.kxp") + " -o " + Path("zwei.kxp"));
  EXPECT_EQ(resave.exitCode, 0) << resave.err;
  EXPECT_EQ(ReadFile(folder / "zwei.kxp", 1 << 24), ReadFile(folder / "karte.kxp", 1 << 24));

  // Options in any order; the last of a repeated option counts; values are taken as they are.
  ASSERT_EQ(Batch("new -o " + Path("x") + " --mm 10 20 --mm 30 40 -o " + Path("quer")).exitCode, 0);
  EXPECT_NE(Batch("info " + Path("quer.kxp")).out.find("Format: frei, 30 x 40 mm"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder / "x.kxp"));
  ASSERT_EQ(Batch("new --landscape --din=A5 --output=" + Path("a5.kxp")).exitCode, 0);
  EXPECT_NE(Batch("info " + Path("a5.kxp")).out.find("Format: A5, 210 x 148 mm"),
            std::string::npos);
  EXPECT_EQ(Batch("new --mm -5 49 -o " + Path("neg.kxp")).exitCode, 1);

  const auto bad = Batch("new --mm 0 49 -o " + Path("null.kxp"));
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "quirabel-batch: Keine gültige Millimeter-Angabe!\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "null.kxp"));
}

TEST_F(BatchTest, ExportShowsTheElementsWhereTheDesignerPlacesThem) {
  ASSERT_TRUE(testing::ToolAvailable("pdftoppm"));
  {
    testing::FakePlatform platform;
    app::Application application(platform, folder.string());
    ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
    auto& rect = static_cast<report::TPRRect&>(
        application.DocumentWindow()->Page().CreateElement(designer::ElementKind::Rect));
    rect.SetBounds(50, 100, 120, 60);
    rect.SetFillColor(graphics::RGB(255, 0, 0));
    rect.SetLineColor(graphics::clNone);
    ASSERT_TRUE(application.SaveProjectTo((folder / "rot.kxp").string()));
  }
  const auto run = Batch("export " + Path("rot.kxp") + " -o " + Path("rot"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string pdf = ReadFile(folder / "rot.pdf", 1 << 24);
  ASSERT_TRUE(testing::IsValidPdf(pdf));
  const auto ppm = testing::RunTool("pdftoppm -r 72 " + Path("rot.pdf"));
  ASSERT_EQ(ppm.exitCode, 0);
  // "P6\n297 419\n255\n": A6 is 297 x 419 page pixels.
  const std::string head = "P6\n297 419\n255\n";
  ASSERT_EQ(ppm.out.substr(0, head.size()), head);
  auto pixel = [&](int x, int y) {
    const std::size_t at = head.size() + (static_cast<std::size_t>(y) * 297 + x) * 3;
    return std::string(ppm.out, at, 3);
  };
  EXPECT_EQ(pixel(110, 130), "\xFF\x00\x00"s);  // inside the rectangle
  EXPECT_EQ(pixel(51, 101), "\xFF\x00\x00"s);
  EXPECT_EQ(pixel(48, 130), "\xFF\xFF\xFF");   // left of it: the white background
  EXPECT_EQ(pixel(110, 165), "\xFF\xFF\xFF");  // below it

  const auto notProject = Batch("export " + Path("rot.pdf") + " -o " + Path("x.pdf"));
  EXPECT_EQ(notProject.exitCode, 1);
  EXPECT_NE(notProject.err.find("keine Quirabel-Projektdatei"), std::string::npos)
      << notProject.err;
}

TEST_F(BatchTest, InfoAsJsonGivesEveryElementWithItsTexts) {
  std::string labelName;
  std::string memoName;
  {
    testing::FakePlatform platform;
    app::Application application(platform, folder.string());
    ASSERT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
    auto& label = static_cast<report::TPRLabel&>(
        application.DocumentWindow()->Page().CreateElement(designer::ElementKind::Label));
    label.SetBounds(10, 20, 150, 18);
    label.SetCaption("Müller & \"Söhne\"");
    labelName = label.Name();
    auto& memo = static_cast<report::TPRText&>(
        application.DocumentWindow()->Page().CreateElement(designer::ElementKind::Text));
    memo.SetBounds(10, 60, 200, 40);
    memo.SetText("Hauptstraße 1\n12345 Ort\tMitte");
    memoName = memo.Name();
    auto& field = static_cast<report::TPRLabel&>(
        application.DocumentWindow()->Page().CreateElement(designer::ElementKind::Label));
    field.Setdbfieldname("Firma");
    ASSERT_TRUE(application.SaveProjectTo((folder / "firma.kxp").string()));
  }
  const auto run = Batch("info --json " + Path("firma.kxp"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // One line of JSON.
  ASSERT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
  const auto info = nlohmann::json::parse(run.out);
  EXPECT_EQ(info["file"], (folder / "firma.kxp").string());
  EXPECT_EQ(info["format"],
            nlohmann::json::parse(R"({"type": "A6", "widthMm": "105", "heightMm": "148"})"));
  ASSERT_EQ(info["pages"].size(), 1u);
  const auto& page = info["pages"][0];
  EXPECT_EQ(page["page"], 1);
  EXPECT_EQ(page["widthPx"], 297);
  EXPECT_EQ(page["heightPx"], 419);
  ASSERT_EQ(page["elements"].size(), 3u);
  EXPECT_EQ(page["elements"][0], nlohmann::json({{"kind", "label"},
                                                 {"name", labelName},
                                                 {"number", 2},
                                                 {"left", 10},
                                                 {"top", 20},
                                                 {"width", 150},
                                                 {"height", 18},
                                                 {"text", "Müller & \"Söhne\""},
                                                 {"dataField", ""}}));
  EXPECT_EQ(page["elements"][1]["kind"], "text");
  EXPECT_EQ(page["elements"][1]["name"], memoName);
  EXPECT_EQ(page["elements"][1]["number"], 3);
  EXPECT_EQ(page["elements"][1]["text"], "Hauptstraße 1\r\n12345 Ort\tMitte\r\n");
  EXPECT_EQ(page["elements"][1]["dataField"], "");
  EXPECT_EQ(page["elements"][2]["dataField"], "Firma");
}

// Failures that are not the designer's own still end in exit code 1 with a reason, never in a
// success or a killed process.
TEST_F(BatchTest, OutputThatCannotBeWrittenIsAFailure) {
  ASSERT_EQ(Batch("new --din A6 -o " + Path("karte.kxp")).exitCode, 0);
  const auto full = Batch("info " + Path("karte.kxp") + " >/dev/full");
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_EQ(full.err, "quirabel-batch: die Ausgabe konnte nicht geschrieben werden\n");

  // Beyond the file size limit (512 bytes) a write fails instead of the signal ending the tool.
  const auto limited = Batch("export " + Path("karte.kxp") + " -o " + Path("karte.pdf"));
  ASSERT_EQ(limited.exitCode, 0);
  ASSERT_GT(std::filesystem::file_size(folder / "karte.pdf"), 1024u);
  std::filesystem::remove(folder / "karte.pdf");
  for (const std::string command : {"export", "resave"}) {
    const auto run = testing::RunTool("ulimit -f 1; " + testing::ShellQuote(QUIRABEL_BATCH) + " " +
                                      command + " " + Path("karte.kxp") + " -o " + Path("gross"));
    EXPECT_EQ(run.exitCode, 1) << command;
    EXPECT_TRUE(run.err.starts_with("quirabel-batch: ")) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "gross.pdf"));
    EXPECT_FALSE(std::filesystem::exists(folder / "gross.kxp"));
  }
}

// The batch platform with a file dialog that fails in a way nobody expects.
class ThrowingPlatform : public cli::BatchPlatform {
 public:
  explicit ThrowingPlatform(std::function<void()> fail) : fail_(std::move(fail)) {}
  std::optional<std::string> FileDialog(const ui::FileDialogRequest&) override {
    fail_();
    return std::nullopt;
  }

 private:
  std::function<void()> fail_;
};

// Standard error of this process, caught for the test's lifetime.
class CaughtStandardError {
 public:
  CaughtStandardError() : previous_(std::cerr.rdbuf(text_.rdbuf())) {}
  ~CaughtStandardError() { std::cerr.rdbuf(previous_); }
  std::string Text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::streambuf* previous_;
};

TEST_F(BatchTest, AnythingThrownBelowACommandEndsInExitOneWithAReason) {
  const std::string output = (folder / "karte.kxp").string();
  auto runNewWith = [&](std::function<void()> fail) {
    return cli::RunGuarded([&] {
      ThrowingPlatform platform(fail);
      return cli::RunBatchCommand({"new", "--din", "A6", "-o", output}, platform);
    });
  };
  {
    CaughtStandardError err;
    EXPECT_EQ(runNewWith([] { throw 42; }), 1);
    EXPECT_EQ(err.Text(),
              "quirabel-batch: " + app::CommandFailedMessage("unbekannter Fehler.") + "\n");
  }
  {
    CaughtStandardError err;
    EXPECT_EQ(runNewWith([] { throw std::logic_error("kaputt"); }), 1);
    EXPECT_EQ(err.Text(), "quirabel-batch: " + app::CommandFailedMessage("kaputt") + "\n");
  }
  {
    CaughtStandardError err;
    EXPECT_EQ(runNewWith([] { throw std::bad_alloc(); }), 1);
    EXPECT_EQ(err.Text(), "quirabel-batch: " +
                              app::CommandFailedMessage("Der Arbeitsspeicher reicht nicht aus.") +
                              "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(output));
}

// A failure thrown inside printing (the PDF file cannot be made) ends at the batch tool's one
// boundary in the words the designer's message box uses.
TEST_F(BatchTest, AFailureInsidePrintingIsToldInTheDesignersWords) {
  const std::string project = (folder / "karte.kxp").string();
  ASSERT_EQ(Batch("new --din A6 -o " + Path("karte.kxp")).exitCode, 0);
  const std::string pdf = (folder / "fehlt" / "karte.pdf").string();
  CaughtStandardError err;
  EXPECT_EQ(cli::RunGuarded([&] {
              cli::BatchPlatform platform;
              return cli::RunBatchCommand({"export", project, "-o", pdf}, platform);
            }),
            1);
  EXPECT_EQ(err.Text(), "quirabel-batch: Die Datei „" + pdf +
                            "“ kann nicht erstellt werden. Der Ordner existiert nicht.\n");
}

TEST_F(BatchTest, GuideLinesOfAnOrderableCardInInfoAndResave) {
  {
    // 91 x 55 mm (258 x 156 pixels), one vertical fold, a front and a back.
    testing::FakePlatform platform;
    app::Application application(platform, folder.string());
    ASSERT_TRUE(application.NewDocument({"", "91", "55"}));
    application.State().orderDocument = true;
    application.State().verticalFolds = 1;
    application.DocumentWindow()->Guides().Build();
    platform.modalAnswers = {ui::mrOk};
    ASSERT_TRUE(application.NextPageClick());
    ASSERT_TRUE(application.SaveProjectTo((folder / "falz.kxp").string()));
  }
  const auto text = Batch("info " + Path("falz.kxp"));
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("Bestellmarke: 1 (bestellfähig)"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Linie Falz senkrecht 1 bei 45.5 mm (129 Pixel)\n"
                          "  Abstände Falz senkrecht: 42mm 42mm\n"),
            std::string::npos)
      << text.out;
  const auto run = Batch("info --json " + Path("falz.kxp"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto info = nlohmann::json::parse(run.out);
  EXPECT_EQ(info["orderMark"], "1");
  EXPECT_EQ(
      info["pages"][0]["guideLines"][0],
      nlohmann::json(
          {{"kind", "verticalFold"}, {"number", 1}, {"positionPx", 129}, {"positionMm", 45.5}}));
  // The back side shows the line mirrored, without labels.
  EXPECT_EQ(info["pages"][1]["guideLines"][0]["positionPx"], 258 - 129);
  EXPECT_EQ(info["pages"][1]["distanceLabels"].size(), 0u);

  ASSERT_EQ(Batch("resave " + Path("falz.kxp") + " -o " + Path("wieder.kxp")).exitCode, 0);
  EXPECT_EQ(ReadFile(folder / "wieder.kxp", 1 << 24), ReadFile(folder / "falz.kxp", 1 << 24));
}

TEST_F(BatchTest, EveryPrintFormatMakesAnOrderableProjectWithItsLines) {
  const auto list = Batch("new --list-print-formats");
  ASSERT_EQ(list.exitCode, 0) << list.err;
  for (const designer::PrintFormat& format : designer::PrintFormats()) {
    const std::string key(format.key);
    EXPECT_NE(list.out.find(key + " "), std::string::npos) << list.out;
    // By key and by the name the format window shows.
    for (const std::string& chosen : {key, std::string(format.name)}) {
      const auto made =
          Batch("new --print-format " + testing::ShellQuote(chosen) + " -o " + Path(key + ".kxp"));
      ASSERT_EQ(made.exitCode, 0) << chosen << ": " << made.err;
    }
    const auto run = Batch("info --json " + Path(key + ".kxp"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto info = nlohmann::json::parse(run.out);
    EXPECT_EQ(info["orderMark"], "1") << key;
    EXPECT_EQ(info["format"]["widthMm"], std::to_string(format.trimmedWidthMm + 6))
        << key << run.out;
    EXPECT_EQ(info["format"]["heightMm"], std::to_string(format.trimmedHeightMm + 6)) << key;
    std::map<std::string, int> lines;
    for (const auto& line : info["pages"][0]["guideLines"]) ++lines[line["kind"]];
    EXPECT_EQ(lines["verticalFold"], format.verticalFolds) << key;
    EXPECT_EQ(lines["horizontalFold"], format.horizontalFolds) << key;
    EXPECT_EQ(lines["verticalPerforation"], format.verticalPerforations) << key;
    EXPECT_EQ(lines["horizontalPerforation"], format.horizontalPerforations) << key;

    // Its PDF tells a print shop where to cut: the trim box 3 mm inside the page, the bleed box
    // the page, on every page; PDF 1.3, which brought the boxes.
    ASSERT_EQ(Batch("export " + Path(key + ".kxp") + " -o " + Path(key + ".pdf")).exitCode, 0);
    const std::string pdf = ReadFile(folder / (key + ".pdf"), 1 << 24);
    EXPECT_TRUE(testing::IsValidPdf(pdf));
    EXPECT_TRUE(pdf.starts_with("%PDF-1.3")) << key;
    std::smatch media;
    ASSERT_TRUE(std::regex_search(pdf, media, std::regex(R"(/MediaBox \[0 0 (\d+) (\d+) \])")));
    const int width = std::stoi(media[1]), height = std::stoi(media[2]);
    EXPECT_NEAR(width, (format.trimmedWidthMm + 6) * 72 / 25.4, 1.0) << key;
    const auto text = [](double value) {
      std::ostringstream out;
      out << value;
      return out.str();
    };
    EXPECT_NE(pdf.find("/TrimBox [8.504 8.504 " + text(width - 8.504) + " " + text(height - 8.504) +
                       " ]"),
              std::string::npos)
        << key;
    EXPECT_NE(
        pdf.find("/BleedBox [0 0 " + std::to_string(width) + " " + std::to_string(height) + " ]"),
        std::string::npos)
        << key;
  }
  // A free document has neither box and keeps its header.
  ASSERT_EQ(Batch("new --mm 85 55 -o " + Path("frei.kxp")).exitCode, 0);
  ASSERT_EQ(Batch("export " + Path("frei.kxp") + " -o " + Path("frei.pdf")).exitCode, 0);
  const std::string free = ReadFile(folder / "frei.pdf", 1 << 24);
  EXPECT_TRUE(free.starts_with("%PDF-1.2")) << free.substr(0, 10);
  EXPECT_EQ(free.find("Box [8"), std::string::npos);
  EXPECT_EQ(free.find("/TrimBox"), std::string::npos);
}

// An orderable business card of two sides, both on the same picture background, each with a
// rectangle near its left edge; saved as `file`.
void SaveTwoSidedCard(const std::filesystem::path& file) {
  testing::FakePlatform platform;
  app::Application application(platform, "");
  const designer::PrintFormat* card = designer::FindPrintFormat("visitenkarte");
  ASSERT_NE(card, nullptr);
  ASSERT_TRUE(application.NewDocument(designer::PageFormatOf(*card), card));
  for (int side = 1; side <= 2; ++side) {
    if (side == 2) {
      ASSERT_TRUE(application.AppendPage());
    }
    application.Page()->SetBackgroundColour(graphics::clBlue);
    application.Page()->CreateElement(designer::ElementKind::Rect).SetBounds(20, 20, 40, 30);
  }
  ASSERT_TRUE(application.SaveProjectTo(file.string()));
}

// The placements of the form on a sheet: (x, y) of each "cm" before "/FmN Do".
std::vector<std::pair<double, double>> Placements(const std::string& pdf, int form) {
  std::vector<std::pair<double, double>> found;
  const std::regex placed(
      R"((-?[\d.]+) (-?[\d.]+) (-?[\d.]+) (-?[\d.]+) (-?[\d.]+) (-?[\d.]+) cm\n/Fm)" +
      std::to_string(form) + " Do");
  for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), placed); it != std::sregex_iterator();
       ++it) {
    found.emplace_back(std::stod((*it)[5]), std::stod((*it)[6]));
  }
  return found;
}

// A page as a picture: PNG at the resolution asked for (an orderable page without its bleed unless
// asked), SVG that XML readers accept; a page that is not there writes nothing.
TEST_F(BatchTest, PagesAsPictures) {
  SaveTwoSidedCard(folder / "karte.kxp");
  struct Case {
    std::string options;
    int exitCode;
    int width, height;  // PNG pixels; 0 for SVG
  };
  const std::vector<Case> cases = {
      {"--png " + Path("bild.png"), 0, 1004, 650},  // 85 x 55 mm at 300 dpi
      {"--png " + Path("bild.png") + " --dpi 72 --page 2 --with-bleed", 0, 258, 173},
      {"--svg " + Path("bild.svg"), 0, 0, 0},
      {"--png " + Path("bild.png") + " --page 3", 1, 0, 0},
      {"--png " + Path("bild.png") + " --dpi 5000", 2, 0, 0},
      {"--png " + Path("bild.png") + " -o " + Path("x.pdf"), 2, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    std::filesystem::remove(folder / "bild.png");
    const auto run = Batch("export " + Path("karte.kxp") + " " + c.options);
    ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
    if (c.exitCode != 0) {
      EXPECT_FALSE(std::filesystem::exists(folder / "bild.png"));
      continue;
    }
    if (c.width == 0) {
      EXPECT_EQ(testing::RunTool("xmllint --noout " + Path("bild.svg")).exitCode, 0);
      continue;
    }
    const std::string png = ReadFile(folder / "bild.png", 1 << 24);
    ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    const auto be32 = [&](std::size_t at) {
      return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
             (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_EQ(be32(16), c.width);
    EXPECT_EQ(be32(20), c.height);
  }
}

TEST_F(BatchTest, CardsOnPrintingSheets) {
  SaveTwoSidedCard(folder / "karte.kxp");
  constexpr double kSheetA4Width = 210 * 72 / 25.4;
  struct Case {
    std::string options;
    int exitCode;
    std::string out;  // standard output, or a part of standard error on failure
    int copies;
  };
  const std::vector<Case> cases = {
      {"--sheet A4", 0, "Bogen 1: 10 Karten\nBogen 2: 10 Karten (Rückseite)\n", 10},
      {"--sheet A4 --gap 0", 0, "Bogen 1: 10 Karten\nBogen 2: 10 Karten (Rückseite)\n", 10},
      // Turned a quarter, more fit.
      {"--sheet SRA3", 0, "Bogen 1: 25 Karten\nBogen 2: 25 Karten (Rückseite)\n", 25},
      {"--sheet A4 --grid 2x5 --margins 15,13.5 --pitch 95,55", 0,
       "Bogen 1: 10 Karten\nBogen 2: 10 Karten (Rückseite)\n", 10},
      {"--sheet 90x60", 1, "passt nicht auf den Bogen (90 × 60 mm", 0},
      {"--sheet A4 --grid 2x5 --margins 15,13.5 --pitch 80,55", 1, "größer als der Abstand", 0},
      {"--sheet A5", 2, "--sheet kennt", 0},
      {"--gap 3", 2, "nur mit --sheet", 0},
      {"--sheet A4 --grid 2x5", 2, "gehören zusammen", 0},
      // The 85 x 55 mm card is within a millimetre of the product's 85 x 54 mm labels.
      {"--sheet-product c32011 --back-offset 1.5,-0.5", 0,
       "Bogen 1: 10 Karten\nBogen 2: 10 Karten (Rückseite)\n", 10},
      {"--sheet-product 3474", 1, "Etiketten von Avery Zweckform 3474 (70 × 37 mm)", 0},
      {"--sheet-product C3201", 2, "gibt es nicht", 0},
      {"--sheet-product C32011 --grid 2x5", 2, "gilt ohne", 0},
      {"--sheet A4 --back-offset 25,0", 2, "--back-offset braucht", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    std::filesystem::remove(folder / "bogen.pdf");
    const auto run =
        Batch("export " + Path("karte.kxp") + " -o " + Path("bogen.pdf") + " " + c.options);
    ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
    if (c.exitCode != 0) {
      EXPECT_NE(run.err.find(c.out), std::string::npos) << run.err;
      EXPECT_FALSE(std::filesystem::exists(folder / "bogen.pdf"));
      continue;
    }
    EXPECT_EQ(run.out, c.out);
    const std::string pdf = ReadFile(folder / "bogen.pdf", 1 << 24);
    EXPECT_TRUE(testing::IsValidPdf(pdf));
    const auto pages = testing::PdfPages(pdf);
    ASSERT_EQ(pages.size(), 2u);
    // Each side drawn once, placed once per copy; the background one picture for the file.
    std::regex image("/Subtype /Image");
    EXPECT_EQ(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), image), {}), 1);
    const auto front = Placements(pdf, 0);
    const auto back = Placements(pdf, 1);
    ASSERT_EQ(front.size(), static_cast<std::size_t>(c.copies));
    ASSERT_EQ(back.size(), front.size());
    if (c.options != "--sheet A4") continue;
    // The back: every copy mirrored left to right, so that it lies behind its front.
    const double card = 258 - 2 * 8.504;  // the trimmed card in points
    for (std::size_t i = 0; i < front.size(); ++i) {
      const double frontLeft = front[i].first + 8.504;
      const double backLeft = back[i].first + 8.504;
      EXPECT_NEAR(backLeft, kSheetA4Width - frontLeft - card, 0.02) << i;
      EXPECT_NEAR(back[i].second, front[i].second, 0.01) << i;
    }
  }
}

}  // namespace
}  // namespace quirabel
