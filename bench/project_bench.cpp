// Opening, saving and exporting a 200 MB project (100 pages, each with its own 2 MB background
// picture), against reading and writing the same bytes with cat; then the batch tool's export
// and info of it as whole runs, with their peak memory against the project's size. Prints each
// ratio with its goal.
// Run: build/bin/bench_project [--only open|save|export|batch] [--keep]
// --only runs that measurement alone (besides the cat floors), for a profiler; --keep keeps the
// project and reuses it on the next run (as QUIRABEL_BENCH_KEEP=1 keeps it).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/application.h"
#include "base/atomic_file.h"
#include "designer/document_window.h"
#include "graphics/jpeg.h"
#include "quiet_platform.h"

extern char** environ;

namespace {

using namespace quirabel;
using SteadyClock = std::chrono::steady_clock;

using bench::QuietPlatform;

// A noisy picture compresses badly: about 2 MB at this size and quality.
std::string NoiseJpeg(std::uint32_t seed) {
  graphics::Bitmap noise(1400, 1000, graphics::PixelFormat::pf24bit);
  for (int y = 0; y < noise.Height(); ++y) {
    std::uint8_t* row = noise.Row(y);
    for (std::size_t i = 0; i < noise.Stride(); ++i) {
      seed = seed * 1664525u + 1013904223u;
      row[i] = static_cast<std::uint8_t>(seed >> 24);
    }
  }
  return graphics::EncodeJpeg(noise, 97);
}

// A run of the batch tool as a child process: its wall time and its peak memory.
struct ChildRun {
  double seconds = 0;
  double peakMegabytes = 0;
};

ChildRun RunBatch(const std::filesystem::path& tool, const std::vector<std::string>& args,
                  const std::filesystem::path& home) {
  // Spawned as a shell starts it, without copying this process's large memory first (a fork
  // would, and its cost is not the tool's; `cat` is started the same way).
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (!std::string_view(*entry).starts_with("QUIRABEL_HOME=")) environment.emplace_back(*entry);
  environment.push_back("QUIRABEL_HOME=" + home.string());
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<char*> argv{const_cast<char*>(tool.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

  const auto start = SteadyClock::now();
  pid_t child = 0;
  const int spawned =
      posix_spawn(&child, tool.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  struct rusage usage {};
  if (spawned == 0) ::wait4(child, &status, 0, &usage);
  ChildRun run;
  run.seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
  run.peakMegabytes = static_cast<double>(usage.ru_maxrss) * 1024 / 1e6;  // kilobytes on Linux
  if (spawned != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed: %s %s\n", tool.c_str(), args.front().c_str());
    std::exit(1);
  }
  return run;
}

// The median time and the largest peak of three runs.
ChildRun RunBatchThrice(const std::filesystem::path& tool, const std::vector<std::string>& args,
                        const std::filesystem::path& home) {
  std::vector<ChildRun> runs;
  for (int i = 0; i < 3; ++i) runs.push_back(RunBatch(tool, args, home));
  std::sort(runs.begin(), runs.end(),
            [](const ChildRun& a, const ChildRun& b) { return a.seconds < b.seconds; });
  ChildRun result = runs[1];
  for (const ChildRun& run : runs)
    result.peakMegabytes = std::max(result.peakMegabytes, run.peakMegabytes);
  return result;
}

double Seconds(const std::function<void()>& work, int runs = 3) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = SteadyClock::now();
    work();
    times.push_back(std::chrono::duration<double>(SteadyClock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string only;
  bool keep = std::getenv("QUIRABEL_BENCH_KEEP") != nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else if (arg == "--keep") {
      keep = true;
    } else {
      std::fprintf(stderr, "usage: bench_project [--only open|save|export|batch] [--keep]\n");
      return 2;
    }
  }
  const auto runs = [&](std::string_view name) { return only.empty() || only == name; };

  const auto dir = std::filesystem::temp_directory_path() / "quirabel_project_bench";
  const auto project = dir / "gross.kxp";
  const bool reuse = keep && std::filesystem::exists(project);
  if (!reuse) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }

  if (!reuse) {
    QuietPlatform platform;
    app::Application application(platform, dir.string());
    application.NewDocument(designer::DinFormat(designer::DinSize::A4, false));
    designer::DocumentWindow& window = *application.DocumentWindow();
    designer::ProjectState& state = application.State();
    for (int page = 1; page <= 100; ++page) {
      window.ClearPage();
      window.Page().SetDocumentId("BImage0" + std::to_string(1000 + page));
      window.InitDocument();
      const auto picture = dir / "hintergrund.jpg";
      WriteFileAtomic(picture, NoiseJpeg(static_cast<std::uint32_t>(page)));
      window.LoadBackgroundPicture(picture);
      auto& label =
          static_cast<report::TPRLabel&>(window.Page().CreateElement(designer::ElementKind::Label));
      label.SetCaption("Seite " + std::to_string(page));
      state.currentPage = page;
      window.Page().StoreCurrentPage();
    }
    state.pageCount = 100;
    application.SaveProjectTo(project.string());
  }
  const double megabytes = static_cast<double>(std::filesystem::file_size(project)) / 1e6;

  const double catRead = Seconds([&] { Shell("cat '" + project.string() + "' > /dev/null"); });
  // Our writes reach the disk before they replace a file (fsync, then rename); cat's are measured
  // with the same promise kept.
  const double catWrite = Seconds([&] {
    const std::string copy = (dir / "kopie.kxp").string();
    Shell("cat '" + project.string() + "' > '" + copy + "' && sync '" + copy + "'");
  });

  // The batch tool beside this program, as a person runs it: whole runs, start to exit. They run
  // while this process is still small, since a child's peak memory counts what it had from this
  // process until its exec.
  const auto tool =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "quirabel-batch";
  const bool haveTool = std::filesystem::exists(tool) && runs("batch");
  ChildRun exported, info, startUp;
  if (haveTool) {
    const auto home = dir / "home";
    std::filesystem::create_directories(home);
    // What every run of the tool costs before it opens anything: loading it and its libraries.
    startUp = RunBatchThrice(tool, {"--version"}, home);
    exported = RunBatchThrice(
        tool, {"export", project.string(), "-o", (dir / "batch.pdf").string()}, home);
    info = RunBatchThrice(tool, {"info", project.string()}, home);
  }

  QuietPlatform platform;
  // Each open starts in a fresh application, as when the designer starts with a project.
  const double open = !runs("open") ? 0 : Seconds([&] {
    app::Application fresh(platform, dir.string());
    fresh.OpenProject(project);
  });
  app::Application application(platform, dir.string());
  application.OpenProject(project);
  const double save =
      !runs("save") ? 0
                    : Seconds([&] { application.SaveProjectTo((dir / "wieder.kxp").string()); });
  const double exportPdf =
      !runs("export") ? 0 : Seconds([&] { application.ExportPdfTo((dir / "gross.pdf").string()); });
  const double pdfMegabytes =
      !runs("export") ? 0
                      : static_cast<double>(std::filesystem::file_size(dir / "gross.pdf")) / 1e6;

  std::printf("project: %.1f MB, 100 pages; PDF: %.1f MB\n", megabytes, pdfMegabytes);
  std::printf("cat read   %7.3f s\ncat write  %7.3f s\n", catRead, catWrite);
  if (runs("open"))
    std::printf("open       %7.3f s  ratio to cat read  %.2f (goal <= 2)\n", open, open / catRead);
  if (runs("save"))
    std::printf("save       %7.3f s  ratio to cat write %.2f (goal < 2)\n", save, save / catWrite);
  // An export also writes a file as large as the project, which a cat read does not.
  if (runs("export"))
    std::printf("export     %7.3f s  ratio to cat read + cat write %.2f (goal <= 1.2)\n", exportPdf,
                exportPdf / (catRead + catWrite));

  if (haveTool) {
    std::printf("batch export %7.3f s  ratio to cat read + cat write %.2f (goal <= 1.2)\n",
                exported.seconds, exported.seconds / (catRead + catWrite));
    std::printf("batch export peak %6.1f MB  ratio to the project %.2f (goal <= 1.5)\n",
                exported.peakMegabytes, exported.peakMegabytes / megabytes);
    std::printf("batch info   %7.3f s  ratio to cat read  %.2f (goal <= 3)\n", info.seconds,
                info.seconds / catRead);
    std::printf("batch start-up %5.3f s  (--version; part of every batch run above)\n",
                startUp.seconds);
    std::printf("batch info peak   %6.1f MB  ratio to the project %.2f (goal <= 1.2)\n",
                info.peakMegabytes, info.peakMegabytes / megabytes);
  } else if (runs("batch")) {
    std::printf("batch tool not found beside the benchmark: %s\n", tool.c_str());
  }
  if (!keep) std::filesystem::remove_all(dir);
  return 0;
}
