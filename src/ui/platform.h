#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "base/random.h"
#include "graphics/color.h"
#include "ui/geometry.h"

namespace quirabel::ui {

class Control;
class TForm;

// What a file dialog asks: title, filter ("Quirabel Dateien|*.kxp"), a preset name, open or save.
// A save dialog gives the name with the filter's first extension (".kxp") as it will be written,
// and asks before that name replaces a file.
struct FileDialogRequest {
  std::string title;
  std::string filter;
  std::string fileName;
  bool save = false;
};

// One document fetched from a web server into memory. The fetch ends, whatever the server does,
// after the time limit, after more than the byte limit, or at a redirect past the limit or to
// anything but http or https.
struct FetchRequest {
  std::string url;
  std::string userAgent;
  std::size_t maxBytes = 64 * 1024;
  std::chrono::milliseconds timeLimit{15000};
  int maxRedirects = 3;
  // The line the progress window shows while the fetch runs.
  std::string progressText;
};

struct FetchResult {
  enum class Outcome {
    Complete,          // an answer arrived whole; `status` tells which
    NoAnswer,          // no HTTP status at all: no network, refused, unknown host
    Interrupted,       // the connection broke during the answer
    TooLarge,          // more than the byte limit
    TimedOut,          // the time limit passed
    TooManyRedirects,  // more redirects than allowed
    RedirectRefused,   // a redirect to anything but http or https
    Cancelled,         // the person stopped it
  };
  Outcome outcome = Outcome::NoAnswer;
  int status = 0;  // the last HTTP status received, 0 for none
  std::string body;

  // A whole answer with a success status.
  bool Succeeded() const { return outcome == Outcome::Complete && status >= 200 && status < 300; }
};

// Screen cursors by the toolkit's numbers; the program registers a few of its own (positive).
using TCursor = int;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crVSplit = -15;
inline constexpr TCursor crHandPoint = -21;
// The program's own cursors.
inline constexpr TCursor crHand = 1;    // "HAND": an element pressed or dragged
inline constexpr TCursor crMySize = 2;  // "MYSIZE": over the bottom-right handle
inline constexpr TCursor crKxc = 3;     // "KXC": over the top-left handle

// The services windows take from their surroundings: message boxes, the screen cursor, repaints,
// letting pending work run, the clock and the random source. The Qt backend implements them for
// real; tests use a scripted fake that records every message.
class Platform {
 public:
  virtual ~Platform() = default;

  // A modal message box with an OK button.
  virtual void ShowMessage(std::string_view text) = 0;

  // Runs a window modally and gives its modal result.
  virtual int ShowModal(TForm& form) = 0;
  // Runs an open or save dialog; none when cancelled.
  virtual std::optional<std::string> FileDialog(const FileDialogRequest& request) = 0;
  // Runs a colour dialog starting at a colour; none when cancelled (or with no one to ask).
  virtual std::optional<graphics::TColor> ColorDialog(graphics::TColor /*initial*/) {
    return std::nullopt;
  }

  virtual TCursor ScreenCursor() const = 0;
  // Where the mouse pointer stands on the screen (windows open there); the origin without one.
  virtual TPoint CursorPosition() const { return {}; }
  virtual void SetScreenCursor(TCursor cursor) = 0;

  // A control's look changed; the screen repaints it when it gets round to it.
  virtual void Invalidate(Control& control) = 0;
  // Lets pending window messages run during long work.
  virtual void ProcessMessages() = 0;

  // The "Laden/Speichern..." window of long work: a line of text and a bar at done of total.
  // Shown by the first call, hidden by EndProgress. Without a screen it does nothing.
  virtual void Progress(std::string_view /*label*/, std::uint64_t /*done*/,
                        std::uint64_t /*total*/) {}
  virtual void EndProgress() {}
  // The same window with an "Abbrechen" button: false once the person has pressed it. Pending
  // messages run, so the press arrives.
  virtual bool CancellableProgress(std::string_view label, std::uint64_t done,
                                   std::uint64_t total) {
    Progress(label, done, total);
    return true;
  }

  // Starts a program without waiting for it (the sibling tools); false when it cannot be
  // started. Without a screen nothing is started.
  virtual bool StartProgram(const std::string& /*program*/,
                            const std::vector<std::string>& /*arguments*/) {
    return false;
  }

  // Fetches a document over HTTP without a proxy, while a small progress window shows. Without a
  // network (the batch tool) nothing is fetched.
  virtual FetchResult Fetch(const FetchRequest& /*request*/) { return {}; }
  // Hands an address to the desktop's web browser; false when there is none to take it.
  virtual bool OpenUrl(std::string_view /*url*/) { return false; }

  virtual const Clock& GetClock() = 0;
  virtual RandomSource& Random() = 0;
};

}  // namespace quirabel::ui
