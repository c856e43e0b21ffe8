#pragma once

#include <string>
#include <string_view>

#include "online/server_address.h"
#include "online/update_window.h"
#include "ui/platform.h"

namespace quirabel::online {

// Label2's captions ("Update && News!" in the window's design, where "&&" shows one ampersand).
inline constexpr const char* kNewsHeading = "Update & News!";
inline constexpr const char* kNewsHeadingClosed = "Update & News..";
inline constexpr const char* kNewsHeadingOnline = "Sind Sie gerade Online?";

inline constexpr const char* kNewsPath = "/kx20/newsindex.pl?";
inline constexpr const char* kVersionPath = "/version_kx.html";
inline constexpr const char* kUserAgent = "Mozilla/3.0 (compatible)";

inline constexpr const char* kInvalidAddressOrMessage =
    "Die E-Mail ist Adresse ungültig oder es ist keine Message vorhanden.";
inline constexpr const char* kNoConnection =
    "Die angeforderte Seite konnte nicht übertragen werden! Besteht eine Internetverbindung? "
    "Wenn ja versuchen Sie es bitte später noch einmal.";
inline constexpr const char* kNewestVersion = "Sie besitzen die aktuellste Version von Quirabel!";
inline constexpr const char* kVersionProgress = "Die Versionsinformationen werden abgerufen...";

// "eintragen " needs an address with at least 2 characters before its first "@" and 6 after it.
bool MailAddressAccepted(std::string_view address);

// The news page's address for a sign-up ("aktion=ein") or a removal ("aktion=aus") with the
// address and the message, both percent-encoded so that the server receives what was typed.
std::string NewsUrl(std::string_view server, bool signUp, std::string_view mailAddress,
                    std::string_view message);

// "Quirabel News, Meinungen und Vorschläge" without a screen: signing up for or leaving the
// newsletter, a message to the makers, and the version check.
class NewsWindow {
 public:
  NewsWindow(ui::Platform& platform, UpdateWindow& update) : platform_(platform), update_(update) {}

  std::string server = kDefaultServer;
  std::string heading = kNewsHeading;  // Label2
  bool signUp = true;                  // "eintragen ", else "austragen / nicht eintragen"
  std::string mailAddress;             // "Ihre EMail:"
  std::string message;                 // the opinion or suggestion

  // "Senden": the news page with the sign-up, removal or message in the web browser; false, with
  // the message why, when the address or the message is missing.
  bool SendClick();
  // "Nur die Version prüfen!": fetches the version file and tells whether this version is the
  // newest, or shows the update window.
  void CheckVersionClick();
  // The window was closed.
  void Closed();
  // The main window noticed that the machine went online.
  void OnlineNoticed();

 private:
  ui::Platform& platform_;
  UpdateWindow& update_;
};

}  // namespace quirabel::online
