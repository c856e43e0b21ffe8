#include "app/program_folder.h"

#include <cstdlib>

#include <system_error>
#include <utility>

#include "base/atomic_file.h"

namespace quirabel::app {

namespace {

constexpr const char* kHelpPage = R"(<!DOCTYPE html>
<html lang="de">
<head><meta charset="utf-8"><title>Quirabel – Hilfe und Hinweise</title></head>
<body>
<h1>Quirabel – Hilfe und Hinweise</h1>
<p>Mit Quirabel gestalten Sie Visitenkarten, Flyer und Faltkarten und geben sie als PDF aus.</p>
<h2>Ein neues Dokument</h2>
<p>Wählen Sie <b>Datei → Neu</b>, dann ein DIN-Format (A4, A5, A6, hoch oder quer) oder freie
Maße in Millimetern, und drücken Sie <b>Dokument erstellen...</b>.</p>
<h2>Elemente</h2>
<ul>
<li><b>Textzeile</b>, <b>Textfeld</b> oder <b>Rechteck</b> wählen und auf die Seite klicken: das
Element entsteht an dieser Stelle.</li>
<li><b>Bild</b> fügt ein BMP-, JPG-, GIF- oder PNG-Bild ein; zu große Bilder werden verkleinert.</li>
<li>Elemente mit der Maus verschieben; mit den vier Anfassern an den Ecken die Größe ändern.
<b>Rasterhilfe</b> hält Text und Rechtecke im 5-Pixel-Raster.</li>
<li>Ein Rechtsklick auf ein Element öffnet sein Menü: löschen, in den Vordergrund.</li>
</ul>
<h2>Hintergrund</h2>
<p><b>Hintergrundfarbe</b> oder <b>Hintergrundbild</b> legen den Hintergrund der Seite fest.</p>
<h2>Speichern und PDF</h2>
<p><b>Speichern</b> schreibt das Projekt als <code>.kxp</code>-Datei. <b>Als PDF speichern</b>
schreibt alle Seiten in eine PDF-Datei, <b>Vorschau</b> zeigt sie vorher an.</p>
<p>Ohne Bildschirm erledigt <code>quirabel-batch</code> dieselben Aufgaben, zum Beispiel
<code>quirabel-batch export karte.kxp -o karte.pdf</code>.</p>
</body>
</html>
)";

}  // namespace

std::filesystem::path ProgramFolderPath() {
  if (const char* home = std::getenv("QUIRABEL_HOME"); home != nullptr && *home != '\0')
    return home;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/')
    return std::filesystem::path(data) / "quirabel";
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return std::filesystem::path(home) / ".local/share/quirabel";
  return ".";
}

void SeedProgramFolder(const std::filesystem::path& folder) {
  for (const char* sub : {"vorlagen", "csv_db", "mailer", "help"}) {
    std::filesystem::create_directories(folder / sub);
  }
  if (!std::filesystem::exists(folder / "vorlagen" / "FilesDB.dat")) {
    WriteFileAtomic(folder / "vorlagen" / "FilesDB.dat", "");
  }
  WriteFileAtomic(folder / "help" / "start.html", kHelpPage);
}

void LinkSiblingTools(const std::filesystem::path& folder, const std::filesystem::path& programs) {
  const std::pair<const char*, const char*> tools[] = {{"csv_db/tabrix", "quirabel-link"},
                                                       {"mailer/posdex", "quirabel-mail"}};
  for (const auto& [entry, program] : tools) {
    std::error_code error;
    const std::filesystem::path link = folder / entry;
    const std::filesystem::path target = programs / program;
    if (!std::filesystem::exists(target, error)) continue;
    const auto status = std::filesystem::symlink_status(link, error);
    if (std::filesystem::exists(status) || status.type() == std::filesystem::file_type::symlink) {
      if (!std::filesystem::is_symlink(status)) continue;
      std::filesystem::remove(link, error);
    }
    std::filesystem::create_directories(link.parent_path(), error);
    std::filesystem::create_symlink(target, link, error);
  }
}

}  // namespace quirabel::app
