#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quirabel {

// Parts of the programs that need a heavy library of their own (sending mail, drawing a PDF page
// into pixels) are modules, opened on first use, so that every other command starts without
// loading that library. A module is a shared object with one entry function; it lies beside the
// program: in the package's private folder (QUIRABEL_MODULE_DIR below the program's folder), or
// where the build puts it. A module is never closed.

// The folders searched for modules, in order: the installed one, then the build tree's.
std::vector<std::filesystem::path> ModuleFolders();

// An opened module's entry, or why there is none: `problem` is a German sentence for the user
// ("Das Modul … fehlt …"), empty when `entry` is set.
struct ModuleEntry {
  void* entry = nullptr;
  std::filesystem::path file;  // the module file that was tried last
  std::string problem;
};

// Opens the first `fileName` found in `folders` (RTLD_NOW | RTLD_LOCAL, so that neither its
// library's names nor ours mix) and looks up the function `entryName` in it.
ModuleEntry OpenModule(const std::vector<std::filesystem::path>& folders,
                       const std::string& fileName, const char* entryName);

// A module's table of functions (a struct whose first member is `int abi`), got from its entry
// function `const Table* entry()`, or why there is none. Meant to be kept in a function's static,
// so that the module is opened once, on first use.
template <typename Table>
struct ModuleTable {
  const Table* table = nullptr;
  std::string problem;  // a German sentence without its full stop; empty when `table` is set
};

template <typename Table>
ModuleTable<Table> OpenModuleTable(const std::string& fileName, const char* entryName, int abi) {
  ModuleTable<Table> result;
  const ModuleEntry opened = OpenModule(ModuleFolders(), fileName, entryName);
  if (opened.entry == nullptr) {
    result.problem = opened.problem;
    return result;
  }
  const Table* table = reinterpret_cast<const Table* (*)()>(opened.entry)();
  if (table == nullptr || table->abi != abi) {
    result.problem = "Das Modul " + opened.file.string() + " passt nicht zu diesem Programm";
    return result;
  }
  result.table = table;
  return result;
}

}  // namespace quirabel
