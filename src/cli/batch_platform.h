#pragma once

#include <deque>
#include <iostream>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/random.h"
#include "dialogs/project_windows.h"
#include "ui/controls.h"
#include "ui/platform.h"

namespace quirabel::cli {

// The platform of the batch tool: no display. Messages go to standard error, file dialogs take
// the names the command line gave, modal windows answer as a person accepting them would
// ("Übernehmen" for the project information, "Nein" for "Projekt speichern?").
class BatchPlatform : public ui::Platform {
 public:
  void ShowMessage(std::string_view text) override {
    messages.emplace_back(text);
    std::cerr << "quirabel-batch: " << text << '\n';
  }
  int ShowModal(ui::TForm& form) override {
    return dynamic_cast<dialogs::ProjectInfoWindow*>(&form) != nullptr ? ui::mrOk : ui::mrNo;
  }
  std::optional<std::string> FileDialog(const ui::FileDialogRequest&) override {
    if (fileNames.empty()) return std::nullopt;
    std::string name = fileNames.front();
    fileNames.pop_front();
    return name;
  }
  ui::TCursor ScreenCursor() const override { return cursor_; }
  void SetScreenCursor(ui::TCursor cursor) override { cursor_ = cursor; }
  void Invalidate(ui::Control&) override {}
  void ProcessMessages() override {}
  // The batch tool neither goes online nor opens a browser.
  ui::FetchResult Fetch(const ui::FetchRequest&) override { return {}; }
  bool OpenUrl(std::string_view) override { return false; }
  const Clock& GetClock() override { return clock_; }
  RandomSource& Random() override { return random_; }

  std::deque<std::string> fileNames;
  std::vector<std::string> messages;

 private:
  ui::TCursor cursor_ = ui::crDefault;
  SystemClock clock_;
  DefaultRandom random_;
};

}  // namespace quirabel::cli
