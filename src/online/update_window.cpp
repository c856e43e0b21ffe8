#include "online/update_window.h"

#include "base/split.h"
#include "base/version.h"
#include "online/web_address.h"

namespace quirabel::online {

bool NamesThisVersion(std::string_view text) {
  return text.find("<version>" QUIRABEL_VERSION "</version>") != std::string_view::npos;
}

VersionFile ReadVersionFile(std::string_view text) {
  // A part counts only between both of its markers, in their order: a closing marker that is
  // missing would otherwise make the whole rest of the file the version or the address.
  VersionFile file;
  const SplitAt afterVersion = SplitAtFirst(text, "<version>");
  const SplitAt version = SplitAtFirst(afterVersion.after, "</version>");
  if (!afterVersion.found || !version.found) return file;
  file.version = version.before;
  const SplitAt afterLink = SplitAtFirst(version.after, "<link>");
  const SplitAt link = SplitAtFirst(afterLink.after, "</link>");
  if (!afterLink.found || !link.found) return file;
  file.downloadAddress = link.before;
  file.description = link.after;
  return file;
}

void UpdateWindow::ShowVersion(const VersionFile& file) {
  description = "New Version: " + file.version + "\nDownload from:: " + file.downloadAddress +
                "\nDescription: \n" + file.description;
  downloadAddress = file.downloadAddress;
  visible = true;
  if (OnChange) OnChange();
}

void UpdateWindow::DownloadClick() {
  // Blanks and line breaks around the address are the file's layout, not part of it.
  const auto first = downloadAddress.find_first_not_of(" \t\r\n");
  const auto last = downloadAddress.find_last_not_of(" \t\r\n");
  const std::string address =
      first == std::string::npos ? "" : downloadAddress.substr(first, last - first + 1);
  if (address.empty()) {
    platform_.ShowMessage(kNoDownloadAddress);
  } else if (!IsWebAddress(address)) {
    platform_.ShowMessage(kNotAWebAddress + address);
  } else if (!platform_.OpenUrl(address)) {
    platform_.ShowMessage(kNoBrowser + address);
  }
}

void UpdateWindow::CloseClick() {
  visible = false;
  if (OnChange) OnChange();
}

}  // namespace quirabel::online
