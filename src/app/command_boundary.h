#pragma once

#include <functional>
#include <string>

#include "ui/platform.h"

namespace quirabel::app {

// The one place where a command's failure that nothing below handled ends: whatever it throws
// becomes the program's error message through the platform (a message box on screen, a line on
// standard error in the batch tool), and the command counts as failed. The open document stays
// as the command left it.
bool RunCommand(ui::Platform& platform, const std::function<bool()>& command);

// The message a failure that reached the boundary is shown with.
std::string CommandFailedMessage(const std::string& reason);
// The message for the exception being handled (call it inside a catch block): the same words
// for the designer's message box and the batch tool's standard error. A `UserError` is told as it
// stands, anything else as a failed command.
std::string CurrentFailureMessage();

}  // namespace quirabel::app
