#include "dialogs/template_folder.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "base/atomic_file.h"
#include "base/cp1252.h"
#include "base/user_error.h"

namespace quirabel::dialogs {

namespace {

constexpr std::size_t kMaxNameBytes = 100;
// An index of a few thousand templates stays far below this.
constexpr std::size_t kMaxIndexBytes = 16 * 1024 * 1024;

bool SameFolderName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

TemplateFolder::TemplateFolder(std::filesystem::path programFolder)
    : programFolder_(std::move(programFolder)) {}

std::vector<TemplateEntry> TemplateFolder::ReadIndex() const {
  std::error_code error;
  if (!std::filesystem::exists(IndexFile(), error)) {
    std::filesystem::create_directories(Folder(), error);
    if (error) throw FileError("mkdir", Folder(), error.value());
    WriteFileAtomic(IndexFile(), "");
  }
  const std::string bytes = ReadFile(IndexFile(), kMaxIndexBytes);
  std::vector<TemplateEntry> entries;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string_view line(bytes.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    if (line.empty()) continue;
    const std::size_t tilde = line.find('~');
    TemplateEntry entry;
    if (tilde == std::string_view::npos) {
      entry.path = Cp1252ToUtf8(line);
    } else {
      entry.name = Cp1252ToUtf8(line.substr(0, tilde));
      entry.path = Cp1252ToUtf8(line.substr(tilde + 1));
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

void TemplateFolder::WriteIndex(const std::vector<TemplateEntry>& entries) const {
  std::error_code error;
  std::filesystem::create_directories(Folder(), error);
  std::string bytes;
  for (const TemplateEntry& e : entries) {
    bytes += Utf8ToCp1252(e.name);
    bytes += '~';
    bytes += Utf8ToCp1252(e.path);
    bytes += "\r\n";
  }
  WriteFileAtomic(IndexFile(), bytes);
}

std::optional<std::string> TemplateFolder::NameProblem(const std::string& name) {
  if (name.empty() || std::all_of(name.begin(), name.end(), [](char c) { return c == ' '; }))
    return "Bitte geben Sie einen Namen für die Vorlage ein.";
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
    return "Der Name der Vorlage darf weder „/“ noch „\\“ enthalten.";
  if (name == "." || name == "..") return "„" + name + "“ ist kein gültiger Name für eine Vorlage.";
  if (std::any_of(name.begin(), name.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
    return "Der Name der Vorlage darf keine Steuerzeichen enthalten.";
  // "~" would split the index line at the wrong place.
  if (name.find('~') != std::string::npos) return "Der Name der Vorlage darf kein „~“ enthalten.";
  if (Utf8ToCp1252(name).size() > kMaxNameBytes)
    return "Der Name der Vorlage ist zu lang (höchstens " + std::to_string(kMaxNameBytes) +
           " Zeichen).";
  return std::nullopt;
}

std::filesystem::path TemplateFolder::FileFor(const std::string& name) const {
  std::string file = name;
  std::replace(file.begin(), file.end(), ' ', '_');
  return Folder() / (file + ".kxp");
}

std::optional<std::filesystem::path> TemplateFolder::Resolve(const std::string& indexPath) const {
  // The last two parts of the path, whichever separator it uses: the folder must be the
  // template folder, the file is looked for in ours.
  const std::size_t last = indexPath.find_last_of("/\\");
  if (last == std::string::npos) return std::nullopt;
  const std::string file = indexPath.substr(last + 1);
  const std::string parentPath = indexPath.substr(0, last);
  const std::size_t before = parentPath.find_last_of("/\\");
  const std::string parent =
      before == std::string::npos ? parentPath : parentPath.substr(before + 1);
  if (!SameFolderName(parent, "vorlagen") || file.empty() || file == "." || file == ".." ||
      std::any_of(file.begin(), file.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
    return std::nullopt;
  }
  return Folder() / file;
}

void TemplateFolder::Save(const std::string& name, std::string_view pageText) const {
  std::vector<TemplateEntry> entries = ReadIndex();
  const std::filesystem::path file = FileFor(name);
  WriteFileAtomic(file, pageText);
  // One line per file: a template saved again under its name takes its old line's place.
  TemplateEntry entry{name, file.string()};
  const auto same = std::find_if(entries.begin(), entries.end(), [&](const TemplateEntry& e) {
    const std::optional<std::filesystem::path> existing = Resolve(e.path);
    return existing && *existing == file;
  });
  if (same != entries.end()) {
    *same = entry;
  } else {
    entries.push_back(entry);
  }
  WriteIndex(entries);
}

DeleteTemplatesWindow::DeleteTemplatesWindow(ui::Component* owner) : ui::TForm(owner) {
  SetName("Form23_2");
  SetCaption("Vorlagen löschen");
  SetToolWindow(true);
  SetPosition(ui::TFormPosition::poScreenCenter);
  SetBounds(0, 0, 330, 250);
  templateList = new ui::TListBox(this);
  templateList->SetName("ListBox1");
  templateList->SetBounds(10, 10, 210, 230);
  templateList->SetParent(this);
  deleteButton = new ui::TButton(this);
  deleteButton->SetName("Button1");
  deleteButton->SetCaption("<- löschen");
  deleteButton->SetBounds(230, 10, 90, 28);
  deleteButton->SetParent(this);
  deleteButton->OnClick = [this](ui::Control&) { DeleteClick(); };
  endButton = new ui::TButton(this);
  endButton->SetName("Button2");
  endButton->SetCaption("Ende");
  endButton->SetBounds(230, 212, 90, 28);
  endButton->SetParent(this);
  endButton->OnClick = [this](ui::Control&) { EndClick(); };
}

void DeleteTemplatesWindow::Open(const std::filesystem::path& programFolder) {
  folder_.emplace(programFolder);
  try {
    entries_ = folder_->ReadIndex();
  } catch (const FileError& e) {
    throw UserError("Das Verzeichnis der Vorlagen kann nicht gelesen werden. " + e.Reason());
  }
  std::vector<std::string> names;
  for (const TemplateEntry& e : entries_) names.push_back(e.name);
  templateList->SetItems(std::move(names));
  Show();
}

void DeleteTemplatesWindow::DeleteClick() {
  const int index = templateList->ItemIndex();
  if (!folder_ || index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return;
  const TemplateEntry& entry = entries_[static_cast<std::size_t>(index)];
  if (const std::optional<std::filesystem::path> file = folder_->Resolve(entry.path)) {
    std::error_code error;
    std::filesystem::remove(*file, error);  // a file that is gone already is no failure
  }
  // A path that leads outside the template folder is not deleted; its line goes all the same.
  entries_.erase(entries_.begin() + index);
  templateList->DeleteItem(index);
}

void DeleteTemplatesWindow::EndClick() {
  if (folder_) {
    try {
      folder_->WriteIndex(entries_);
    } catch (const FileError& e) {
      // The window stays open for another try.
      throw UserError("Das Verzeichnis der Vorlagen kann nicht geschrieben werden. " + e.Reason());
    }
  }
  Hide();
}

}  // namespace quirabel::dialogs
