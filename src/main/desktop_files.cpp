// quirabel-desktop-files SHARE: writes what a desktop needs to offer the installed designer, below
// the data folder SHARE (an installation's share/): the desktop entry that opens ".kxp" projects,
// their MIME type and the program's icon. The build runs it for the install rules; the entry and
// the MIME type are the ones the designer writes for its user at every start.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string_view>

#include "app/file_association.h"
#include "base/atomic_file.h"
#include "main/icons.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Aufruf: quirabel-desktop-files ZIELORDNER\n");
    return 2;
  }
  try {
    const std::filesystem::path share = argv[1];
    // Installed on the PATH, the designer is found by its name.
    quirabel::app::WriteFileAssociation(share, "quirabel");
    const auto icons = share / "icons" / "hicolor" / "scalable" / "apps";
    std::filesystem::create_directories(icons);
    const QByteArray svg = quirabel::main::ToolIconSvg(QStringLiteral("app"));
    quirabel::WriteFileAtomic(icons / "quirabel.svg",
                              std::string_view(svg.constData(), svg.size()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quirabel-desktop-files: %s\n", e.what());
    return 1;
  }
  return 0;
}
