// Serial PDF: a business card of 85 x 55 mm with a 160 KB JPEG background, a rectangle, a JPEG
// logo, four data fields and a static text line, printed for 10,000 rows of German names and
// addresses on one and on two threads, against the floor of the same run: the same number of files
// of the same sizes written plainly (a), also hashed with SHA-256 as the run record does (b), and
// then one sync of the folder (c). Then the same card with a QR code of a vCard filled per row, and
// the same card for 10,000 rows of Polish, Turkish, Czech, Romanian, Greek and Cyrillic names
// (embedded fonts), each against the German run. Each run ends with one sync of its folder and
// its run record, as a real run does. Inputs are fixed: pictures and names are made here from
// fixed seeds. Each ratio is printed beside its goal.
// Then the same card for 10,000 rows into one PDF (--one-pdf): time and bytes per row, and the
// peak memory of such a run over 1,000 and over 100,000 rows; the peak memory of runs named by
// column over the last ten rows of 10,000 and of 1,000,000 rows (every name before them is made).
// On a disk every timed run starts after a sync and an emptied page cache (as root), so that the
// writeback of one run does not land in the next one's time.
// Last, the thumbnail a file manager asks for: `quirabel-batch thumbnail` of the card at 256
// pixels, the whole command.
// Run: build/bin/bench_serial [folder on a disk]  (the temp folder may be memory, where a sync
// costs nothing); build/bin/bench_serial --thumbnail [folder] for the thumbnail alone,
// build/bin/bench_serial --one-pdf [folder [welt]] for the series in one file alone (with "welt"
// the names beyond Windows-1252, the file kept beside the folder as serie-welt.pdf),
// build/bin/bench_serial --profile folder [welt|code|keep [rows]] for one run alone, for a
// profiler.
#include <fcntl.h>
#include <linux/magic.h>
#include <spawn.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/serial_pdf.h"
#include "base/atomic_file.h"
#include "base/sha256.h"
#include "designer/document_window.h"
#include "graphics/jpeg.h"
#include "quiet_platform.h"
#include "report/pr_code.h"
#include "report/pr_labels.h"
#include "report/pr_shapes.h"
#include "report/sheet_layout.h"
#include "report/sheet_output.h"

extern char** environ;

namespace {

using namespace quirabel;
using SteadyClock = std::chrono::steady_clock;
namespace fs = std::filesystem;

using bench::QuietPlatform;

struct Lcg {
  std::uint32_t state;
  std::uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

// A photograph-like picture: soft gradients with grain, compressed at the quality that brings it
// closest to `targetBytes` from below.
std::string PhotoJpeg(int width, int height, std::uint32_t seed, std::size_t targetBytes) {
  graphics::Bitmap picture(width, height, graphics::PixelFormat::pf24bit);
  Lcg random{seed};
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < width; ++x) {
      const int grain = static_cast<int>(random.Next() % 48);
      row[3 * x] = static_cast<std::uint8_t>((x * 200 / width + grain) & 0xFF);
      row[3 * x + 1] = static_cast<std::uint8_t>((y * 180 / height + grain) & 0xFF);
      row[3 * x + 2] = static_cast<std::uint8_t>(((x + y) * 90 / (width + height) + grain) & 0xFF);
    }
  }
  std::string best = graphics::EncodeJpeg(picture, 5);
  for (int quality = 6; quality <= 100; ++quality) {
    std::string jpeg = graphics::EncodeJpeg(picture, quality);
    if (jpeg.size() > targetBytes) break;
    best = std::move(jpeg);
  }
  return best;
}

// Which names the rows carry: German ones, names of the scripts Windows-1252 cannot hold, or
// Hebrew and Arabic names, which are set right to left (and Arabic joined).
enum class Names { german, world, rightToLeft };

// Rows of German names and addresses, the same at every run; with other `names` the names are of
// other scripts, and with Names::world one such character is in every field of every row.
std::string AddressCsv(std::size_t rows, Names names = Names::german) {
  const bool beyondWindows1252 = names == Names::world;
  const char* germanFirst[] = {"Jürgen",     "Änne",    "Björn", "Sören", "Käthe",
                               "Günther",    "Jörg",    "Uwe",   "Heike", "Ölaf",
                               "Maximilian", "Susanne", "Bärbel"};
  const char* germanLast[] = {"Müller", "Schäfer",  "Weiß",     "Groß",   "Öztürk", "Krüger",
                              "Bäcker", "Schröder", "Hoffmann", "Köhler", "Fuß",    "Meier"};
  const char* otherFirst[] = {"Łukasz", "Żaneta", "Şahin", "Ayşe", "Jiří",   "Kateřina", "Ștefan",
                              "Țara",   "Ελένη",  "Νίκος", "Юлия", "Сергей", "Ğülşen"};
  const char* otherLast[] = {"Żółć",  "Wiśniewski", "Çelik",    "Yılmaz",    "Dvořák",   "Hořejší",
                             "Țuțea", "Ionescu-Ș",  "Παπαδάκη", "Οικονόμου", "Смирнова", "Ёлкин"};
  const char* rightToLeftFirst[] = {"שרה",  "דוד",  "מרים", "יוסף", "נועה", "محمد", "فاطمة",
                                    "أحمد", "ليلى", "عمر",  "רחל",  "يوسف", "سارة"};
  const char* rightToLeftLast[] = {"כהן",    "לוי",  "מזרחי",  "פרץ",   "ביטון", "العلي",
                                   "حداد",   "الخوري", "منصور", "عباس", "אברהם", "سليمان"};
  const char* const* firstNames = beyondWindows1252              ? otherFirst
                                  : names == Names::rightToLeft ? rightToLeftFirst
                                                                : germanFirst;
  const char* const* lastNames = beyondWindows1252              ? otherLast
                                 : names == Names::rightToLeft ? rightToLeftLast
                                                               : germanLast;
  const char* streets[] = {"Hauptstraße",   "Lindenallee", "Am Mühlbach", "Königsweg",
                           "Bahnhofstraße", "Schloßplatz", "Gartenstraße"};
  const char* cities[] = {"München",  "Köln",     "Düsseldorf", "Lübeck",
                          "Nürnberg", "Würzburg", "Görlitz",    "Saarbrücken"};
  Lcg random{2026};
  std::string csv;
  for (std::size_t i = 0; i < rows; ++i) {
    csv += firstNames[random.Next() % 13];
    csv += ';';
    csv += lastNames[random.Next() % 12];
    csv += ';';
    csv += streets[random.Next() % 7];
    csv += ' ' + std::to_string(1 + random.Next() % 120) + (beyondWindows1252 ? " ł;" : ";");
    csv += std::to_string(10000 + random.Next() % 89999) + ' ';
    csv += cities[random.Next() % 8];
    if (beyondWindows1252) csv += " ș";
    csv += "\r\n";
  }
  return csv;
}

struct Fixture {
  fs::path folder;
  fs::path project;
  fs::path link;
  std::size_t backgroundBytes = 0;
};

// With `withCode` the card also carries a QR code of a vCard filled from the row's names.
Fixture MakeFixture(const fs::path& folder, std::size_t rows, Names names = Names::german,
                    bool withCode = false) {
  Fixture fixture{folder, folder / "karte.kxp", folder / "karte._cv"};
  fs::create_directories(folder);
  const std::string background = PhotoJpeg(1004, 650, 11, 160 * 1024);
  fixture.backgroundBytes = background.size();
  WriteFileAtomic(folder / "hintergrund.jpg", background);
  WriteFileAtomic(folder / "logo.jpg", PhotoJpeg(120, 80, 5, 6 * 1024));
  WriteFileAtomic(folder / "adressen.csv", AddressCsv(rows, names));

  QuietPlatform platform;
  app::Application application(platform, folder.string());
  application.NewDocument({"", "85", "55"});
  designer::DocumentWindow& window = *application.DocumentWindow();
  window.LoadBackgroundPicture(folder / "hintergrund.jpg");
  auto& frame =
      static_cast<report::TPRRect&>(window.Page().CreateElement(designer::ElementKind::Rect));
  frame.SetBounds(8, 8, 225, 140);
  window.InsertPicture(folder / "logo.jpg");
  const char* fields[] = {"Vorname", "Name", "Strasse", "Ort"};
  int top = 40;
  for (const char* field : fields) {
    auto& label =
        static_cast<report::TPRLabel&>(window.Page().CreateElement(designer::ElementKind::Label));
    label.SetBounds(16, top, 180, 14);
    label.Setdbfieldname(field);
    label.SetCaption("<" + std::string(field) + ">");
    top += 18;
  }
  auto& fixed =
      static_cast<report::TPRLabel&>(window.Page().CreateElement(designer::ElementKind::Label));
  fixed.SetBounds(16, 130, 200, 12);
  fixed.SetCaption("Druckerei Quirabel · Ihr Partner für Karten");
  if (withCode) {
    auto& code =
        static_cast<report::TPRCode&>(window.Page().CreateElement(designer::ElementKind::Code));
    code.SetBounds(160, 40, 71, 71);
    code.SetContent(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:<Name>;<Vorname>;;;\r\nFN:<Vorname> <Name>\r\n"
        "ORG:Druckerei Quirabel\r\nTEL;TYPE=WORK,VOICE:+49 30 1234567\r\nEND:VCARD\r\n");
  }
  application.SaveProjectTo(fixture.project.string());

  serial::LinkFile link;
  link.csvPath = (folder / "adressen.csv").string();
  link.separator = ';';
  for (int i = 0; i < 4; ++i) link.assignments.push_back(serial::AssignmentEntry(fields[i], i + 1));
  serial::WriteLinkFile(fixture.link, link);
  return fixture;
}

// One run of the rows into `out`, a folder, or with `onePdf` all into the file `out` (as cards on
// A4 sheets with `onSheets`); seconds, or a negative value when it failed. `settle` runs right
// before the clock starts.
double RunRows(const Fixture& fixture, const fs::path& out, unsigned jobs, int column = 0,
               std::size_t lastRows = 0, bool onePdf = false,
               const std::function<void()>& settle = {}, bool onSheets = false) {
  QuietPlatform platform;
  app::Application application(platform, fixture.folder.string());
  if (!application.OpenProject(fixture.project)) return -1;
  app::SerialPdf serialPdf(application);
  const auto link = serialPdf.ReadLink(fixture.link);
  if (!link) return -1;
  const auto table = serialPdf.ReadCsv(*link);
  if (!table) return -1;
  fs::remove_all(out);
  app::SerialRequest request;
  request.folder = out;
  request.jobs = jobs;
  request.naming.column = column;
  if (onSheets)
    request.sheets = report::SheetRequest{*report::SheetSizeOfName("A4"), 2.0, std::nullopt};
  if (lastRows > 0 && table->RowCount() > lastRows)
    request.firstRow = table->RowCount() - lastRows + 1;
  if (settle) settle();
  const auto start = SteadyClock::now();
  if (onePdf) {
    const serial::OnePdfOutcome series = serialPdf.PrintOnePdf(*link, *table, request, out, {});
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    return series.failure.empty() && series.rows == table->RowCount() ? seconds : -1;
  }
  const serial::SerialOutcome outcome = serialPdf.Print(*link, *table, request);
  const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
  return outcome.Complete() ? seconds : -1;
}

// The whole series in one file: 10,000 rows of the same card (--one-pdf); false when it failed.
bool PrintOnePdfRun(const fs::path& folder, bool beyondWindows1252 = false) {
  constexpr std::size_t kSeriesRows = 10000;
  const Fixture series = MakeFixture(folder / "karte-serie", kSeriesRows,
                                     beyondWindows1252 ? Names::world : Names::german);
  const std::size_t rows = kSeriesRows;
  const double seconds = RunRows(series, folder / "serie.pdf", 1, 0, 0, true);
  if (seconds < 0) {
    std::fprintf(stderr, "bench_serial: the run into one PDF failed\n");
    return false;
  }
  const auto size = static_cast<std::intmax_t>(fs::file_size(folder / "serie.pdf"));
  const double perRow =
      static_cast<double>(size - static_cast<std::intmax_t>(series.backgroundBytes)) /
      static_cast<double>(rows);
  std::printf(
      "--one-pdf, %zu rows: %.3f ms per row (goal <= 0.03 ms); %jd bytes = background + %.0f "
      "bytes per row (goal <= 6 KB)\n",
      rows, seconds * 1000 / static_cast<double>(rows), size, perRow);
  return true;
}

// Writes back what earlier runs left dirty and empties the page cache (which needs root; without
// it the sync alone is done), so that a timed run on a disk does not pay for the one before.
// Whether the cache was emptied.
bool Settle() {
  ::sync();
  std::ofstream drop("/proc/sys/vm/drop_caches");
  drop << "3\n";
  drop.flush();
  return static_cast<bool>(drop);
}

// The floor of a run: the same number of files of the same sizes, written with plain writes (a);
// also hashed with SHA-256 through the same crypto library, which the run record holds of every
// PDF (b); and then one sync of the folder, as the run syncs (c). No run that keeps its PDFs and
// their digests goes below b, nor below c on a disk. The bytes are those of the largest PDF, cut
// to each size (the hash's cost does not depend on the bytes); `settle` runs before each clock
// starts. Seconds; negative when a write failed.
// b' is b with the bytes the files share at their beginning (the background picture) hashed once,
// as the run hashes them: the floor the run itself has lowered.
struct Floors {
  double a = -1;
  double b = -1;
  double c = -1;
  double sharedB = -1;
};

Floors FloorsOf(const fs::path& pdfs, const fs::path& to, const std::function<void()>& settle) {
  std::vector<std::pair<std::string, std::uintmax_t>> files;
  fs::path largest;
  std::uintmax_t largestSize = 0;
  for (const auto& entry : fs::directory_iterator(pdfs)) {
    if (entry.path().extension() != ".pdf") continue;
    files.emplace_back(entry.path().filename().string(), entry.file_size());
    if (entry.file_size() > largestSize) {
      largestSize = entry.file_size();
      largest = entry.path();
    }
  }
  const std::string bytes = largest.empty() ? std::string() : ReadFile(largest, 1 << 26);
  // How many bytes the files share at their beginning: the largest against another one.
  std::size_t shared = 0;
  for (const auto& [name, size] : files) {
    if (pdfs / name == largest) continue;
    const std::string other = ReadFile(pdfs / name, 1 << 26);
    while (shared < other.size() && shared < bytes.size() && other[shared] == bytes[shared])
      ++shared;
    break;
  }
  const auto writeAll = [&](bool hash, bool sync, bool sharedOnce = false) -> double {
    fs::remove_all(to);
    fs::create_directories(to);
    if (settle) settle();
    const auto start = SteadyClock::now();
    std::size_t digits = 0;
    Sha256 afterShared;
    if (sharedOnce) afterShared.Add(std::string_view(bytes).substr(0, shared));
    for (const auto& [name, size] : files) {
      const std::string_view file(bytes.data(), std::min<std::size_t>(size, bytes.size()));
      const int fd = ::open((to / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0 || ::write(fd, file.data(), file.size()) != static_cast<ssize_t>(file.size()))
        return -1;
      ::close(fd);
      if (sharedOnce && file.size() >= shared) {
        Sha256 rest = afterShared.Copy();
        rest.Add(file.substr(shared));
        digits += rest.HexDigest().size();
      } else if (hash || sharedOnce) {
        digits += Sha256Hex(file).size();
      }
    }
    if (sync) {
      const int fd = ::open(to.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0 || ::syncfs(fd) != 0) return -1;
      ::close(fd);
    }
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    return (hash || sharedOnce) && digits == 0 ? -1 : seconds;
  };
  Floors floors;
  floors.a = writeAll(false, false);
  floors.b = writeAll(true, false);
  floors.c = writeAll(true, true);
  floors.sharedB = writeAll(false, false, true);
  fs::remove_all(to);
  return floors;
}

// Whether a folder is in memory, where neither writing nor a sync waits for a disk.
bool InMemory(const fs::path& folder) {
  struct statfs info {};
  return ::statfs(folder.c_str(), &info) == 0 && info.f_type == TMPFS_MAGIC;
}

// How a run for its peak memory prints: the last ten rows into a folder, named by column, or every
// row into one PDF file (serie.pdf in the run's folder), a page each or as cards on A4 sheets.
enum class RssRun { Folder, OnePdf, OnePdfOnSheets };

// Peak resident memory (KiB) of a run over `rows` rows in a process of its own, which only
// prints: the card and the rows are made here beforehand.
long PeakRssOfRun(std::size_t rows, const fs::path& folder, RssRun run = RssRun::Folder) {
  MakeFixture(folder, rows);
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const char* mode = run == RssRun::Folder   ? "--rss-run"
                     : run == RssRun::OnePdf ? "--rss-one-pdf"
                                             : "--rss-one-pdf-sheets";
  char* argv[] = {const_cast<char*>(self.c_str()), const_cast<char*>(mode),
                  const_cast<char*>(folder.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  long kib = -1;
  std::ifstream(folder / "peak") >> kib;
  return kib;
}

// What `qpdf --check` says of a file: "sound", "FAILED", or "qpdf not installed".
std::string QpdfVerdict(const fs::path& file) {
  if (std::system("command -v qpdf >/dev/null 2>&1") != 0) return "qpdf not installed";
  const std::string command = "qpdf --check '" + file.string() + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0 ? "sound" : "FAILED";
}

// The peak memory of the series in one file over 1,000 and over 100,000 rows, a page each and as
// cards on A4 sheets, with qpdf's word on the 100,000-row files; false when a run failed or a
// file is not sound.
bool PrintOnePdfPeakRss(const fs::path& folder) {
  bool sound = true;
  for (const RssRun run : {RssRun::OnePdf, RssRun::OnePdfOnSheets}) {
    const char* kind = run == RssRun::OnePdf ? "--one-pdf" : "--one-pdf --sheet A4";
    const long small = PeakRssOfRun(1000, folder / "rss-one-1000", run);
    fs::remove_all(folder / "rss-one-1000");
    const long large = PeakRssOfRun(100000, folder / "rss-one-100000", run);
    const std::string checked =
        large < 0 ? "" : QpdfVerdict(folder / "rss-one-100000" / "serie.pdf");
    fs::remove_all(folder / "rss-one-100000");
    if (small < 0 || large < 0) {
      std::fprintf(stderr, "bench_serial: a run into one PDF for its peak memory failed\n");
      return false;
    }
    std::printf(
        "%s peak RSS: %ld KiB of 1,000 rows, %ld KiB of 100,000 rows (%+.1f %%, %.0f bytes a row "
        "more; goal: flat); qpdf --check of the 100,000 rows: %s\n",
        kind, small, large, 100.0 * static_cast<double>(large - small) / static_cast<double>(small),
        static_cast<double>(large - small) * 1024 / 99000, checked.c_str());
    if (checked == "FAILED") sound = false;
  }
  return sound;
}

// Wall time (ms) of `quirabel-batch thumbnail` of the card at `size` pixels: the median of
// `runs` commands, each a process of its own as a file manager starts it; negative on a failure.
double ThumbnailMilliseconds(const Fixture& fixture, int size, int runs) {
  const std::string batch = QUIRABEL_BATCH;
  const std::string project = fixture.project.string();
  const std::string png = (fixture.folder / "vorschau.png").string();
  const std::string sizeText = std::to_string(size);
  char* argv[] = {const_cast<char*>(batch.c_str()),
                  const_cast<char*>("thumbnail"),
                  const_cast<char*>(project.c_str()),
                  const_cast<char*>(png.c_str()),
                  const_cast<char*>("--size"),
                  const_cast<char*>(sizeText.c_str()),
                  nullptr};
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = SteadyClock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, batch.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
      return -1;
    times.push_back(std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
  }
  if (!fs::exists(png)) return -1;
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The thumbnail figure; false when the command failed.
bool PrintThumbnail(const Fixture& fixture) {
  constexpr int kSize = 256;
  constexpr int kRuns = 11;
  const double ms = ThumbnailMilliseconds(fixture, kSize, kRuns);
  if (ms < 0) {
    std::fprintf(stderr, "bench_serial: the thumbnail command failed\n");
    return false;
  }
  std::printf("thumbnail of the card, %d px: %.1f ms per command (median of %d; goal <= 30 ms)\n",
              kSize, ms, kRuns);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // A mistyped option must not become the folder the benchmark fills with PDFs.
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool knownFlag =
        i == 1 && (arg == "--rss-run" || arg == "--rss-one-pdf" || arg == "--rss-one-pdf-sheets" ||
                   arg == "--profile" || arg == "--one-pdf" || arg == "--thumbnail");
    if (arg.starts_with("-") && !knownFlag) {
      std::fprintf(stderr,
                   "usage: bench_serial [folder] | --one-pdf [folder [welt]] | --thumbnail "
                   "[folder] | --profile folder [welt|rtl|code|keep [rows]]\n");
      return 2;
    }
  }
  if (argc == 3 &&
      (std::string(argv[1]) == "--rss-run" || std::string(argv[1]) == "--rss-one-pdf" ||
       std::string(argv[1]) == "--rss-one-pdf-sheets")) {
    const fs::path folder = argv[2];
    const Fixture fixture{folder, folder / "karte.kxp", folder / "karte._cv"};
    if (std::string(argv[1]) != "--rss-run") {
      // The file stays for qpdf's check.
      if (RunRows(fixture, folder / "serie.pdf", 1, 0, 0, true, {},
                  std::string(argv[1]) == "--rss-one-pdf-sheets") < 0)
        return 1;
    } else if (RunRows(fixture, folder / "pdf", 1, 2, 10) < 0) {
      // Named by the second column: the names of all rows before the last ten are made.
      return 1;
    }
    // The kernel's high-water mark of this process; ru_maxrss of a spawned child would include
    // the parent's memory from before the exec.
    std::ifstream status("/proc/self/status");
    std::ofstream peak(folder / "peak");
    for (std::string line; std::getline(status, line);) {
      if (line.starts_with("VmHWM:")) peak << std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return peak ? 0 : 1;
  }
  if (argc >= 3 && std::string(argv[1]) == "--profile") {
    // The one-thread run alone, for a profiler: the card and its rows are made first; "welt"
    // after the folder takes the names beyond Windows-1252, "rtl" Hebrew and Arabic names.
    const fs::path folder = argv[2];
    fs::remove_all(folder);
    const std::string card = argc > 3 ? argv[3] : "";
    const std::size_t rows = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 10000;
    if (rows == 0) return 2;
    const Fixture fixture = MakeFixture(folder / "karte", rows,
                                        card == "welt"  ? Names::world
                                        : card == "rtl" ? Names::rightToLeft
                                                        : Names::german,
                                        card == "code");
    const double seconds = RunRows(fixture, folder / "eins", 1);
    std::printf("%zu PDFs, --jobs 1: %.3f ms per PDF\n", rows,
                seconds * 1000 / static_cast<double>(rows));
    // "keep" leaves the card, its rows and the PDFs for a look.
    if (std::string(argv[argc - 1]) != "keep") fs::remove_all(folder);
    return seconds < 0 ? 1 : 0;
  }
  if (argc > 1 && std::string(argv[1]) == "--one-pdf") {
    const fs::path folder =
        argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "bench_serial_one_pdf";
    fs::remove_all(folder);
    const bool done = PrintOnePdfRun(folder, argc > 3 && std::string(argv[3]) == "welt") &&
                      PrintOnePdfPeakRss(folder);
    if (argc > 3)
      fs::copy_file(folder / "serie.pdf", fs::path(argv[2]).parent_path() / "serie-welt.pdf",
                    fs::copy_options::overwrite_existing);
    fs::remove_all(folder);
    return done ? 0 : 1;
  }
  const bool thumbnailOnly = argc > 1 && std::string(argv[1]) == "--thumbnail";
  const int folderArg = thumbnailOnly ? 2 : 1;
  const fs::path folder =
      argc > folderArg ? fs::path(argv[folderArg]) : fs::temp_directory_path() / "bench_serial";
  fs::remove_all(folder);
  // 10,000 rows: what a person's run is like (a font subset or a code shows over many rows).
  constexpr std::size_t kRows = 10000;
  const Fixture fixture = MakeFixture(folder / "karte", kRows);
  if (thumbnailOnly) {
    const bool done = PrintThumbnail(fixture);
    fs::remove_all(folder);
    return done ? 0 : 1;
  }

  // The goals differ where a sync costs nothing: memory against a disk. On a disk every timed
  // run starts with nothing left to write back from the one before.
  const bool memory = InMemory(folder);
  bool cacheEmptied = true;
  std::function<void()> settle;
  if (!memory) settle = [&] { cacheEmptied = Settle() && cacheEmptied; };
  const auto largestIn = [](const fs::path& pdfs) {
    std::uintmax_t largest = 0;
    for (const auto& entry : fs::directory_iterator(pdfs)) {
      // The PDFs only: the run record beside them grows with the rows.
      if (entry.path().extension() == ".pdf") largest = std::max(largest, entry.file_size());
    }
    return largest;
  };
  // Each run's folder goes before the next run: 10,000 PDFs are 1.6 GB.
  const double one = RunRows(fixture, folder / "eins", 1, 0, 0, false, settle);
  const std::uintmax_t largest = one < 0 ? 0 : largestIn(folder / "eins");
  const Floors floors = one < 0 ? Floors{} : FloorsOf(folder / "eins", folder / "boden", settle);
  fs::remove_all(folder / "eins");
  const double two = RunRows(fixture, folder / "zwei", 2, 0, 0, false, settle);
  fs::remove_all(folder / "zwei");
  const Fixture coded = MakeFixture(folder / "karte-code", kRows, Names::german, true);
  const double code = RunRows(coded, folder / "code", 1, 0, 0, false, settle);
  fs::remove_all(folder / "code");
  const Fixture others = MakeFixture(folder / "karte-welt", kRows, Names::world);
  const double world = RunRows(others, folder / "welt", 1, 0, 0, false, settle);
  const std::uintmax_t largestWorld = world < 0 ? 0 : largestIn(folder / "welt");
  fs::remove_all(folder / "welt");
  if (one < 0 || two < 0 || code < 0 || world < 0 || floors.a < 0 || floors.b < 0 || floors.c < 0) {
    std::fprintf(stderr, "bench_serial: a run failed\n");
    return 1;
  }
  const auto ms = [&](double seconds) { return seconds * 1000 / kRows; };
  std::printf("%zu PDFs a run, background %zu bytes, folder in %s%s\n", kRows,
              fixture.backgroundBytes, memory ? "memory (tmpfs)" : "a disk",
              memory || cacheEmptied ? "" : " (page cache kept between runs: not root)");
  std::printf(
      "floor a, plain writes of the same sizes: %.3f ms per PDF; b, a + SHA-256 of each: %.3f ms; "
      "c, b + one sync of the folder: %.3f ms; b', b with the shared beginning hashed once: "
      "%.3f ms\n",
      ms(floors.a), ms(floors.b), ms(floors.c), ms(floors.sharedB));
  std::printf(
      "--jobs 1: %.3f ms per PDF = %.2fx floor b (goal <= 1.15x on tmpfs), %.2fx floor c (goal "
      "<= 1.15x on a disk), %.2fx floor a, %.2fx floor b'\n",
      ms(one), one / floors.b, one / floors.c, one / floors.a, one / floors.sharedB);
  std::printf(
      "--jobs 2: %.3f ms per PDF, %.2fx as fast as --jobs 1 (goal >= 1.8x where a core "
      "is free)\n",
      ms(two), one / two);
  std::printf(
      "card with a QR code of a vCard per row, --jobs 1: %.3f ms per PDF, %.2fx the card "
      "without it (goal <= 1.2x)\n",
      ms(code), code / one);
  std::printf(
      "names beyond Windows-1252, --jobs 1: %.3f ms per PDF, %.2fx the German run (goal <= "
      "1.15x)\n",
      ms(world), world / one);
  std::printf(
      "largest PDF: %ju bytes = background + %jd bytes; with embedded fonts %+jd bytes (goal <= "
      "+30 KB)\n",
      largest,
      static_cast<std::intmax_t>(largest) - static_cast<std::intmax_t>(fixture.backgroundBytes),
      static_cast<std::intmax_t>(largestWorld) - static_cast<std::intmax_t>(largest));
  if (!PrintOnePdfRun(folder) || !PrintOnePdfPeakRss(folder)) return 1;
  const long rssSmall = PeakRssOfRun(10000, folder / "rss10000");
  const long rssLarge = PeakRssOfRun(1000000, folder / "rss1000000");
  std::printf(
      "peak RSS, named by column, last 10 rows: %ld KiB of 10,000 rows, %ld KiB of 1,000,000 "
      "rows (%+.1f %%; goal: flat, <= +10 %%)\n",
      rssSmall, rssLarge, rssSmall > 0 ? 100.0 * (rssLarge - rssSmall) / rssSmall : 0.0);
  const bool thumbnailDone = PrintThumbnail(fixture);
  fs::remove_all(folder);
  return thumbnailDone ? 0 : 1;
}
