#include "main/format_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/digits.h"
#include "designer/page_format.h"
#include "designer/print_formats.h"
#include "main/icons.h"

namespace quirabel::main {

FormatDialog::FormatDialog(dialogs::FormatWindow& form, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), form_(form) {
  setWindowTitle(QString::fromUtf8("Format"));
  setObjectName(QStringLiteral("Form9"));

  din_ = new QRadioButton(QString::fromUtf8("DIN"));
  din_->setObjectName(QStringLiteral("RadioButton1"));
  a4_ = new QRadioButton(QStringLiteral("A4"));
  a5_ = new QRadioButton(QStringLiteral("A5"));
  a6_ = new QRadioButton(QStringLiteral("A6"));
  free_ = new QRadioButton(QString::fromUtf8("freie Maße "));
  free_->setObjectName(QStringLiteral("RadioButton2"));
  print_ = new QRadioButton(QString::fromUtf8("Druckformat (bestellfähig)"));
  print_->setObjectName(QStringLiteral("printFormatChoice"));
  printFormats_ = new QComboBox();
  printFormats_->setObjectName(QStringLiteral("printFormatList"));
  for (const designer::PrintFormat& f : designer::PrintFormats())
    printFormats_->addItem(QString::fromUtf8(std::string(f.name)));
  width_ = new QSpinBox();
  height_ = new QSpinBox();
  for (QSpinBox* box : {width_, height_}) {
    box->setRange(1, 1188);
    box->setSuffix(QStringLiteral(" mm"));
    box->setAccelerated(true);
  }
  width_->setObjectName(QStringLiteral("Edit1"));
  height_->setObjectName(QStringLiteral("Edit2"));
  portrait_ = new QRadioButton(QString::fromUtf8("Hochformat"));
  portrait_->setObjectName(QStringLiteral("RadioButton7"));
  portrait_->setIcon(ToolIcon(QStringLiteral("portrait")));
  landscape_ = new QRadioButton(QString::fromUtf8("Querformat"));
  landscape_->setObjectName(QStringLiteral("RadioButton8"));
  landscape_->setIcon(ToolIcon(QStringLiteral("landscape")));
  for (QRadioButton* button : {portrait_, landscape_}) button->setIconSize(QSize(32, 32));

  // Three independent choices: the mode, the DIN size, the orientation.
  auto group = [this](std::initializer_list<QRadioButton*> buttons) {
    auto* g = new QButtonGroup(this);
    for (QRadioButton* b : buttons) g->addButton(b);
  };
  group({din_, free_, print_});
  group({a4_, a5_, a6_});
  group({portrait_, landscape_});

  auto* sizes = new QGroupBox(QString::fromUtf8("Größe"));
  auto* grid = new QGridLayout(sizes);
  grid->addWidget(din_, 0, 0);
  auto* dinSizes = new QHBoxLayout();
  for (QRadioButton* b : {a4_, a5_, a6_}) dinSizes->addWidget(b);
  dinSizes->addStretch();
  grid->addLayout(dinSizes, 0, 1, 1, 2);
  grid->addWidget(free_, 1, 0);
  grid->addWidget(new QLabel(QString::fromUtf8("Breite (mm)")), 1, 1);
  grid->addWidget(width_, 1, 2);
  grid->addWidget(new QLabel(QString::fromUtf8("Höhe (mm)")), 2, 1);
  grid->addWidget(height_, 2, 2);
  grid->addWidget(print_, 3, 0);
  grid->addWidget(printFormats_, 3, 1, 1, 2);
  grid->setColumnStretch(2, 1);

  auto* orientation = new QGroupBox(QString::fromUtf8("Ausrichtung"));
  auto* turn = new QHBoxLayout(orientation);
  turn->addWidget(portrait_);
  turn->addWidget(landscape_);
  turn->addStretch();

  size_ = new QLabel();
  size_->setObjectName(QStringLiteral("Size"));
  auto* buttons = new QDialogButtonBox();
  QPushButton* create =
      buttons->addButton(QString::fromUtf8("Dokument erstellen..."), QDialogButtonBox::AcceptRole);
  create->setObjectName(QStringLiteral("Button1"));
  create->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel)->setText(QString::fromUtf8("Abbrechen"));
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    Store();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sizes);
  layout->addWidget(orientation);
  layout->addWidget(size_);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // The headless window's state is what shows first: "DIN", "A4", portrait, "150" × "150".
  (form_.printFormat != nullptr ? print_ : form_.DinChosen ? din_ : free_)->setChecked(true);
  if (form_.printFormat != nullptr) {
    printFormats_->setCurrentIndex(
        static_cast<int>(form_.printFormat - designer::PrintFormats().data()));
  }
  (form_.Din == designer::DinSize::A4   ? a4_
   : form_.Din == designer::DinSize::A5 ? a5_
                                        : a6_)
      ->setChecked(true);
  (form_.Landscape ? landscape_ : portrait_)->setChecked(true);
  width_->setValue(ParseDigits(form_.widthEdit->Text()).value_or(150));
  height_->setValue(ParseDigits(form_.heightEdit->Text()).value_or(150));

  for (QRadioButton* b : {din_, free_, print_, a4_, a5_, a6_, portrait_, landscape_})
    connect(b, &QRadioButton::toggled, this, [this] { ModeChanged(); });
  connect(printFormats_, &QComboBox::currentIndexChanged, this, [this] { ShowSize(); });
  for (QSpinBox* box : {width_, height_})
    connect(box, &QSpinBox::valueChanged, this, [this] { ShowSize(); });
  ModeChanged();
}

void FormatDialog::ModeChanged() {
  const bool din = din_->isChecked();
  for (QRadioButton* b : {a4_, a5_, a6_}) b->setEnabled(din);
  width_->setEnabled(free_->isChecked());
  height_->setEnabled(free_->isChecked());
  printFormats_->setEnabled(print_->isChecked());
  ShowSize();
}

void FormatDialog::ShowSize() {
  designer::PageFormat format;
  if (const designer::PrintFormat* chosen = ChosenPrintFormat()) {
    format = designer::PageFormatOf(*chosen);
  } else if (din_->isChecked()) {
    const designer::DinSize size = a4_->isChecked()   ? designer::DinSize::A4
                                   : a5_->isChecked() ? designer::DinSize::A5
                                                      : designer::DinSize::A6;
    format = designer::DinFormat(size, landscape_->isChecked());
  } else {
    format = {"", std::to_string(width_->value()), std::to_string(height_->value())};
  }
  size_->setText(
      QString::fromUtf8("Seite %1 × %2 mm, Nutzen / A3 : %3")
          .arg(QString::fromStdString(format.widthMm), QString::fromStdString(format.heightMm))
          .arg(designer::CopiesPerA3Sheet(format.widthMm, format.heightMm)));
}

const designer::PrintFormat* FormatDialog::ChosenPrintFormat() const {
  const auto formats = designer::PrintFormats();
  const int index = printFormats_->currentIndex();
  if (!print_->isChecked() || index < 0 || static_cast<std::size_t>(index) >= formats.size())
    return nullptr;
  return &formats[static_cast<std::size_t>(index)];
}

void FormatDialog::Store() {
  form_.printFormat = ChosenPrintFormat();
  form_.DinChosen = din_->isChecked();
  form_.Din = a4_->isChecked()   ? designer::DinSize::A4
              : a5_->isChecked() ? designer::DinSize::A5
                                 : designer::DinSize::A6;
  form_.Landscape = landscape_->isChecked();
  form_.widthEdit->SetText(std::to_string(width_->value()));
  form_.heightEdit->SetText(std::to_string(height_->value()));
}

}  // namespace quirabel::main
