#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/input_controls.h"

namespace quirabel::dialogs {

// One line of the template index: the name shown to the person and the path of the file, both
// UTF-8 here (Windows-1252 in the file).
struct TemplateEntry {
  std::string name;
  std::string path;
  friend bool operator==(const TemplateEntry&, const TemplateEntry&) = default;
};

// The template folder "vorlagen" in the program folder with its index "FilesDB.dat": one line
// per template, "name~path", CR LF, in the order the templates were added. Index and templates
// are written atomically; a missing folder or index is made empty on first use.
class TemplateFolder {
 public:
  explicit TemplateFolder(std::filesystem::path programFolder);

  std::filesystem::path Folder() const { return programFolder_ / "vorlagen"; }
  std::filesystem::path IndexFile() const { return Folder() / "FilesDB.dat"; }

  // The index; FileError when it cannot be read or made.
  std::vector<TemplateEntry> ReadIndex() const;
  void WriteIndex(const std::vector<TemplateEntry>& entries) const;

  // Why a typed name cannot name a template file, in the person's words; none when it can.
  static std::optional<std::string> NameProblem(const std::string& name);
  // The file a typed name is saved to: spaces become "_", ".kxp" is added.
  std::filesystem::path FileFor(const std::string& name) const;
  // The file an index path names, found by its name in the template folder (index lines written
  // on Windows carry "C:\...\vorlagen\Name.kxp"). None for a path that leads elsewhere.
  std::optional<std::filesystem::path> Resolve(const std::string& indexPath) const;

  // Writes a page text as the template of a name and indexes it, replacing the line of a
  // template with the same file. FileError when the file cannot be written (the index is then
  // unchanged).
  void Save(const std::string& name, std::string_view pageText) const;

 private:
  std::filesystem::path programFolder_;
};

// "Vorlagen löschen": the templates by name; "<- löschen" deletes the selected one's file and
// line, "Ende" writes the index back and hides the window.
class DeleteTemplatesWindow : public ui::TForm {
 public:
  explicit DeleteTemplatesWindow(ui::Component* owner);
  std::string ClassName() const override { return "DeleteTemplatesWindow"; }

  ui::TListBox* templateList;
  ui::TButton* deleteButton;  // "<- löschen"
  ui::TButton* endButton;     // "Ende"

  // Reads the index into the list and shows the window; a UserError when the index cannot be
  // read ("Ende" throws one when it cannot be written, and the window stays).
  void Open(const std::filesystem::path& programFolder);
  void DeleteClick();
  void EndClick();

 private:
  std::optional<TemplateFolder> folder_;
  std::vector<TemplateEntry> entries_;
};

}  // namespace quirabel::dialogs
