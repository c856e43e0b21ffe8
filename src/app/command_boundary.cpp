#include "app/command_boundary.h"

#include <exception>

namespace quirabel::app {

std::string CommandFailedMessage(const std::string& reason) {
  return "Der Befehl konnte nicht ausgeführt werden: " + reason;
}

bool RunCommand(ui::Platform& platform, const std::function<bool()>& command) {
  try {
    return command();
  } catch (const std::bad_alloc&) {
    platform.ShowMessage(CommandFailedMessage("Der Arbeitsspeicher reicht nicht aus."));
  } catch (const std::exception& e) {
    platform.ShowMessage(CommandFailedMessage(e.what()));
  } catch (...) {
    platform.ShowMessage(CommandFailedMessage("unbekannter Fehler."));
  }
  return false;
}

}  // namespace quirabel::app
