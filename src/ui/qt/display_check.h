#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quirabel::ui::qt {

// "--help" (or "-h") and "--version" as the first argument, answered on standard output before Qt
// starts, so that no display is needed: true when answered (the program then ends with 0).
inline bool AnswerHelpOrVersion(int argc, char** argv, const char* usage, const char* version) {
  if (argc < 2) return false;
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(usage, stdout);
    return true;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::fputs(version, stdout);
    return true;
  }
  return false;
}

// Whether a windowed program cannot open its windows: neither a display (X11 or Wayland) nor a
// platform of Qt's own chosen (QT_QPA_PLATFORM, -platform). Without one Qt would stop the program
// with an English message; this says it in the program's words on standard error instead, naming
// the batch tool. Call before Qt starts.
inline bool ReportMissingDisplay(const char* program, int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
      return false;
  }
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return false;
  }
  std::fprintf(stderr,
               "%s: kein Bildschirm (weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt). Ohne "
               "Bildschirm erledigt quirabel-batch dieselben Arbeiten.\n",
               program);
  return true;
}

}  // namespace quirabel::ui::qt
