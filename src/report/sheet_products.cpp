#include "report/sheet_products.h"

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <map>
#include <memory>
#include <optional>
#include <system_error>

#include "base/atomic_file.h"

namespace quirabel::report {

namespace {

// maker, number, description, sheet, label width and height, corner radius,
// columns x rows, the first label's left and top edge, the pitch across and down.
// Labels that fill a sheet's width lie centred on its height.
const SheetProduct kOwnProducts[] = {
    {"Avery Zweckform", "C32010", "Visitenkarten", {210, 297}, 85, 54, 0, {2, 5, 15, 13.5, 95, 54}},
    {"Avery Zweckform", "C32011", "Visitenkarten", {210, 297}, 85, 54, 0, {2, 5, 15, 13.5, 95, 54}},
    {"Avery Zweckform", "C32015", "Visitenkarten", {210, 297}, 85, 54, 0, {2, 4, 17, 31.5, 91, 60}},
    {"Avery Zweckform", "L4785", "Namensetiketten", {210, 297}, 80, 50, 4, {2, 5, 18, 13, 95, 55}},
    {"Avery Zweckform", "3474", "Adressetiketten", {210, 297}, 70, 37, 0, {3, 8, 0, 0.5, 70, 37}},
    {"Avery Zweckform", "3475", "Adressetiketten", {210, 297}, 70, 36, 0, {3, 8, 0, 4.5, 70, 36}},
    {"Avery Zweckform", "3490", "Adressetiketten", {210, 297}, 70, 36, 0, {3, 8, 0, 4.5, 70, 36}},
    {"Avery Zweckform", "3422", "Adressetiketten", {210, 297}, 70, 32, 0, {3, 8, 0, 20.5, 70, 32}},
    {"Avery Zweckform", "3481", "Adressetiketten", {210, 297}, 70, 41, 0, {3, 7, 0, 5, 70, 41}},
    {"Avery Zweckform", "3652", "Universal-Etiketten", {210, 297}, 70, 42.3, 0,
     {3, 7, 0, 0.45, 70, 42.3}},
    {"Avery Zweckform", "3669", "Universal-Etiketten", {210, 297}, 70, 50.8, 0,
     {3, 5, 0, 21.5, 70, 50.8}},
    {"Avery Zweckform", "3477", "Adressetiketten", {210, 297}, 105, 41, 0, {2, 7, 0, 5, 105, 41}},
    {"Avery Zweckform", "3653", "Universal-Etiketten", {210, 297}, 105, 42.3, 0,
     {2, 7, 0, 0.45, 105, 42.3}},
    {"Avery Zweckform", "3424", "Versandetiketten", {210, 297}, 105, 48, 0, {2, 6, 0, 4.5, 105, 48}},
    {"Avery Zweckform", "3425", "Versandetiketten", {210, 297}, 105, 57, 0, {2, 5, 0, 6, 105, 57}},
    {"Avery Zweckform", "3427", "Versandetiketten", {210, 297}, 105, 74, 0,
     {2, 4, 0, 0.5, 105, 74}},
    {"Avery Zweckform", "3483", "Versandetiketten A6", {210, 297}, 105, 148, 0,
     {2, 2, 0, 0.5, 105, 148}},
    {"Avery Zweckform", "3655", "Versandetiketten A5", {210, 297}, 210, 148, 0,
     {1, 2, 0, 0.5, 210, 148}},
    {"Avery Zweckform", "3478", "Etiketten A4", {210, 297}, 210, 297, 0, {1, 1, 0, 0, 210, 297}},
    {"Avery Zweckform", "3651", "Universal-Etiketten", {210, 297}, 52.5, 29.7, 0,
     {4, 10, 0, 0, 52.5, 29.7}},
    {"Avery Zweckform", "3666", "Universal-Etiketten", {210, 297}, 38, 21.2, 0,
     {5, 13, 10, 10.7, 38, 21.2}},
    {"Avery Zweckform", "3667", "Universal-Etiketten", {210, 297}, 48.5, 16.9, 0,
     {4, 16, 8, 13.3, 48.5, 16.9}},
    {"Avery Zweckform", "3659", "Adressetiketten", {210, 297}, 97, 42.3, 0,
     {2, 6, 8, 21.6, 97, 42.3}},
    {"Avery Zweckform", "L7159", "Adressetiketten", {210, 297}, 63.5, 33.9, 1.5,
     {3, 8, 7.2, 12.9, 66, 33.9}},
    {"Avery Zweckform", "L7160", "Adressetiketten", {210, 297}, 63.5, 38.1, 1.5,
     {3, 7, 7.2, 15.15, 66, 38.1}},
    {"Avery Zweckform", "L7161", "Adressetiketten", {210, 297}, 63.5, 46.6, 1.5,
     {3, 6, 7.2, 8.7, 66, 46.6}},
    {"Avery Zweckform", "L7162", "Adressetiketten", {210, 297}, 99.1, 33.9, 1.5,
     {2, 8, 4.65, 12.9, 101.6, 33.9}},
    {"Avery Zweckform", "L7163", "Adressetiketten", {210, 297}, 99.1, 38.1, 1.5,
     {2, 7, 4.65, 15.15, 101.6, 38.1}},
    {"Avery Zweckform", "L7165", "Versandetiketten", {210, 297}, 99.1, 67.7, 1.5,
     {2, 4, 4.65, 13.1, 101.6, 67.7}},
    {"Avery Zweckform", "L7173", "Versandetiketten", {210, 297}, 99.1, 57, 1.5,
     {2, 5, 4.65, 6, 101.6, 57}},
    {"Avery Zweckform", "L7651", "Mini-Etiketten", {210, 297}, 38.1, 21.2, 1.5,
     {5, 13, 4.7, 10.7, 40.6, 21.2}},
    {"Avery Zweckform", "L7168", "Versandetiketten A5", {210, 297}, 199.6, 143.5, 2,
     {1, 2, 5.2, 5, 199.6, 143.5}},
    {"Avery Zweckform", "L7167", "Etiketten A4", {210, 297}, 199.6, 289.1, 2,
     {1, 1, 5.2, 3.95, 199.6, 289.1}},
    {"Herma", "4464", "Adressetiketten", {210, 297}, 70, 37, 0, {3, 8, 0, 0.5, 70, 37}},
    {"Herma", "4620", "Adressetiketten", {210, 297}, 105, 37, 0, {2, 8, 0, 0.5, 105, 37}},
    {"Herma", "4625", "Adressetiketten", {210, 297}, 105, 42.3, 0, {2, 7, 0, 0.45, 105, 42.3}},
    {"Decadry", "OCC-3342", "Visitenkarten", {210, 297}, 85, 54, 0, {2, 5, 15, 13.5, 95, 54}},
    {"Decadry", "DLW-1786", "Adressetiketten", {210, 297}, 105, 39, 0, {2, 7, 0, 12, 105, 39}},
    {"Decadry", "DLW-1787", "Adressetiketten", {210, 297}, 70, 35, 0, {3, 8, 0, 8.5, 70, 35}},
    {"Decadry", "DLW-1731", "Adressetiketten", {210, 297}, 63.5, 38.1, 1.5,
     {3, 7, 7.2, 15.15, 66, 38.1}},
    {"Decadry", "DLW-1734", "Versandetiketten", {210, 297}, 99.1, 67.7, 1.5,
     {2, 4, 4.65, 13.1, 101.6, 67.7}},
};

// What the reader keeps at most of a file, whatever it claims.
constexpr std::size_t kMaxTemplates = 20000;
constexpr std::size_t kMaxUnsupported = 20000;
constexpr std::size_t kMaxText = 200;  // characters of a maker, number or description
constexpr std::size_t kMaxTemplateFile = 16u << 20;
constexpr std::size_t kMaxTemplateFiles = 500;
constexpr double kMaxLength = 2000;  // millimetres
constexpr int kMaxCells = 100;       // columns or rows, as a grid typed by hand

std::string Lowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

std::string Clipped(const char* text) {
  std::string value(text == nullptr ? "" : text);
  if (value.size() > kMaxText) value.resize(kMaxText);
  return value;
}

// A length of the template format in millimetres: a number with "pt" (the default), "mm", "cm",
// "in" or "pc" after it; none for anything else or outside 0 to 2000 mm.
std::optional<double> TemplateLength(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
  std::string_view unit(end, static_cast<std::size_t>(text.data() + text.size() - end));
  while (!unit.empty() && unit.front() == ' ') unit.remove_prefix(1);
  double perUnit = 25.4 / 72;
  if (unit == "mm") {
    perUnit = 1;
  } else if (unit == "cm") {
    perUnit = 10;
  } else if (unit == "in") {
    perUnit = 25.4;
  } else if (unit == "pc") {
    perUnit = 25.4 / 6;
  } else if (!unit.empty() && unit != "pt") {
    return std::nullopt;
  }
  const double mm = value * perUnit;
  if (mm < 0 || mm > kMaxLength) return std::nullopt;
  return mm;
}

std::optional<int> TemplateCount(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxCells)
    return std::nullopt;
  return value;
}

std::optional<SheetSize> TemplatePaper(std::string_view id) {
  if (id == "A4") return SheetSize{210, 297};
  if (id == "A3") return SheetSize{297, 420};
  if (id == "A5") return SheetSize{148, 210};
  if (id == "A6") return SheetSize{105, 148};
  if (id == "US-Letter") return SheetSize{215.9, 279.4};
  if (id == "US-Legal") return SheetSize{215.9, 355.6};
  return std::nullopt;
}

// Reads the templates as expat hands over their elements. Only the first level below a
// template is looked at: its label and that label's layouts.
class TemplateReader {
 public:
  LabelTemplates result;

  void Start(std::string_view element, const char** attributes) {
    ++depth_;
    if (element == "Template" && depth_ == 2) {
      current_ = Current{};
      for (const char** a = attributes; a[0] != nullptr; a += 2) {
        const std::string_view name = a[0];
        if (name == "brand") current_->product.maker = Clipped(a[1]);
        if (name == "part") current_->product.number = Clipped(a[1]);
        if (name == "_description" || name == "description")
          current_->product.description = Clipped(a[1]);
        if (name == "size") current_->size = Clipped(a[1]);
        if (name == "width") current_->width = TemplateLength(a[1]);
        if (name == "height") current_->height = TemplateLength(a[1]);
        if (name == "equiv") current_->equivalent = Clipped(a[1]);
      }
      return;
    }
    if (!current_ || (depth_ != 3 && depth_ != 4)) return;
    if (depth_ == 3 && element.starts_with("Label-")) {
      ++current_->labels;
      if (element != "Label-rectangle") {
        current_->why = element == "Label-round" || element == "Label-cd"
                            ? "runde Etiketten"
                            : "keine rechteckigen Etiketten";
        return;
      }
      for (const char** a = attributes; a[0] != nullptr; a += 2) {
        const std::string_view name = a[0];
        if (name == "width") current_->labelWidth = TemplateLength(a[1]);
        if (name == "height") current_->labelHeight = TemplateLength(a[1]);
        if (name == "round") current_->product.cornerRadius = TemplateLength(a[1]).value_or(0);
      }
      return;
    }
    if (depth_ == 4 && element == "Layout") {
      ++current_->layouts;
      std::optional<int> columns, rows;
      std::optional<double> left, top, across, down;
      for (const char** a = attributes; a[0] != nullptr; a += 2) {
        const std::string_view name = a[0];
        if (name == "nx") columns = TemplateCount(a[1]);
        if (name == "ny") rows = TemplateCount(a[1]);
        if (name == "x0") left = TemplateLength(a[1]);
        if (name == "y0") top = TemplateLength(a[1]);
        if (name == "dx") across = TemplateLength(a[1]);
        if (name == "dy") down = TemplateLength(a[1]);
      }
      if (columns && rows && left && top && across && down) {
        current_->product.grid = CardGrid{*columns, *rows, *left, *top, *across, *down};
        current_->layoutRead = true;
      }
    }
  }

  void End(std::string_view element) {
    if (element == "Template" && depth_ == 2 && current_) Finish(*current_);
    if (depth_ == 2) current_.reset();
    --depth_;
  }

  // Equivalents name a template of the same maker, which may come later in the file.
  void ResolveEquivalents() {
    std::map<std::string, std::size_t> byName;
    for (std::size_t i = 0; i < result.products.size(); ++i)
      byName.emplace(Lowered(result.products[i].Name()), i);
    for (const auto& [product, equivalent] : equivalents_) {
      const auto found = byName.find(Lowered(product.maker + " " + equivalent));
      if (found == byName.end()) {
        Unsupported(product.Name() + " (gleich " + equivalent + ", das fehlt)");
        continue;
      }
      if (result.products.size() >= kMaxTemplates) break;
      SheetProduct copy = result.products[found->second];
      copy.number = product.number;
      if (!product.description.empty()) copy.description = product.description;
      result.products.push_back(std::move(copy));
    }
  }

 private:
  struct Current {
    SheetProduct product;
    std::string size;
    std::optional<double> width, height;
    std::optional<double> labelWidth, labelHeight;
    std::string equivalent;
    int labels = 0;
    int layouts = 0;
    bool layoutRead = false;
    std::string why;
  };

  void Unsupported(std::string text) {
    if (result.unsupported.size() < kMaxUnsupported) result.unsupported.push_back(std::move(text));
  }

  void Finish(Current& t) {
    if (t.product.maker.empty() || t.product.number.empty()) return;
    if (!t.equivalent.empty()) {
      if (equivalents_.size() < kMaxTemplates) equivalents_.emplace_back(t.product, t.equivalent);
      return;
    }
    std::optional<SheetSize> paper = TemplatePaper(t.size);
    if (t.size == "Other" && t.width && t.height && *t.width > 0 && *t.height > 0)
      paper = SheetSize{*t.width, *t.height};
    if (t.why.empty() && !paper) t.why = "Bogenformat " + t.size + " unbekannt";
    if (t.why.empty() && t.labels != 1) t.why = "mehrere Etikettenarten";
    if (t.why.empty() && t.layouts != 1) t.why = "mehrere Raster";
    if (t.why.empty() && (!t.layoutRead || !t.labelWidth || !t.labelHeight ||
                          *t.labelWidth <= 0 || *t.labelHeight <= 0))
      t.why = "unvollständige Angaben";
    if (!t.why.empty()) {
      Unsupported(t.product.Name() + " (" + t.why + ")");
      return;
    }
    if (result.products.size() >= kMaxTemplates) return;
    t.product.sheet = *paper;
    t.product.labelWidth = *t.labelWidth;
    t.product.labelHeight = *t.labelHeight;
    result.products.push_back(std::move(t.product));
  }

  int depth_ = 0;
  std::optional<Current> current_;
  std::vector<std::pair<SheetProduct, std::string>> equivalents_;
};

TemplateReader& ReaderOf(void* parser) {
  return *static_cast<TemplateReader*>(XML_GetUserData(static_cast<XML_Parser>(parser)));
}

bool SameLayout(const SheetProduct& a, const SheetProduct& b) {
  const auto near = [](double x, double y) { return std::abs(x - y) < 0.05; };
  return near(a.sheet.width, b.sheet.width) && near(a.sheet.height, b.sheet.height) &&
         near(a.labelWidth, b.labelWidth) && near(a.labelHeight, b.labelHeight) &&
         a.grid.columns == b.grid.columns && a.grid.rows == b.grid.rows &&
         near(a.grid.left, b.grid.left) && near(a.grid.top, b.grid.top) &&
         near(a.grid.pitchAcross, b.grid.pitchAcross) && near(a.grid.pitchDown, b.grid.pitchDown);
}

}  // namespace

std::span<const SheetProduct> OwnSheetProducts() { return kOwnProducts; }

LabelTemplates ReadLabelTemplates(std::string_view xml) {
  TemplateReader reader;
  const std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
      XML_ParserCreate("UTF-8"), &XML_ParserFree);
  if (!parser) throw std::bad_alloc();
  XML_SetUserData(parser.get(), &reader);
  // Every handler gets the parser, the reader is its user data.
  XML_UseParserAsHandlerArg(parser.get());
  XML_SetElementHandler(
      parser.get(),
      [](void* parser, const XML_Char* name, const XML_Char** attributes) {
        ReaderOf(parser).Start(name, attributes);
      },
      [](void* parser, const XML_Char* name) { ReaderOf(parser).End(name); });
  // Template files have no business with entities; a file that declares any is refused rather
  // than expanded.
  XML_SetEntityDeclHandler(parser.get(), [](void* parser, const XML_Char*, int, const XML_Char*,
                                            int, const XML_Char*, const XML_Char*, const XML_Char*,
                                            const XML_Char*) {
    XML_StopParser(static_cast<XML_Parser>(parser), XML_FALSE);
  });
  if (xml.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    throw SheetError("Die Etikettenvorlagen sind zu groß.");
  if (XML_Parse(parser.get(), xml.data(), static_cast<int>(xml.size()), XML_TRUE) !=
      XML_STATUS_OK) {
    const XML_Error error = XML_GetErrorCode(parser.get());
    const std::string why = error == XML_ERROR_ABORTED ? "enthält Entitäten"
                                                        : "ist kein gültiges XML";
    throw SheetError("Die Etikettenvorlage " + why + " (Zeile " +
                     std::to_string(XML_GetCurrentLineNumber(parser.get())) + ").");
  }
  reader.ResolveEquivalents();
  return std::move(reader.result);
}

SheetCatalogue LoadSheetCatalogue(const std::vector<std::filesystem::path>& templateFolders) {
  SheetCatalogue catalogue;
  catalogue.products.assign(kOwnProducts, kOwnProducts + std::size(kOwnProducts));
  catalogue.own = catalogue.products.size();
  for (const std::filesystem::path& folder : templateFolders) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
      const std::string name = it->path().filename().string();
      if (name.ends_with("-templates.xml") && files.size() < kMaxTemplateFiles)
        files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
      try {
        LabelTemplates read = ReadLabelTemplates(ReadFile(file, kMaxTemplateFile));
        for (SheetProduct& product : read.products) {
          if (catalogue.products.size() >= kMaxTemplates) break;
          catalogue.products.push_back(std::move(product));
        }
        for (std::string& text : read.unsupported) {
          if (catalogue.unsupported.size() >= kMaxUnsupported) break;
          catalogue.unsupported.push_back(std::move(text));
        }
      } catch (const std::exception& e) {
        if (catalogue.unsupported.size() < kMaxUnsupported)
          catalogue.unsupported.push_back(file.string() + ": " + e.what());
      }
    }
  }
  return catalogue;
}

std::vector<std::filesystem::path> InstalledLabelTemplateFolders() {
  std::string dirs = "/usr/local/share:/usr/share";
  if (const char* set = std::getenv("XDG_DATA_DIRS"); set != nullptr && *set != '\0') dirs = set;
  std::vector<std::filesystem::path> folders;
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = dirs.substr(start, end - start);
    start = end + 1;
    if (dir.empty() || dir.front() != '/') continue;
    std::filesystem::path folder = std::filesystem::path(dir) / "libglabels-3.0" / "templates";
    std::error_code error;
    if (std::filesystem::is_directory(folder, error) &&
        std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(std::move(folder));
  }
  return folders;
}

std::vector<const SheetProduct*> FindSheetProducts(const SheetCatalogue& catalogue,
                                                  std::string_view query) {
  const std::string wanted = Lowered(query);
  std::vector<const SheetProduct*> found;
  for (const SheetProduct& product : catalogue.products) {
    if (Lowered(product.Name()).find(wanted) != std::string::npos ||
        Lowered(product.description).find(wanted) != std::string::npos)
      found.push_back(&product);
  }
  return found;
}

const SheetProduct& SheetProductNamed(const SheetCatalogue& catalogue, std::string_view name) {
  const std::string wanted = Lowered(name);
  std::vector<const SheetProduct*> matches;
  for (std::size_t i = 0; i < catalogue.products.size(); ++i) {
    const SheetProduct& product = catalogue.products[i];
    // Our own list is checked by hand: a match there settles it.
    if (i == catalogue.own && matches.size() == 1) return *matches.front();
    if (Lowered(product.number) == wanted || Lowered(product.Name()) == wanted)
      matches.push_back(&product);
  }
  if (matches.empty()) {
    throw SheetError("Einen vorgestanzten Bogen „" + std::string(name.substr(0, 80)) +
                     "“ gibt es nicht; quirabel-batch export --list-sheet-products nennt alle.");
  }
  // The same number from several sources is fine as long as they describe the same sheet; our own
  // entries come first and are taken.
  std::string differing;
  for (const SheetProduct* other : matches) {
    if (!SameLayout(*matches.front(), *other)) differing += ", " + other->Name();
  }
  if (!differing.empty()) {
    throw SheetError("„" + std::string(name.substr(0, 80)) + "“ ist mehrdeutig: " +
                     matches.front()->Name() + differing + "; bitte mit Hersteller angeben.");
  }
  return *matches.front();
}

SheetRequest SheetRequestOf(const SheetProduct& product) {
  SheetRequest request;
  request.sheet = product.sheet;
  request.grid = product.grid;
  request.label = SheetLabel{product.Name(), product.labelWidth, product.labelHeight};
  return request;
}

std::string SheetProductLine(const SheetProduct& product) {
  std::string line = product.Name();
  line.resize(std::max<std::size_t>(line.size() + 2, 28), ' ');
  if (!product.description.empty()) line += product.description + ", ";
  line += SizeText(product.labelWidth, product.labelHeight) + ", " +
          std::to_string(product.grid.columns) + " × " + std::to_string(product.grid.rows);
  const auto paper = [&](double w, double h) {
    return std::abs(product.sheet.width - w) < 0.05 && std::abs(product.sheet.height - h) < 0.05;
  };
  if (paper(210, 297)) {
    line += " auf A4";
  } else {
    line += " auf " + SizeText(product.sheet.width, product.sheet.height);
  }
  return line;
}

}  // namespace quirabel::report
