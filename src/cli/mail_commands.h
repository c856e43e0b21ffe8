#pragma once

#include <string>
#include <utility>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace quirabel::cli {

// `mail`: what the command line asks for.
struct MailCall {
  std::vector<std::string> files;  // DATEI.csv ORDNER
  std::string column;
  std::string prefix;
  std::string toColumn;
  std::string subject;
  std::string textFile;
  std::string separator;
  std::string eml;
  bool resend = false;
  bool resendUncertain = false;
  bool uncertainAsSent = false;
  bool unlisted = false;
  bool quiet = false;  // no progress line
  std::string server;  // HOST[:PORT]
  std::string security;
  std::string from;
  std::string fromName;
  bool fromNameGiven = false;
  std::string user;
};

// The options of `mail` on its command, with the complaint for each whose value is missing.
void AddMailOptions(CLI::App& command, MailCall& call,
                    std::vector<std::pair<const CLI::Option*, std::string>>& missingValueTexts);

// Sends (or with --eml writes) the mails. Raises std::invalid_argument for a wrong call; gives
// kExitFailed when any row failed, any mail is uncertain, or the run stopped (another run holds
// the folder, Ctrl+C or SIGTERM), kExitOk otherwise. The password comes from
// QUIRABEL_SMTP_PASSWORD or the settings file, never from the command line.
int RunMailCall(const MailCall& call);

}  // namespace quirabel::cli
