// Our headless windows shown through Qt widgets: the model and the screen stay in step both ways.

#include "ui/qt/form_host.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/fake_platform.h"
#include "ui/input_controls.h"
#include "ui/qt/qt_platform.h"

namespace quirabel::ui::qt {
namespace {

// A small window with one control of every kind, laid out like a property window.
struct DemoWindow {
  DemoWindow() {
    form.SetPlatform(&platform);
    form.SetCaption("Eigenschaften Label");
    form.SetToolWindow(true);
    form.SetBounds(200, 150, 380, 300);
    heading = Make<TLabel>(form, "heading", 8, 6, 0, 0);
    heading->SetCaption("Feinausrichtung");
    heading->SetFont({"Arial", 9, true});
    text = Make<TEdit>(form, "text", 8, 26, 180, 22);
    size = Make<TEdit>(form, "size", 8, 56, 40, 22);
    sizeArrows = Make<TUpDown>(form, "sizeArrows", 48, 56, 16, 22);
    sizeArrows->SetRange(1, 200);
    sizeArrows->SetAssociate(size);
    sizeArrows->SetPosition(12);
    font = Make<TComboBox>(form, "font", 80, 56, 108, 22);
    font->SetItems({"Arial", "Fixed", "Times Roman"});
    font->SetText("Schriftart");
    weight = Make<TComboBox>(form, "weight", 80, 84, 108, 22);
    weight->SetStyle(TComboBoxStyle::csDropDownList);
    weight->SetItems({"Normal", "Fett"});
    weight->SetText("Style");
    dataField = Make<TCheckBox>(form, "dataField", 8, 112, 180, 20);
    dataField->SetCaption("Datenfeld für Serien-PDF");
    dataField->SetFont({"Arial", 8, true});
    dataField->SetAlignment(TLeftRight::taLeftJustify);
    memo = Make<TMemo>(form, "memo", 8, 140, 180, 70);
    memo->SetFont({"Times New Roman", 10});
    fields = Make<TListBox>(form, "fields", 200, 8, 170, 120);
    fields->SetItems({"Firma", "Kunde"});
    colour = Make<TColorButton>(form, "colour", 200, 140, 100, 25);
    colour->SetCaption("Randfarbe");
    colour->SetSwatchColor(graphics::clRed);
    frame = Make<TShape>(form, "frame", 200, 172, 80, 50);
    frame->SetShape(TShapeType::stRoundRect);
    frame->SetBrush({graphics::RGB(200, 220, 255)});
    frame->SetPen({graphics::clBlue, 2});
    panel = Make<TPanel>(form, "panel", 290, 172, 80, 50);
    panel->SetColor(graphics::RGB(255, 240, 200));
    plus = Make<TButton>(*panel, "plus", 10, 12, 30, 25);
    plus->SetCaption("+");
    picture = Make<TImage>(form, "picture", 8, 220, 40, 40);
    graphics::Bitmap bitmap(40, 40, graphics::PixelFormat::pf24bit);
    bitmap.FillRect(0, 0, 40, 40, graphics::clWhite);
    bitmap.FillRect(5, 5, 35, 35, graphics::RGB(0, 160, 0));
    picture->SetPicture(graphics::Picture::FromBitmap(std::move(bitmap)));
    ok = Make<TButton>(form, "ok", 290, 260, 80, 28);
    ok->SetCaption("ok");
    ok->SetModalResult(mrOk);
  }

  template <class T>
  static T* Make(Control& parent, const char* name, int left, int top, int width, int height) {
    auto* control = new T(&parent);
    control->SetName(name);
    control->SetBounds(left, top, width, height);
    control->SetParent(&parent);
    return control;
  }

  testing::FakePlatform platform;
  TForm form;
  TLabel* heading;
  TEdit* text;
  TEdit* size;
  TUpDown* sizeArrows;
  TComboBox* font;
  TComboBox* weight;
  TCheckBox* dataField;
  TMemo* memo;
  TListBox* fields;
  TColorButton* colour;
  TShape* frame;
  TPanel* panel;
  TButton* plus;
  TImage* picture;
  TButton* ok;
};

template <class W>
W* WidgetOf(FormHost& host, const Control& control) {
  auto* widget = dynamic_cast<W*>(host.WidgetOf(control));
  EXPECT_NE(widget, nullptr) << control.Name();
  return widget;
}

TEST(FormHost, WidgetsFollowTheModel) {
  DemoWindow w;
  FormHost host(w.form);
  w.form.ShowAt({120, 90});
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  EXPECT_TRUE(host.windowFlags() & Qt::Tool);
  EXPECT_EQ(host.pos(), QPoint(120, 90));
  EXPECT_EQ(host.windowTitle(), QStringLiteral("Eigenschaften Label"));

  auto* text = WidgetOf<QLineEdit>(host, *w.text);
  auto* size = WidgetOf<QLineEdit>(host, *w.size);
  auto* font = WidgetOf<QComboBox>(host, *w.font);
  auto* weight = WidgetOf<QComboBox>(host, *w.weight);
  auto* box = WidgetOf<QCheckBox>(host, *w.dataField);
  auto* memo = WidgetOf<QPlainTextEdit>(host, *w.memo);
  auto* fields = WidgetOf<QListWidget>(host, *w.fields);
  auto* heading = WidgetOf<QLabel>(host, *w.heading);
  ASSERT_TRUE(text && size && font && weight && box && memo && fields && heading);
  EXPECT_EQ(size->text(), QStringLiteral("12"));
  EXPECT_EQ(font->currentText(), QStringLiteral("Schriftart"));
  EXPECT_EQ(weight->placeholderText(), QStringLiteral("Style"));
  EXPECT_TRUE(heading->font().bold());
  EXPECT_EQ(box->layoutDirection(), Qt::RightToLeft);
  EXPECT_EQ(host.WidgetOf(*w.plus)->parentWidget(), host.WidgetOf(*w.panel));

  w.text->SetText("Kunde");
  w.text->SetEnabled(false);
  w.sizeArrows->SetPosition(250);
  w.font->SetText("Kusriv");
  w.weight->SetItemIndex(1);
  w.dataField->SetChecked(true);
  w.memo->SetLines({"eins", "zwei"});
  w.memo->SetFont({"Courier New", 12, false, true});
  w.fields->AddItem("Ort");
  w.fields->SetItemIndex(2);
  w.frame->SetVisible(false);
  w.text->SetBounds(10, 30, 150, 24);
  EXPECT_EQ(text->text(), QStringLiteral("Kunde"));
  EXPECT_FALSE(text->isEnabled());
  EXPECT_EQ(text->geometry(), QRect(10, 30, 150, 24));
  EXPECT_EQ(size->text(), QStringLiteral("200"));
  EXPECT_EQ(font->currentText(), QStringLiteral("Kusriv"));
  EXPECT_EQ(font->currentIndex(), -1);
  EXPECT_EQ(weight->currentText(), QStringLiteral("Fett"));
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(memo->toPlainText(), QStringLiteral("eins\nzwei"));
  EXPECT_TRUE(memo->font().italic());
  EXPECT_EQ(fields->count(), 3);
  EXPECT_EQ(fields->currentRow(), 2);
  EXPECT_FALSE(host.WidgetOf(*w.frame)->isVisible());

  // A picture of the window for a person to look at.
  if (const char* shot = std::getenv("QUIRABEL_FORM_SHOT")) {
    w.frame->SetVisible(true);
    host.grab().save(QString::fromUtf8(shot));
  }

  // Setting the box from code ran none of the person's handlers on the way.
  int clicks = 0;
  w.dataField->OnClick = [&](Control&) { ++clicks; };
  w.dataField->SetChecked(false);
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(clicks, 0);

  // Hidden from code, the window goes; closing by the person only hides it.
  w.form.Hide();
  EXPECT_FALSE(host.isVisible());
  w.form.Show();
  EXPECT_EQ(host.pos(), QPoint(120, 90));  // where it last stood
  int closes = 0;
  w.form.OnClose = [&](Control&) { ++closes; };
  host.close();
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(w.form.Showing());
  EXPECT_FALSE(host.isVisible());
  // Escape does what the close button does.
  w.form.Show();
  QTest::keyClick(&host, Qt::Key_Escape);
  EXPECT_EQ(closes, 2);
  EXPECT_FALSE(host.isVisible());

  // A control freed by its window leaves its widget hidden and harmless.
  QWidget* memoWidget = host.WidgetOf(*w.memo);
  delete w.memo;
  EXPECT_FALSE(memoWidget->isVisible());
  EXPECT_EQ(host.WidgetOf(*w.text), text);
}

TEST(FormHost, ThePersonsActionsWriteTheModelThenRunItsEvents) {
  DemoWindow w;
  FormHost host(w.form);
  w.form.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  std::vector<std::string> log;

  // Typing: each key release sees the text typed so far.
  w.text->OnKeyUp = [&](Control&, int key, TShiftState) {
    log.push_back("text " + w.text->Text() + " key " + std::to_string(key));
  };
  auto* text = WidgetOf<QLineEdit>(host, *w.text);
  text->setFocus();
  QTest::keyClicks(text, "ab");
  EXPECT_EQ(w.text->Text(), "ab");
  EXPECT_EQ(log, (std::vector<std::string>{"text a key 65", "text ab key 66"}));
  // Control characters pasted are left out, in one-line fields and in memos alike.
  QGuiApplication::clipboard()->setText(
      QString::fromUtf8("c\x01"
                        "d\x1b\xc2\x85"));
  QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w.text->Text(), "abcd");
  EXPECT_EQ(text->text(), QStringLiteral("abcd"));

  // The arrows step from the number typed into their field, and stop at the end.
  log.clear();
  w.sizeArrows->OnChanging = [&](TUpDown&, TUpDownDirection, int next, bool&) {
    log.push_back("to " + std::to_string(next));
  };
  auto* size = WidgetOf<QLineEdit>(host, *w.size);
  size->selectAll();
  QTest::keyClicks(size, "199");
  const auto arrows = host.WidgetOf(*w.sizeArrows)->findChildren<QToolButton*>();
  ASSERT_EQ(arrows.size(), 2);
  QToolButton* up = arrows[0]->arrowType() == Qt::UpArrow ? arrows[0] : arrows[1];
  QTest::mouseClick(up, Qt::LeftButton);
  QTest::mouseClick(up, Qt::LeftButton);
  EXPECT_EQ(w.sizeArrows->Position(), 200);
  EXPECT_EQ(size->text(), QStringLiteral("200"));
  EXPECT_EQ(log, (std::vector<std::string>{"to 200", "to 200"}));

  // The box: the click ticks it in the model before the handler runs.
  bool tickedInHandler = false;
  w.dataField->OnClick = [&](Control&) { tickedInHandler = w.dataField->Checked(); };
  // Anywhere on it: its caption stands left, with room before it.
  QTest::mouseClick(WidgetOf<QCheckBox>(host, *w.dataField), Qt::LeftButton, {}, QPoint(3, 10));
  EXPECT_TRUE(tickedInHandler);

  // Choice boxes: an entry chosen, and a text typed that is no entry.
  std::vector<std::string> chosen;
  w.font->OnChange = [&](Control&) { chosen.push_back(w.font->Text()); };
  auto* font = WidgetOf<QComboBox>(host, *w.font);
  emit font->activated(1);
  font->lineEdit()->selectAll();
  QTest::keyClicks(font->lineEdit(), "Ko");
  EXPECT_EQ(chosen, (std::vector<std::string>{"Fixed", "K", "Ko"}));
  EXPECT_EQ(w.font->ItemIndex(), -1);
  EXPECT_EQ(font->count(), 3);  // typing added no entry

  // The memo, the list and the buttons.
  int memoKeys = 0;
  w.memo->OnKeyUp = [&](Control&, int, TShiftState) { ++memoKeys; };
  auto* memo = WidgetOf<QPlainTextEdit>(host, *w.memo);
  memo->setFocus();
  QTest::keyClicks(memo, "x");
  QTest::keyClick(memo, Qt::Key_Return);
  QTest::keyClicks(memo, "y");
  EXPECT_EQ(w.memo->Lines(), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(memoKeys, 3);
  QGuiApplication::clipboard()->setText(QString::fromUtf8("\tz\x7f"));
  QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w.memo->Lines(), (std::vector<std::string>{"x", "yz"}));

  int selected = -2;
  w.fields->OnClick = [&](Control&) { selected = w.fields->ItemIndex(); };
  auto* fields = WidgetOf<QListWidget>(host, *w.fields);
  QTest::mouseClick(fields->viewport(), Qt::LeftButton, {},
                    fields->visualItemRect(fields->item(1)).center());
  EXPECT_EQ(selected, 1);

  // The colour button's handler asks the platform for a colour; the swatch shows it.
  w.platform.colorAnswers = {graphics::clBlue};
  w.colour->OnClick = [&](Control&) {
    if (auto chosenColour = w.form.GetPlatform()->ColorDialog(w.colour->SwatchColor())) {
      w.colour->SetSwatchColor(*chosenColour);
    }
  };
  QTest::mouseClick(WidgetOf<QPushButton>(host, *w.colour), Qt::LeftButton);
  EXPECT_EQ(w.platform.colorDialogs, std::vector<graphics::TColor>{graphics::clRed});
  EXPECT_EQ(w.colour->SwatchColor(), graphics::clBlue);

  int shapeClicks = 0;
  w.frame->OnClick = [&](Control&) { ++shapeClicks; };
  QTest::mouseClick(host.WidgetOf(*w.frame), Qt::LeftButton);
  EXPECT_EQ(shapeClicks, 1);

  // A disabled control takes no action.
  w.dataField->SetEnabled(false);
  w.dataField->SetChecked(false);
  QTest::mouseClick(WidgetOf<QCheckBox>(host, *w.dataField), Qt::LeftButton);
  EXPECT_FALSE(w.dataField->Checked());
}

TEST(FormHost, RunsModallyAndSurvivesItsFormBeingFreed) {
  DemoWindow w;
  FormHost host(w.form);
  QtPlatform platform;
  w.form.SetPlatform(&platform);
  auto* ok = WidgetOf<QPushButton>(host, *w.ok);
  QTimer::singleShot(0, ok, [ok] { QTest::mouseClick(ok, Qt::LeftButton); });
  EXPECT_EQ(w.form.ShowModal(), mrOk);  // through the platform, to the host
  EXPECT_FALSE(host.isVisible());
  EXPECT_FALSE(w.form.Showing());

  // Closed by the person, a modal run answers cancel.
  QTimer::singleShot(0, &host, [&host] { host.close(); });
  EXPECT_EQ(host.ShowModal(), mrCancel);
  QTimer::singleShot(0, &host, [&host] { QTest::keyClick(&host, Qt::Key_Escape); });
  EXPECT_EQ(host.ShowModal(), mrCancel);
  // Enter in a field accepts.
  auto* field = WidgetOf<QLineEdit>(host, *w.text);
  QTimer::singleShot(0, field, [field] {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
  });
  EXPECT_EQ(host.ShowModal(), mrOk);

  // A handler that frees its own window: the host lets go and goes itself.
  auto form = std::make_unique<TForm>();
  auto* freeing = DemoWindow::Make<TButton>(*form, "free", 0, 0, 50, 20);
  QPointer<FormHost> doomed = new FormHost(*form);
  freeing->OnClick = [&form](Control&) { form.reset(); };
  form->Show();
  QTest::mouseClick(static_cast<QPushButton*>(doomed->WidgetOf(*freeing)), Qt::LeftButton);
  EXPECT_EQ(form, nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(doomed.isNull());
}

}  // namespace
}  // namespace quirabel::ui::qt
