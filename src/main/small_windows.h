#pragma once

#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QTextBrowser>
#include <QWidget>

namespace quirabel::main {

// "Programm-Infos": who made the program. Made anew by each About command; frees itself when
// closed.
class AboutWindow : public QDialog {
 public:
  explicit AboutWindow(QWidget* parent);
};

// "Hilfe und Hinweise": the help page of the program folder.
class HelpWindow : public QWidget {
 public:
  explicit HelpWindow(QWidget* parent);
  // Loads the page; false when it is missing.
  bool Load(const QString& file);
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

// The round hint bubble: pointing at it brings the help window up beside it, a click puts both
// away.
class HelpBubble : public QWidget {
 public:
  HelpBubble(HelpWindow& help, QWidget* parent);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  HelpWindow& help_;
};

// The frame behind the document window, with the program's logo in its middle while no
// document hides it.
class LogoArea : public QMdiArea {
 public:
  explicit LogoArea(QWidget* parent);
  void SetLogoVisible(bool visible);
  bool LogoVisible() const { return logoVisible_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool logoVisible_ = true;
};

}  // namespace quirabel::main
