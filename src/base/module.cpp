#include "base/module.h"

#include <dlfcn.h>

#include <string_view>
#include <system_error>

namespace quirabel {

namespace {

// The folder of the running program, whatever name it was started by.
std::filesystem::path ProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : program.parent_path();
}

}  // namespace

std::vector<std::filesystem::path> ModuleFolders() {
  std::vector<std::filesystem::path> folders;
  const std::filesystem::path program = ProgramFolder();
  if (program.empty()) return folders;
  for (const char* relative : {QUIRABEL_MODULE_DIR, QUIRABEL_BUILD_MODULE_DIR}) {
    const std::filesystem::path folder = (program / relative).lexically_normal();
    if (folders.empty() || folders.front() != folder) folders.push_back(folder);
  }
  return folders;
}

ModuleEntry OpenModule(const std::vector<std::filesystem::path>& folders,
                       const std::string& fileName, const char* entryName) {
  ModuleEntry result;
  std::string searched;
  for (const std::filesystem::path& folder : folders) {
    std::error_code error;
    const std::filesystem::path file = folder / fileName;
    if (!std::filesystem::exists(file, error)) {
      searched += (searched.empty() ? "" : ", ") + folder.string();
      continue;
    }
    result.file = file;
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr) {
      ::dlerror();
      result.entry = ::dlsym(handle, entryName);
      if (result.entry != nullptr) return result;
    }
    // The loader's reason names the file first; the sentence names it already.
    const char* reason = ::dlerror();
    std::string_view why = reason != nullptr ? reason : "unbekannter Fehler";
    if (why.starts_with(file.native() + ": ")) why.remove_prefix(file.native().size() + 2);
    result.problem = "Das Modul " + file.string() + " ist nicht ladbar: " + std::string(why);
    if (handle != nullptr) ::dlclose(handle);
    return result;
  }
  result.problem = "Das Modul " + fileName + " fehlt (gesucht in " +
                   (searched.empty() ? std::string("keinem Ordner") : searched) + ")";
  return result;
}

}  // namespace quirabel
