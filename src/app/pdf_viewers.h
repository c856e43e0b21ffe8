#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quirabel::app {

// The programs of this desktop that open PDF files: the names of the desktop entries in
// "applications" of the data folders (the user's first, then the system's) whose MimeType
// lists application/pdf. The German name is taken where the entry has one; an entry the first
// folder that has its id hides ("Hidden=true") or that is not for PDF there counts for none. In
// the order of the folders, then of the ids; no name twice.
std::vector<std::string> InstalledPdfViewers(const std::vector<std::filesystem::path>& dataFolders);

}  // namespace quirabel::app
