#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/random.h"
#include "ui/controls.h"
#include "ui/platform.h"

namespace quirabel::ui {

// A platform with nobody in front of it: messages are kept (a caller reports them its own way),
// modal windows get one fixed answer, file dialogs are cancelled, and nothing is drawn. Serial
// workers and benchmarks run documents on it.
class HeadlessPlatform : public Platform {
 public:
  explicit HeadlessPlatform(const Clock& clock, int modalAnswer = mrCancel)
      : clock_(clock), modalAnswer_(modalAnswer) {}
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  int ShowModal(TForm&) override { return modalAnswer_; }
  std::optional<std::string> FileDialog(const FileDialogRequest&) override { return std::nullopt; }
  TCursor ScreenCursor() const override { return cursor_; }
  void SetScreenCursor(TCursor cursor) override { cursor_ = cursor; }
  void Invalidate(Control&) override {}
  void ProcessMessages() override {}
  const Clock& GetClock() override { return clock_; }
  RandomSource& Random() override { return random_; }

  std::vector<std::string> messages;

 private:
  const Clock& clock_;
  int modalAnswer_;
  TCursor cursor_ = crDefault;
  DefaultRandom random_;
};

}  // namespace quirabel::ui
