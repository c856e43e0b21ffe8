#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "ui/platform.h"

namespace quirabel::online {

// What the version file of the product web server tells: "<version>", the version,
// "</version>", "<link>", the download address, "</link>", and a free description to the end.
struct VersionFile {
  std::string version;
  std::string downloadAddress;
  std::string description;
};

// Whether the file names this program's version ("<version>2.2</version>" anywhere in it).
bool NamesThisVersion(std::string_view text);
// The file cut at its markers; a part whose markers are missing is empty.
VersionFile ReadVersionFile(std::string_view text);

// "Update Infos" without a screen: the description of a newer version and where to get it.
class UpdateWindow {
 public:
  explicit UpdateWindow(ui::Platform& platform) : platform_(platform) {}

  // Memo1, line by line: "New Version: …", "Download from:: …", "Description: ", the description.
  std::string description;
  // The download address of the last check.
  std::string downloadAddress;
  bool visible = false;
  // The screen follows the window's texts and visibility.
  std::function<void()> OnChange;

  // Fills the window from a version file and shows it.
  void ShowVersion(const VersionFile& file);
  // "Zum Download (Online)": the download page in the web browser. Only an http or https address
  // is opened; anything else (a file, a program) is shown, never started.
  void DownloadClick();
  // "Schließen".
  void CloseClick();

 private:
  ui::Platform& platform_;
};

inline constexpr const char* kNoDownloadAddress = "Die Versionsdatei nennt keine Download-Adresse.";
inline constexpr const char* kNotAWebAddress =
    "Die Download-Adresse ist keine Webadresse (http:// oder https://) und wird nicht geöffnet:\n";
inline constexpr const char* kNoBrowser =
    "Die Seite konnte nicht im Web-Browser geöffnet werden:\n";

}  // namespace quirabel::online
