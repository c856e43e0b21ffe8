#include "main/sheet_dialog.h"

#include <QBuffer>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPdfDocument>
#include <QVBoxLayout>
#include <QSettings>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>
#include <string>

#include "main/designer_settings.h"
#include "designer/print_formats.h"
#include "report/sheet_layout.h"

namespace quirabel::main {

namespace {

constexpr int kOwnSize = 3;  // the sheet choice's last entry, after A4, A3 and SRA3
// Products shown at once in the choice; the search narrows them.
constexpr std::size_t kListedProducts = 300;

QDoubleSpinBox* MillimetreField(double from, double to, double value) {
  auto* box = new QDoubleSpinBox();
  box->setRange(from, to);
  box->setDecimals(1);
  box->setSuffix(QStringLiteral(" mm"));
  box->setValue(value);
  return box;
}

// The back offset, a printer's habit, is kept per sheet size.
QString BackOffsetKey(const report::SheetSize& sheet) {
  return QStringLiteral("Rueckseitenversatz/%1x%2").arg(sheet.width).arg(sheet.height);
}

QSpinBox* CountField(int value) {
  auto* box = new QSpinBox();
  box->setRange(1, 100);
  box->setValue(value);
  return box;
}

}  // namespace

SheetPreview::SheetPreview(QWidget* parent) : QWidget(parent) {
  setMinimumSize(220, 300);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SheetPreview::Show(const report::SheetSize& sheet,
                        const std::optional<report::SheetLayout>& layout) {
  sheet_ = sheet;
  layout_ = layout;
  update();
}

QSize SheetPreview::sizeHint() const { return {300, 400}; }

void SheetPreview::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), palette().window());
  if (sheet_.width <= 0 || sheet_.height <= 0) return;
  constexpr double kMargin = 10;  // pixels around the sheet
  const double scale =
      std::min((width() - 2 * kMargin) / sheet_.width, (height() - 2 * kMargin) / sheet_.height);
  const double left = (width() - sheet_.width * scale) / 2;
  const double top = (height() - sheet_.height * scale) / 2;
  const auto at = [&](double x, double y) { return QPointF(left + x * scale, top + y * scale); };

  const QRectF sheet(at(0, 0), at(sheet_.width, sheet_.height));
  painter.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 60));
  painter.fillRect(sheet, Qt::white);
  painter.setPen(QPen(Qt::darkGray, 1));
  painter.drawRect(sheet);
  if (!layout_) return;

  painter.setPen(QPen(QColor(40, 70, 140), 1));
  // A card turned for the sheet is drawn turned a quarter, as the PDF places it.
  QImage card = card_;
  if (!card.isNull() && layout_->turned) card = card.transformed(QTransform().rotate(-90));
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  for (const report::CardPosition& at_ : layout_->cards) {
    const QRectF box(at(at_.left, at_.top),
                     at(at_.left + layout_->cardWidth, at_.top + layout_->cardHeight));
    if (card.isNull()) {
      painter.fillRect(box, QColor(200, 215, 240));
    } else {
      painter.drawImage(box, card);
    }
    painter.drawRect(box);
  }
  painter.setPen(QPen(Qt::black, 1));
  for (const report::CropMark& mark : report::CropMarks(*layout_)) {
    painter.drawLine(at(mark.x1, mark.y1), at(mark.x2, mark.y2));
  }
}

std::pair<QImage, QImage> CardImagesOf(app::Application& application) {
  const designer::ProjectState& state = application.State();
  if (state.pageCount < 1) return {};
  const std::optional<std::string> pdf = application.ExportPdfBytes();
  if (!pdf) return {};
  QBuffer buffer;
  buffer.setData(QByteArray::fromStdString(*pdf));
  buffer.open(QIODevice::ReadOnly);
  QPdfDocument document;
  document.load(&buffer);
  if (document.status() != QPdfDocument::Status::Ready) return {};
  const double bleed = state.orderDocument ? designer::kBleedPoints : 0;
  constexpr double kPixelsPerPoint = 4 * 25.4 / 72;
  const auto draw = [&](int page) -> QImage {
    if (page >= document.pageCount()) return {};
    const QSizeF points = document.pagePointSize(page);
    const QSize pixels(qRound(points.width() * kPixelsPerPoint),
                       qRound(points.height() * kPixelsPerPoint));
    const QImage whole = document.render(page, pixels);
    const int cut = qRound(bleed * kPixelsPerPoint);
    return whole.copy(cut, cut, pixels.width() - 2 * cut, pixels.height() - 2 * cut);
  };
  return {draw(0), draw(1)};
}

void SheetPreview::SetCard(const QImage& card) {
  card_ = card;
  update();
}

SheetDialog::SheetDialog(Planner plan, QWidget* parent) : QDialog(parent), plan_(std::move(plan)) {
  setWindowTitle(QString::fromUtf8("Druckbogen als PDF"));

  sheetChoice_ = new QComboBox();
  sheetChoice_->addItems({QStringLiteral("A4"), QStringLiteral("A3"), QStringLiteral("SRA3"),
                          QString::fromUtf8("Eigene Größe")});
  sheetWidth_ = MillimetreField(10, 2000, 210);
  sheetHeight_ = MillimetreField(10, 2000, 297);
  gap_ = MillimetreField(0, 100, 2);

  gridChoice_ = new QCheckBox(QString::fromUtf8("Vorgestanzter Bogen (Raster)"));
  gridChoice_->setObjectName(QStringLiteral("gridChoice"));
  gridColumns_ = CountField(2);
  gridRows_ = CountField(5);
  gridLeft_ = MillimetreField(0, 2000, 15);
  gridTop_ = MillimetreField(0, 2000, 13.5);
  pitchAcross_ = MillimetreField(1, 2000, 95);
  pitchDown_ = MillimetreField(1, 2000, 55);

  catalogue_ = report::LoadSheetCatalogue(report::InstalledLabelTemplateFolders());
  productSearch_ = new QLineEdit();
  productSearch_->setObjectName(QStringLiteral("productSearch"));
  productSearch_->setPlaceholderText(QString::fromUtf8("z. B. C32011 oder Herma"));
  productSearch_->setClearButtonEnabled(true);
  productChoice_ = new QComboBox();
  productChoice_->setObjectName(QStringLiteral("productChoice"));
  productChoice_->setMinimumContentsLength(30);
  productChoice_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

  auto* sheetBox = new QGroupBox(QString::fromUtf8("Bogen"));
  auto* sheetForm = new QFormLayout(sheetBox);
  sheetForm->addRow(QString::fromUtf8("Größe"), sheetChoice_);
  sheetForm->addRow(QString::fromUtf8("Breite"), sheetWidth_);
  sheetForm->addRow(QString::fromUtf8("Höhe"), sheetHeight_);
  sheetForm->addRow(QString::fromUtf8("Abstand der Karten"), gap_);

  auto* gridBox = new QGroupBox();
  auto* gridForm = new QFormLayout(gridBox);
  gridForm->addRow(gridChoice_);
  gridForm->addRow(QString::fromUtf8("Vorgestanzter Bogen: Hersteller oder Nummer"), productSearch_);
  gridForm->addRow(QString::fromUtf8("Produkt"), productChoice_);
  gridForm->addRow(QString::fromUtf8("Spalten"), gridColumns_);
  gridForm->addRow(QString::fromUtf8("Zeilen"), gridRows_);
  gridForm->addRow(QString::fromUtf8("Rand links"), gridLeft_);
  gridForm->addRow(QString::fromUtf8("Rand oben"), gridTop_);
  gridForm->addRow(QString::fromUtf8("Abstand der Felder waagerecht"), pitchAcross_);
  gridForm->addRow(QString::fromUtf8("Abstand der Felder senkrecht"), pitchDown_);

  backAcross_ = MillimetreField(-report::kLargestBackOffset, report::kLargestBackOffset, 0);
  backDown_ = MillimetreField(-report::kLargestBackOffset, report::kLargestBackOffset, 0);
  duplexTest_ = new QPushButton(QString::fromUtf8("Probedruck Duplex…"));
  duplexTest_->setToolTip(QString::fromUtf8(
      "Ein Blatt mit Linien vorne und Skalen hinten: beidseitig drucken, gegen das Licht halten "
      "und den Versatz ablesen"));
  auto* backBox = new QGroupBox(QString::fromUtf8("Rückseite verschieben (wie man sie ansieht)"));
  auto* backForm = new QFormLayout(backBox);
  backForm->addRow(QString::fromUtf8("nach rechts"), backAcross_);
  backForm->addRow(QString::fromUtf8("nach unten"), backDown_);
  backForm->addRow(duplexTest_);

  preview_ = new SheetPreview();
  preview_->setObjectName(QStringLiteral("sheetPreview"));
  showBack_ = new QCheckBox(QString::fromUtf8("Rückseite zeigen"));
  showBack_->setObjectName(QStringLiteral("showBack"));
  showBack_->setEnabled(false);
  count_ = new QLabel();
  count_->setObjectName(QStringLiteral("sheetCount"));
  count_->setWordWrap(true);
  count_->setMinimumWidth(260);

  auto* buttons = new QDialogButtonBox();
  save_ = buttons->addButton(QString::fromUtf8("Speichern…"), QDialogButtonBox::AcceptRole);
  save_->setDefault(true);
  print_ = buttons->addButton(QString::fromUtf8("Drucken…"), QDialogButtonBox::ActionRole);
  connect(print_, &QPushButton::clicked, this, [this] {
    printWanted_ = true;
    accept();
  });
  buttons->addButton(QDialogButtonBox::Cancel)->setText(QString::fromUtf8("Abbrechen"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* choices = new QVBoxLayout();
  choices->addWidget(sheetBox);
  choices->addWidget(gridBox);
  choices->addWidget(backBox);
  choices->addWidget(count_);
  choices->addStretch();
  auto* columns = new QHBoxLayout();
  columns->addLayout(choices);
  auto* previewColumn = new QVBoxLayout();
  previewColumn->addWidget(preview_, 1);
  previewColumn->addWidget(showBack_);
  columns->addLayout(previewColumn, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns, 1);
  layout->addWidget(buttons);

  connect(sheetChoice_, &QComboBox::currentIndexChanged, this, [this] { Replan(); });
  connect(gridChoice_, &QCheckBox::toggled, this, [this] { Replan(); });
  connect(showBack_, &QCheckBox::toggled, this, [this] { Replan(); });
  // A number changed by hand is a grid of one's own, no longer the product's.
  const auto changedByHand = [this] {
    if (takingProduct_) return;
    if (product_) {
      product_.reset();
      const QSignalBlocker quiet(productChoice_);
      productChoice_->setCurrentIndex(0);
    }
    Replan();
  };
  for (QDoubleSpinBox* box :
       {sheetWidth_, sheetHeight_, gap_, gridLeft_, gridTop_, pitchAcross_, pitchDown_})
    connect(box, &QDoubleSpinBox::valueChanged, this, changedByHand);
  for (QSpinBox* box : {gridColumns_, gridRows_})
    connect(box, &QSpinBox::valueChanged, this, changedByHand);
  for (QDoubleSpinBox* box : {backAcross_, backDown_})
    connect(box, &QDoubleSpinBox::valueChanged, this, [this] { StoreBackOffset(); });
  connect(duplexTest_, &QPushButton::clicked, this, [this] {
    duplexTestWanted_ = true;
    accept();
  });
  connect(productSearch_, &QLineEdit::textChanged, this, [this] { ListProducts(); });
  connect(productChoice_, &QComboBox::currentIndexChanged, this, [this] { TakeProduct(); });
  ListProducts();
  Replan();
}

report::SheetRequest SheetDialog::Request() const {
  const report::BackOffset backOffset{backAcross_->value(), backDown_->value()};
  if (product_ && gridChoice_->isChecked()) {
    report::SheetRequest request = *product_;
    request.backOffset = backOffset;
    return request;
  }
  report::SheetRequest request;
  request.backOffset = backOffset;
  const int choice = sheetChoice_->currentIndex();
  if (choice == kOwnSize) {
    request.sheet = {sheetWidth_->value(), sheetHeight_->value()};
  } else {
    request.sheet = *report::SheetSizeOfName(sheetChoice_->currentText().toStdString());
  }
  request.gap = gap_->value();
  if (gridChoice_->isChecked()) {
    request.grid =
        report::CardGrid{gridColumns_->value(), gridRows_->value(),    gridLeft_->value(),
                         gridTop_->value(),     pitchAcross_->value(), pitchDown_->value()};
  }
  return request;
}

void SheetDialog::SetCards(const QImage& front, const QImage& back) {
  front_ = front;
  back_ = back;
  showBack_->setEnabled(!back.isNull());
  if (back.isNull()) showBack_->setChecked(false);
  Replan();
}

void SheetDialog::LoadBackOffset(const report::SheetSize& sheet) {
  const QString key = BackOffsetKey(sheet);
  if (key == backOffsetKey_) return;
  backOffsetKey_ = key;
  const QStringList kept = DesignerSettings().value(key).toString().split(QLatin1Char(','));
  const QSignalBlocker quietAcross(backAcross_);
  const QSignalBlocker quietDown(backDown_);
  backAcross_->setValue(kept.size() == 2 ? kept[0].toDouble() : 0);
  backDown_->setValue(kept.size() == 2 ? kept[1].toDouble() : 0);
}

void SheetDialog::StoreBackOffset() const {
  if (backOffsetKey_.isEmpty()) return;
  QSettings settings = DesignerSettings();
  if (backAcross_->value() == 0 && backDown_->value() == 0) {
    settings.remove(backOffsetKey_);
  } else {
    settings.setValue(backOffsetKey_,
                      QStringLiteral("%1,%2").arg(backAcross_->value()).arg(backDown_->value()));
  }
}

void SheetDialog::ListProducts() {
  const auto found = report::FindSheetProducts(catalogue_, productSearch_->text().toStdString());
  listed_.assign(found.begin(), found.begin() + std::min(found.size(), kListedProducts));
  const QSignalBlocker quiet(productChoice_);
  productChoice_->clear();
  productChoice_->addItem(found.empty() ? QString::fromUtf8("— keiner passt —")
                          : found.size() > listed_.size()
                              ? QString::fromUtf8("— %1 passen, die ersten %2 —")
                                    .arg(found.size())
                                    .arg(listed_.size())
                              : QString::fromUtf8("— %1 zur Wahl —").arg(found.size()));
  for (const report::SheetProduct* product : listed_)
    productChoice_->addItem(QString::fromStdString(report::SheetProductLine(*product)));
  // The product already taken stays chosen while the search still lists it.
  if (product_) {
    for (std::size_t i = 0; i < listed_.size(); ++i) {
      if (listed_[i]->Name() == product_->label->product)
        productChoice_->setCurrentIndex(static_cast<int>(i) + 1);
    }
  }
}

void SheetDialog::TakeProduct() {
  const int index = productChoice_->currentIndex() - 1;
  if (index < 0 || static_cast<std::size_t>(index) >= listed_.size()) return;
  const report::SheetProduct& product = *listed_[static_cast<std::size_t>(index)];
  {
    takingProduct_ = true;
    const QSignalBlocker quietSheet(sheetChoice_);
    const QSignalBlocker quietGrid(gridChoice_);
    const auto is = [&](double w, double h) {
      return std::abs(product.sheet.width - w) < 0.05 && std::abs(product.sheet.height - h) < 0.05;
    };
    sheetChoice_->setCurrentIndex(is(210, 297) ? 0 : is(297, 420) ? 1 : is(320, 450) ? 2 : kOwnSize);
    sheetWidth_->setValue(product.sheet.width);
    sheetHeight_->setValue(product.sheet.height);
    gridChoice_->setChecked(true);
    gridColumns_->setValue(product.grid.columns);
    gridRows_->setValue(product.grid.rows);
    gridLeft_->setValue(product.grid.left);
    gridTop_->setValue(product.grid.top);
    pitchAcross_->setValue(product.grid.pitchAcross);
    pitchDown_->setValue(product.grid.pitchDown);
    takingProduct_ = false;
  }
  product_ = report::SheetRequestOf(product);
  Replan();
}

void SheetDialog::Replan() {
  const bool own = sheetChoice_->currentIndex() == kOwnSize;
  sheetWidth_->setEnabled(own);
  sheetHeight_->setEnabled(own);
  const bool grid = gridChoice_->isChecked();
  gap_->setEnabled(!grid);
  for (QWidget* field : std::initializer_list<QWidget*>{gridColumns_, gridRows_, gridLeft_,
                                                        gridTop_, pitchAcross_, pitchDown_})
    field->setEnabled(grid);

  LoadBackOffset(Request().sheet);
  const report::SheetRequest request = Request();
  if (!own) {
    // The named sizes show in the fields, for a size of one's own to start from.
    const QSignalBlocker widthQuiet(sheetWidth_);
    const QSignalBlocker heightQuiet(sheetHeight_);
    sheetWidth_->setValue(request.sheet.width);
    sheetHeight_->setValue(request.sheet.height);
  }
  try {
    const report::SheetLayout layout = plan_(request);
    const auto cards = static_cast<int>(layout.cards.size());
    count_->setStyleSheet({});
    count_->setText(QString::fromUtf8("%1 %2 je Bogen%3")
                        .arg(cards)
                        .arg(cards == 1 ? QString::fromUtf8("Karte") : QString::fromUtf8("Karten"))
                        .arg(layout.turned ? QString::fromUtf8(" (Karten gedreht)") : QString()));
    // The back as one looks at it after turning the sheet over: mirrored and moved; a turned
    // card's back is turned the other way.
    const bool back = showBack_->isChecked() && !back_.isNull();
    QImage card = back ? back_ : front_;
    if (back && layout.turned) card = card.transformed(QTransform().rotate(180));
    preview_->SetCard(card);
    preview_->Show(request.sheet, back ? report::BackOfSheet(layout, request) : layout);
    save_->setEnabled(true);
    print_->setEnabled(true);
  } catch (const report::SheetError& e) {
    count_->setStyleSheet(QStringLiteral("color: #b00000"));
    count_->setText(QString::fromUtf8(e.what()));
    preview_->Show(request.sheet, std::nullopt);
    save_->setEnabled(false);
    print_->setEnabled(false);
  }
}

}  // namespace quirabel::main
