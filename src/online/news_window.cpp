#include "online/news_window.h"

#include "base/cp1252.h"
#include "online/web_address.h"

namespace quirabel::online {

namespace {

// Characters, not bytes: an umlaut counts once.
std::size_t CharacterCount(std::string_view utf8) {
  std::size_t count = 0;
  for (char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace

bool MailAddressAccepted(std::string_view address) {
  const auto at = address.find('@');
  if (at == std::string_view::npos) return false;
  return CharacterCount(address.substr(0, at)) >= 2 && CharacterCount(address.substr(at + 1)) >= 6;
}

std::string NewsUrl(std::string_view server, bool signUp, std::string_view mailAddress,
                    std::string_view message) {
  return std::string(server) + kNewsPath + (signUp ? "aktion=ein" : "aktion=aus") +
         "&mail=" + PercentEncode(mailAddress) + "&text=" + PercentEncode(message);
}

bool NewsWindow::SendClick() {
  const bool addressMissing = signUp ? !MailAddressAccepted(mailAddress) : false;
  const bool nothingToSend = message.empty() && mailAddress.empty();
  if (addressMissing || nothingToSend) {
    platform_.ShowMessage(kInvalidAddressOrMessage);
    return false;
  }
  const std::string url = NewsUrl(server, signUp, mailAddress, message);
  if (!platform_.OpenUrl(url)) {
    platform_.ShowMessage(kNoBrowser + url);
    return false;
  }
  return true;
}

void NewsWindow::CheckVersionClick() {
  ui::FetchRequest request;
  request.url = server + kVersionPath;
  request.userAgent = kUserAgent;
  request.progressText = kVersionProgress;
  const ui::FetchResult answer = platform_.Fetch(request);
  if (answer.outcome == ui::FetchResult::Outcome::Cancelled) return;
  // Only a whole answer with a success status is the version file: an error page, a cut or an
  // oversized answer is no news of a version.
  if (!answer.Succeeded()) {
    platform_.ShowMessage(kNoConnection);
    return;
  }
  // The file is written in UTF-8 or, as it always was, in Windows-1252.
  const std::string text = IsUtf8(answer.body) ? answer.body : Cp1252ToUtf8(answer.body);
  if (NamesThisVersion(text)) {
    platform_.ShowMessage(kNewestVersion);
    return;
  }
  const VersionFile file = ReadVersionFile(text);
  // A page that names no version (a network's sign-in page, say) is not the version file.
  if (file.version.empty()) {
    platform_.ShowMessage(kNoConnection);
    return;
  }
  update_.ShowVersion(file);
}

void NewsWindow::Closed() { heading = kNewsHeadingClosed; }

void NewsWindow::OnlineNoticed() { heading = kNewsHeadingOnline; }

}  // namespace quirabel::online
