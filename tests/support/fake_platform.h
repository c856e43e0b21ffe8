#pragma once

#include <cxxabi.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "base/clock.h"
#include "base/random.h"
#include "ui/controls.h"
#include "ui/platform.h"

namespace quirabel::testing {

// The class of a window: tests say which modal window came up by its type, never by a generated
// component name. WindowType::Of<dialogs::SaveQuestionWindow>().
class WindowType {
 public:
  explicit WindowType(const std::type_info& type) : type_(type) {}
  template <class W>
  static WindowType Of() {
    return WindowType(typeid(W));
  }
  friend bool operator==(const WindowType&, const WindowType&) = default;
  friend void PrintTo(const WindowType& window, std::ostream* out) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(window.type_.name(), nullptr, nullptr, &status), &std::free);
    *out << (name ? name.get() : window.type_.name());
  }

 private:
  std::type_index type_;
};

// The platform of tests: records every message box and repaint request, keeps the cursor, and
// hands out a fixed clock and a scripted random source.
class FakePlatform : public ui::Platform {
 public:
  FakePlatform() : clock(LocalDateTime{2026, 12, 7, 9, 30, 0, 0}), random({0}) {}

  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  // Modal windows answer from the queue (mrCancel when it is empty); the class of each one shown
  // is recorded.
  int ShowModal(ui::TForm& form) override {
    modalWindows.emplace_back(typeid(form));
    if (whileModal) whileModal(form);
    if (modalAnswers.empty()) return ui::mrCancel;
    const int answer = modalAnswers.front();
    modalAnswers.erase(modalAnswers.begin());
    return answer;
  }
  // File dialogs answer from the queue (cancelled when it is empty).
  std::optional<std::string> FileDialog(const ui::FileDialogRequest& request) override {
    fileDialogs.push_back(request);
    if (fileAnswers.empty()) return std::nullopt;
    auto answer = fileAnswers.front();
    fileAnswers.erase(fileAnswers.begin());
    return answer;
  }
  // Colour dialogs answer from their own queue (cancelled when it is empty).
  std::optional<graphics::TColor> ColorDialog(graphics::TColor initial) override {
    colorDialogs.push_back(initial);
    if (colorAnswers.empty()) return std::nullopt;
    auto answer = colorAnswers.front();
    colorAnswers.erase(colorAnswers.begin());
    return answer;
  }
  ui::TCursor ScreenCursor() const override { return cursor; }
  ui::TPoint CursorPosition() const override { return cursorPosition; }
  void SetScreenCursor(ui::TCursor value) override { cursor = value; }
  void Invalidate(ui::Control& /*control*/) override { ++invalidations; }
  void ProcessMessages() override { ++processed; }
  void Progress(std::string_view label, std::uint64_t, std::uint64_t) override {
    progressLabels.emplace_back(label);
  }
  void EndProgress() override { ++progressEnded; }
  // "Abbrechen" is pressed once `cancelAt` is done.
  bool CancellableProgress(std::string_view label, std::uint64_t done,
                           std::uint64_t total) override {
    Progress(label, done, total);
    return done < cancelAt;
  }
  // Programs started are recorded, with their arguments; they start when `programsStart`.
  bool StartProgram(const std::string& program,
                    const std::vector<std::string>& arguments) override {
    startedPrograms.push_back(program);
    for (const std::string& argument : arguments) startedPrograms.back() += " " + argument;
    return programsStart;
  }
  // Fetches answer from their queue (no answer when it is empty); each request is recorded.
  ui::FetchResult Fetch(const ui::FetchRequest& request) override {
    fetches.push_back(request);
    if (fetchAnswers.empty()) return {};
    ui::FetchResult answer = fetchAnswers.front();
    fetchAnswers.erase(fetchAnswers.begin());
    return answer;
  }
  bool OpenUrl(std::string_view url) override {
    openedUrls.emplace_back(url);
    return browserPresent;
  }
  const Clock& GetClock() override { return clock; }
  RandomSource& Random() override { return random; }

  std::vector<std::string> messages;
  std::vector<int> modalAnswers;
  // What the person does in a modal window before answering it: fills its fields.
  std::function<void(ui::TForm&)> whileModal;
  std::vector<WindowType> modalWindows;
  std::vector<std::optional<std::string>> fileAnswers;
  std::vector<ui::FileDialogRequest> fileDialogs;
  std::vector<std::optional<graphics::TColor>> colorAnswers;
  // The colour each colour dialog started at.
  std::vector<graphics::TColor> colorDialogs;
  ui::TCursor cursor = ui::crDefault;
  ui::TPoint cursorPosition;
  int invalidations = 0;
  int processed = 0;
  std::vector<std::string> progressLabels;
  int progressEnded = 0;
  std::uint64_t cancelAt = UINT64_MAX;
  std::vector<std::string> startedPrograms;
  bool programsStart = true;
  std::vector<ui::FetchRequest> fetches;
  std::vector<ui::FetchResult> fetchAnswers;
  std::vector<std::string> openedUrls;
  bool browserPresent = true;
  FixedClock clock;
  SequenceRandom random;
};

}  // namespace quirabel::testing
