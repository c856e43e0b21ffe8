// quirabel-desktop-files SHARE: writes what a desktop needs to offer the installed designer, below
// the data folder SHARE (an installation's share/): the desktop entry that opens ".kxp" projects,
// their MIME type, and the icons of the program and of its files (scalable and 48 x 48, the icon
// theme's minimum size). The build runs it for the install rules.
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/file_association.h"
#include "base/atomic_file.h"
#include "main/icons.h"

namespace {

void WriteIcon(const std::filesystem::path& share, const char* kind, const QString& shape,
               const std::string& name) {
  const auto icons = share / "icons" / "hicolor";
  const QByteArray svg = quirabel::main::ToolIconSvg(shape);
  const QByteArray png = quirabel::main::ToolIconPng(shape, 48);
  if (svg.isEmpty() || png.isEmpty()) throw std::runtime_error("no icon " + shape.toStdString());
  std::filesystem::create_directories(icons / "scalable" / kind);
  std::filesystem::create_directories(icons / "48x48" / kind);
  quirabel::WriteFileAtomic(icons / "scalable" / kind / (name + ".svg"),
                            std::string_view(svg.constData(), svg.size()));
  quirabel::WriteFileAtomic(icons / "48x48" / kind / (name + ".png"),
                            std::string_view(png.constData(), png.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Aufruf: quirabel-desktop-files ZIELORDNER\n");
    return 2;
  }
  // The icons are drawn without a display.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  QGuiApplication qapp(qtArgc, argv);
  try {
    namespace app = quirabel::app;
    const std::filesystem::path share = argv[1];
    std::filesystem::create_directories(share / "applications");
    std::filesystem::create_directories(share / "mime" / "packages");
    quirabel::WriteFileAtomic(share / "applications" / (std::string(app::kDesktopId) + ".desktop"),
                              app::SystemDesktopEntry());
    quirabel::WriteFileAtomic(
        share / "mime" / "packages" / (std::string(app::kMimePackageName) + ".xml"),
        app::ProjectMimePackage());
    WriteIcon(share, "apps", QStringLiteral("app"), "quirabel");
    WriteIcon(share, "mimetypes", QStringLiteral("project"), app::kProjectIconName);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quirabel-desktop-files: %s\n", e.what());
    return 1;
  }
  return 0;
}
