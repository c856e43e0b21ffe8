#include "app/file_association.h"

#include "base/atomic_file.h"

namespace quirabel::app {

namespace {

// Exec lines quote paths with blanks; a few characters need a backslash inside quotes.
std::string DesktopQuoted(const std::string& path) {
  std::string out = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

void WriteFileAssociation(const std::filesystem::path& dataHome, const std::string& programPath) {
  const auto applications = dataHome / "applications";
  const auto packages = dataHome / "mime" / "packages";
  std::filesystem::create_directories(applications);
  std::filesystem::create_directories(packages);
  WriteFileAtomic(applications / "quirabel.desktop",
                  "[Desktop Entry]\n"
                  "Type=Application\n"
                  "Name=Quirabel\n"
                  "Comment=Visitenkarten, Flyer und Faltkarten gestalten und als PDF ausgeben\n"
                  "Exec=" +
                      DesktopQuoted(programPath) +
                      " %f\n"
                      "Icon=quirabel\n"
                      "Terminal=false\n"
                      "Categories=Office;Graphics;Publishing;\n"
                      "MimeType=" +
                      std::string(kProjectMimeType) + ";\n");
  WriteFileAtomic(packages / "quirabel.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                  "  <mime-type type=\"" +
                      std::string(kProjectMimeType) +
                      "\">\n"
                      "    <comment>Quirabel-Projekt</comment>\n"
                      "    <glob pattern=\"*.kxp\"/>\n"
                      "  </mime-type>\n"
                      "</mime-info>\n");
}

}  // namespace quirabel::app
