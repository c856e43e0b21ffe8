#include "app/command_boundary.h"

#include <exception>

#include "base/atomic_file.h"
#include "base/user_error.h"

namespace quirabel::app {

std::string CommandFailedMessage(const std::string& reason) {
  return "Der Befehl konnte nicht ausgeführt werden: " + reason;
}

std::string CurrentFailureMessage() {
  try {
    throw;
  } catch (const UserError& e) {
    return e.what();  // already the person's words
  } catch (const std::bad_alloc&) {
    return CommandFailedMessage("Der Arbeitsspeicher reicht nicht aus.");
  } catch (const FileError& e) {
    return CommandFailedMessage(e.Sentence());
  } catch (const std::exception& e) {
    return CommandFailedMessage(e.what());
  } catch (...) {
    return CommandFailedMessage("unbekannter Fehler.");
  }
}

bool RunCommand(ui::Platform& platform, const std::function<bool()>& command) {
  try {
    return command();
  } catch (...) {
    platform.ShowMessage(CurrentFailureMessage());
  }
  return false;
}

}  // namespace quirabel::app
