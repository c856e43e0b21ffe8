#pragma once

#include <QPdfDocument>
#include <QPdfView>
#include <QWidget>

namespace quirabel::main {

// "PDF Vorschau - nicht gespeichert!": the preview PDF in a viewer, on top of the main window.
// The document is owned here, beside the view: a view that owned its document would destroy it
// in the wrong order and take the program down.
class PreviewWindow : public QWidget {
 public:
  explicit PreviewWindow(QWidget* parent = nullptr);
  ~PreviewWindow() override;
  // Loads a PDF file and shows the window; false when the file cannot be loaded.
  bool ShowFile(const QString& file);

 private:
  QPdfDocument document_;
  QPdfView* view_;
};

}  // namespace quirabel::main
