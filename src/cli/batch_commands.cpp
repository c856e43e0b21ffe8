#include "cli/batch_commands.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <new>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/application.h"
#include "app/command_boundary.h"
#include "app/picture_export.h"
#include "app/printing.h"
#include "base/atomic_file.h"
#include "base/version.h"
#include "cli/mail_commands.h"
#include "cli/serial_commands.h"
#include "cli/thumbnail.h"
#include "designer/guide_lines.h"
#include "designer/page_format.h"
#include "designer/page_model.h"
#include "designer/print_formats.h"
#include "report/pr_code.h"
#include "report/sheet_output.h"
#include "report/sheet_products.h"

namespace quirabel::cli {

namespace {

constexpr const char* kUsageText =
    "Aufruf:\n"
    "  quirabel-batch new (--din A4|A5|A6 [--landscape] | --mm BREITE HÖHE |\n"
    "                      --print-format NAME) -o AUS.kxp\n"
    "  quirabel-batch new --list-print-formats\n"
    "  quirabel-batch export EIN.kxp -o AUS.pdf [--force]\n"
    "                        [--sheet A4|A3|SRA3|BxH [--gap MM]\n"
    "                         [--grid SPxZE --margins LINKS,OBEN --pitch X,Y]\n"
    "                         | --sheet-product NUMMER] [--back-offset X,Y]\n"
    "  quirabel-batch export --list-sheet-products [SUCHE]\n"
    "  quirabel-batch export --duplex-test A4|A3|SRA3|BxH -o AUS.pdf\n"
    "  quirabel-batch export EIN.kxp (--png AUS.png [--dpi N] | --svg AUS.svg) [--page K]\n"
    "                        [--with-bleed] [--force]\n"
    "  quirabel-batch print EIN.kxp [--printer NAME] [--copies N] [--duplex long|short|off]\n"
    "                       [--force] [--sheet … | --sheet-product NUMMER] [--back-offset X,Y]\n"
    "  quirabel-batch print --list-printers | --duplex-test A4|A3|SRA3|BxH\n"
    "  quirabel-batch resave EIN.kxp -o AUS.kxp [--force]\n"
    "  quirabel-batch info EIN.kxp [--json]\n"
    "  quirabel-batch thumbnail EIN.kxp AUS.png [--size N]\n"
    "  quirabel-batch link EIN.kxp --csv DATEI [--sep ZEICHEN] --map FELD=SPALTE ... [-o "
    "LINKDATEI]\n"
    "  quirabel-batch serial EIN.kxp -o ORDNER [--link LINKDATEI] [--column K | --prefix TEXT]\n"
    "                        [--rows A-B] [--jobs N] [--overwrite] [--quiet]\n"
    "  quirabel-batch serial EIN.kxp --one-pdf AUS.pdf [--link LINKDATEI] [--rows A-B] [--quiet]\n"
    "                        [--sheet A4|A3|SRA3|BxH [--gap MM]\n"
    "                         [--grid SPxZE --margins LINKS,OBEN --pitch X,Y]\n"
    "                         | --sheet-product NUMMER]\n"
    "  quirabel-batch serial EIN.kxp --print [--printer NAME] [--copies N]\n"
    "                        [--duplex long|short|off] [--link LINKDATEI] [--rows A-B] [--quiet]\n"
    "                        [--sheet … | --sheet-product NUMMER]\n"
    "  quirabel-batch serial --verify ORDNER [--link LINKDATEI]\n"
    "  quirabel-batch mail DATEI.csv ORDNER --to-column K --subject TEXT --text DATEI\n"
    "                      [--sep ZEICHEN] [--eml ORDNER] [--resend | --resend-uncertain |\n"
    "                      --uncertain-as-sent] [--unlisted (--column K | --prefix TEXT)] "
    "[--quiet]\n"
    "                      [--server HOST[:PORT]] [--security none|starttls|ssl] [--from ADRESSE]\n"
    "                      [--from-name NAME] [--user NAME]\n"
    "  quirabel-batch --help | --version\n"
    "\n"
    "new     legt ein neues Projekt im gewählten Format an und speichert es; mit\n"
    "        --print-format bestellfähig: Beschnittzugabe, Schnitt-, Falz- und Perforationslinien\n"
    "        (--list-print-formats nennt die Druckformate).\n"
    "export  schreibt alle Seiten eines Projekts in eine PDF-Datei; mit --sheet so viele Karten\n"
    "        wie passen auf Druckbögen (Abstand --gap, Vorgabe 2 mm; --grid für vorgestanzte\n"
    "        Bögen: Spalten x Zeilen, erstes Feld bei --margins, die nächsten im Abstand --pitch,\n"
    "        alles in mm) mit Schnittmarken, Seite 2 gespiegelt auf dem nächsten Bogen;\n"
    "        --sheet-product nimmt Bogen und Raster eines vorgestanzten Bogens (Hersteller-\n"
    "        nummer, z. B. C32011), --list-sheet-products nennt sie, mit SUCHE nur passende;\n"
    "        --back-offset verschiebt die Rückseiten um X mm nach rechts und Y mm nach unten\n"
    "        (so wie man auf die Rückseite schaut); --duplex-test schreibt einen Probedruck,\n"
    "        an dem man diesen Versatz abliest. --png und --svg schreiben Seite K (Vorgabe 1)\n"
    "        als Bild, PNG mit N dpi (Vorgabe 300), SVG als Vektoren; eine bestellfähige Seite\n"
    "        ohne Beschnittzugabe, außer mit --with-bleed.\n"
    "print   druckt alle Seiten (oder mit --sheet die Bögen wie bei export) auf dem Drucker\n"
    "        NAME oder dem Standarddrucker: genau die PDF-Datei, die export schreibt, als ein\n"
    "        Auftrag an CUPS; --list-printers nennt die Drucker, den Standarddrucker zuerst.\n"
    "resave  öffnet ein Projekt, lädt jede Seite und speichert es unter neuem Namen.\n"
    "info    zeigt Format, Seiten und Elemente eines Projekts.\n"
    "thumbnail  schreibt Seite 1 als PNG-Bild, N Pixel an der längeren Seite (Vorgabe 256),\n"
    "        für die Vorschaubilder der Dateimanager.\n"
    "link    verknüpft die Datenfelder eines Projekts mit den Spalten einer CSV-Datei.\n"
    "serial  schreibt je Zeile der verknüpften CSV-Datei eine PDF-Datei in den ORDNER und\n"
    "        danach die Liste quirabel-serie.json; Dateien, die kein früherer Lauf des\n"
    "        Projekts geschrieben hat, ersetzt es nur mit --overwrite.\n"
    "        --one-pdf schreibt alle Zeilen Seite für Seite in eine PDF-Datei, ganz oder gar\n"
    "        nicht; mit --sheet (Optionen wie bei export) jede Zeile als eine Karte auf den\n"
    "        nächsten Platz der Druckbögen. --print schickt dieselbe Datei als einen Auftrag\n"
    "        an den Drucker (wie print).\n"
    "        --verify prüft, ob die Serien-PDF-Listen im ORDNER (auch die von Teilen mit\n"
    "        --rows) jede Zeile der CSV-Datei genau einmal nennen, mit unveränderter PDF-Datei.\n"
    "mail    sendet jeder Zeile der CSV-Datei ihre PDF-Datei aus dem ORDNER an die Adresse in\n"
    "        Spalte K (--eml: als Dateien statt senden), gepaart über die Serien-PDF-Liste des\n"
    "        ORDNERS, jede Mail höchstens einmal (versand.log); das Passwort kommt aus\n"
    "        QUIRABEL_SMTP_PASSWORD oder der Einstellungsdatei.\n"
    "\n"
    "serial und mail zeigen auf einem Terminal eine Fortschrittszeile (Anzahl, Rate,\n"
    "Restzeit) auf der Standardfehlerausgabe; --quiet schaltet sie ab.\n"
    "Lässt das Lesen eines Projekts etwas aus (beschädigte Elemente oder Seiten), schreiben\n"
    "export und resave nichts und enden mit 1; --force schreibt trotzdem.\n";

constexpr const char* kVersionText = "quirabel-batch " QUIRABEL_VERSION "\n";

// A wrong call; the text says what is wrong, in the words of the usage text.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One line per print format: the name to give, the name shown, the sizes and the lines.
std::string PrintFormatList() {
  std::string list;
  for (const designer::PrintFormat& f : designer::PrintFormats()) {
    const designer::PageFormat page = designer::PageFormatOf(f);
    std::string line = std::string(f.key);
    line.resize(std::max<std::size_t>(line.size() + 2, 28), ' ');
    line += std::string(f.name) + ": " + std::to_string(f.trimmedWidthMm) + " × " +
            std::to_string(f.trimmedHeightMm) + " mm, Seite " + page.widthMm + " × " +
            page.heightMm + " mm";
    const auto count = [&](int n, const char* one, const char* many) {
      if (n > 0) line += ", " + (n == 1 ? std::string(one) : std::to_string(n) + " " + many);
    };
    count(f.verticalFolds, "ein Falz senkrecht", "Falze senkrecht");
    count(f.horizontalFolds, "ein Falz waagerecht", "Falze waagerecht");
    count(f.verticalPerforations, "eine Perforation senkrecht", "Perforationen senkrecht");
    count(f.horizontalPerforations, "eine Perforation waagerecht", "Perforationen waagerecht");
    list += line + "\n";
  }
  return list;
}

// What the command line asks for.
struct Call {
  std::string command;  // empty when none was given
  std::vector<std::string> projects;
  std::string output;
  std::string din;
  bool landscape = false;
  std::vector<std::string> mm;
  std::string printFormat;
  bool listPrintFormats = false;
  bool json = false;
  bool force = false;
  std::string size;   // thumbnail
  std::string sheet;  // export on sheets
  std::string gap;
  std::string grid;
  std::string margins;
  std::string pitch;
  std::string sheetProduct;  // a pre-cut sheet by its maker's number
  std::string backOffset;
  std::string duplexTest;  // the sheet of a duplex test print
  std::string png;         // export a page as a picture
  std::string svg;
  std::string dpi;
  std::string page;
  bool withBleed = false;
  bool listSheetProducts = false;
  std::string sheetProductQuery;
  std::string printer;  // print
  std::string copies;
  std::string duplex;
  bool listPrinters = false;
  LinkCall link;
  SerialCall serial;
  MailCall mail;
  bool help = false;
  bool version = false;
};

// `link` and `serial`: their options, each taking one value per occurrence.
template <typename AddCommand, typename AddOutput>
void AddSerialCommands(AddCommand& addCommand, AddOutput& addOutput, Call& call,
                       std::vector<std::pair<const CLI::Option*, std::string>>& missingValueTexts) {
  // An empty value ("--rows ''") is a wrong call, not the option left out.
  auto option = [&](CLI::App& command, const char* name, std::string& value) {
    const std::string text = std::string(name) + " braucht einen Wert";
    missingValueTexts.emplace_back(command.add_option(name, value)
                                       ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
                                       ->each([text](const std::string& given) {
                                         if (given.empty()) throw UsageError(text);
                                       }),
                                   text);
  };
  CLI::App* link = addCommand("link");
  link->add_option("project", call.projects);
  addOutput(*link);
  option(*link, "--csv", call.link.csv);
  option(*link, "--sep", call.link.separator);
  missingValueTexts.emplace_back(link->add_option("--map", call.link.maps)->allow_extra_args(false),
                                 "--map braucht FELD=SPALTE");

  CLI::App* serial = addCommand("serial");
  serial->add_option("project", call.projects);
  addOutput(*serial);
  option(*serial, "--link", call.serial.link);
  option(*serial, "--column", call.serial.column);
  option(*serial, "--prefix", call.serial.prefix);
  option(*serial, "--rows", call.serial.rows);
  option(*serial, "--jobs", call.serial.jobs);
  option(*serial, "--verify", call.serial.verify);
  option(*serial, "--one-pdf", call.serial.onePdf);
  option(*serial, "--sheet", call.sheet);
  option(*serial, "--gap", call.gap);
  option(*serial, "--grid", call.grid);
  option(*serial, "--margins", call.margins);
  option(*serial, "--pitch", call.pitch);
  option(*serial, "--sheet-product", call.sheetProduct);
  option(*serial, "--back-offset", call.backOffset);
  option(*serial, "--printer", call.printer);
  option(*serial, "--copies", call.copies);
  option(*serial, "--duplex", call.duplex);
  serial->add_flag("--print", call.serial.print);
  serial->add_flag("--overwrite", call.serial.overwrite);
  serial->add_flag("--quiet", call.serial.quiet);
}

// Reads the command line. Each command takes only its own options, in any order; a wrong call
// raises UsageError.
Call ReadCall(const std::vector<std::string>& args) {
  Call call;
  CLI::App app("", "quirabel-batch");
  app.set_help_flag();  // the help is our own text
  app.allow_extras();   // what nothing takes is reported below, in our words
  app.require_subcommand(0, 1);
  app.add_flag("-h,--help", call.help);
  app.add_flag("--version", call.version);

  // The German complaint for each option whose value is missing.
  std::vector<std::pair<const CLI::Option*, std::string>> missingValueTexts;
  auto addOutput = [&](CLI::App& command) {
    missingValueTexts.emplace_back(command.add_option("-o,--output", call.output)
                                       ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast),
                                   "-o braucht einen Wert");
  };
  auto addCommand = [&](const char* name) {
    CLI::App* command = app.add_subcommand(name);
    command->allow_extras();
    // Every command's --help prints the help, as the program's own does.
    command->set_help_flag();
    command->add_flag("-h,--help", call.help);
    return command;
  };

  CLI::Option* listSheetProducts = nullptr;
  CLI::App* newCommand = addCommand("new");
  addOutput(*newCommand);
  missingValueTexts.emplace_back(newCommand->add_option("--din", call.din)
                                     ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast),
                                 "--din braucht einen Wert");
  newCommand->add_flag("--landscape", call.landscape);
  // Width and height are always the next two arguments, whatever they look like.
  std::pair<std::string, std::string> widthAndHeight;
  CLI::Option* mmOption = newCommand->add_option("--mm", widthAndHeight)
                              ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  missingValueTexts.emplace_back(mmOption, "--mm braucht Breite und Höhe");
  missingValueTexts.emplace_back(newCommand->add_option("--print-format", call.printFormat)
                                     ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast),
                                 "--print-format braucht einen Namen");
  newCommand->add_flag("--list-print-formats", call.listPrintFormats);
  for (const char* name : {"export", "print", "resave", "info"}) {
    CLI::App* command = addCommand(name);
    command->add_option("project", call.projects);
    if (std::string(name) == "info") {
      command->add_flag("--json", call.json);
    } else if (std::string(name) == "print") {
      command->add_flag("--force", call.force);
      command->add_flag("--list-printers", call.listPrinters);
      for (auto [option, value] :
           {std::pair{"--printer", &call.printer}, std::pair{"--copies", &call.copies},
            std::pair{"--duplex", &call.duplex}}) {
        missingValueTexts.emplace_back(command->add_option(option, *value)
                                           ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast),
                                       std::string(option) + " braucht einen Wert");
      }
    } else {
      addOutput(*command);
      command->add_flag("--force", call.force);
    }
    if (std::string(name) == "export" || std::string(name) == "print") {
      for (auto [option, value] :
           {std::pair{"--sheet", &call.sheet}, std::pair{"--gap", &call.gap},
            std::pair{"--grid", &call.grid}, std::pair{"--margins", &call.margins},
            std::pair{"--pitch", &call.pitch}, std::pair{"--sheet-product", &call.sheetProduct},
            std::pair{"--back-offset", &call.backOffset},
            std::pair{"--duplex-test", &call.duplexTest}}) {
        missingValueTexts.emplace_back(command->add_option(option, *value)
                                           ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast),
                                       std::string(option) + " braucht einen Wert");
      }
      if (std::string(name) == "export") {
        for (auto [option, value] :
             {std::pair{"--png", &call.png}, std::pair{"--svg", &call.svg},
              std::pair{"--dpi", &call.dpi}, std::pair{"--page", &call.page}}) {
          missingValueTexts.emplace_back(
              command->add_option(option, *value)
                  ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast),
              std::string(option) + " braucht einen Wert");
        }
        command->add_flag("--with-bleed", call.withBleed);
        listSheetProducts = command->add_option("--list-sheet-products", call.sheetProductQuery)
                                ->expected(0, 1);
      }
    }
  }

  CLI::App* thumbnail = addCommand("thumbnail");
  thumbnail->add_option("files", call.projects);
  missingValueTexts.emplace_back(thumbnail->add_option("--size", call.size)
                                     ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast),
                                 "--size braucht einen Wert");

  AddSerialCommands(addCommand, addOutput, call, missingValueTexts);
  AddMailOptions(*addCommand("mail"), call.mail, missingValueTexts);

  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ArgumentMismatch& e) {
    // The message starts with the option's name: "--mm: 2 required TEXT missing".
    const std::string_view what = e.what();
    for (const auto& [option, text] : missingValueTexts) {
      if (what.starts_with(option->get_name() + ":")) throw UsageError(text);
    }
    throw UsageError(std::string("falsche Zahl von Werten: ") + e.what());
  } catch (const CLI::ParseError& e) {
    throw UsageError(std::string("Aufruf nicht verstanden: ") + e.what());
  }
  if (call.help || call.version) return call;
  if (mmOption->count() > 0) call.mm = {widthAndHeight.first, widthAndHeight.second};
  call.listSheetProducts = listSheetProducts->count() > 0;

  for (const CLI::App* command : app.get_subcommands()) call.command = command->get_name();
  for (const std::string& extra : app.remaining(true)) {
    if (extra.size() > 1 && extra[0] == '-') throw UsageError("unbekannte Option " + extra);
    if (call.command.empty()) throw UsageError("unbekannter Befehl " + extra);
    throw UsageError("unerwartetes Argument " + extra);
  }
  if (call.command.empty()) throw UsageError("kein Befehl");
  return call;
}

// A whole number from `from` to `to` written in digits only; none for anything else.
std::optional<int> WholeNumber(std::string_view text, int from, int to) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int value = std::stoi(std::string(text));
  if (value < from || value > to) return std::nullopt;
  return value;
}

// A length in millimetres, "12" or "12.5"; none for anything else.
std::optional<double> Millimetres(std::string_view text) {
  if (text.empty() || text.size() > 12 ||
      text.find_first_not_of("0123456789.") != std::string::npos)
    return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Two values separated by `between` ("2x5", "15,13.5").
std::optional<std::pair<double, double>> TwoMillimetres(std::string_view text, char between) {
  const std::size_t at = text.find(between);
  if (at == std::string_view::npos) return std::nullopt;
  const auto first = Millimetres(text.substr(0, at));
  const auto second = Millimetres(text.substr(at + 1));
  if (!first || !second) return std::nullopt;
  return std::pair{*first, *second};
}

// The pre-cut sheet `--sheet-product` names, from our own list and the installed label templates.
report::SheetRequest ReadSheetProductRequest(const Call& call) {
  if (!call.sheet.empty() || !call.gap.empty() || !call.grid.empty() || !call.margins.empty() ||
      !call.pitch.empty())
    throw UsageError("--sheet-product gilt ohne --sheet, --gap, --grid, --margins und --pitch");
  const report::SheetCatalogue catalogue =
      report::LoadSheetCatalogue(report::InstalledLabelTemplateFolders());
  try {
    return report::SheetRequestOf(report::SheetProductNamed(catalogue, call.sheetProduct));
  } catch (const report::SheetError& unknown) {
    throw UsageError(unknown.what());
  }
}

// The pre-cut sheets we know, those matching `query` when one is given.
int ListSheetProducts(const std::string& query) {
  const report::SheetCatalogue catalogue =
      report::LoadSheetCatalogue(report::InstalledLabelTemplateFolders());
  const auto found = report::FindSheetProducts(catalogue, query);
  for (const report::SheetProduct* product : found)
    std::cout << report::SheetProductLine(*product) << '\n';
  if (found.empty()) {
    std::cerr << "quirabel-batch: kein vorgestanzter Bogen passt zu „" << query.substr(0, 80)
              << "“\n";
    return kExitFailed;
  }
  return kExitOk;
}

// The sheets `export --sheet` asks for, without the back offset.
report::SheetRequest ReadSheetLayoutRequest(const Call& call) {
  if (!call.sheetProduct.empty()) return ReadSheetProductRequest(call);
  const auto sheet = report::SheetSizeOfName(call.sheet);
  if (!sheet) throw UsageError("--sheet kennt A4, A3, SRA3 und BREITExHÖHE in mm (10 bis 2000)");
  report::SheetRequest request{*sheet, 2.0, std::nullopt};
  if (!call.gap.empty()) {
    const auto gap = Millimetres(call.gap);
    if (!gap || *gap > 100) throw UsageError("--gap braucht einen Abstand von 0 bis 100 mm");
    request.gap = *gap;
  }
  const bool anyGrid = !call.grid.empty() || !call.margins.empty() || !call.pitch.empty();
  if (!anyGrid) return request;
  if (call.grid.empty() || call.margins.empty() || call.pitch.empty())
    throw UsageError("--grid, --margins und --pitch gehören zusammen");
  if (!call.gap.empty()) throw UsageError("--gap gilt nicht mit --grid");
  const auto grid = TwoMillimetres(call.grid, 'x');
  const auto margins = TwoMillimetres(call.margins, ',');
  const auto pitch = TwoMillimetres(call.pitch, ',');
  const auto whole = [](double n) { return n >= 1 && n <= 100 && n == std::floor(n); };
  if (!grid || !whole(grid->first) || !whole(grid->second))
    throw UsageError("--grid braucht SPALTENxZEILEN, je 1 bis 100");
  if (!margins) throw UsageError("--margins braucht LINKS,OBEN in mm");
  if (!pitch || pitch->first <= 0 || pitch->second <= 0)
    throw UsageError("--pitch braucht X,Y in mm, größer als 0");
  request.grid = report::CardGrid{static_cast<int>(grid->first),
                                  static_cast<int>(grid->second),
                                  margins->first,
                                  margins->second,
                                  pitch->first,
                                  pitch->second};
  return request;
}

// `export --duplex-test SHEET -o F.pdf` and `print --duplex-test SHEET`: the two-sided test sheet.
int DuplexTest(const Call& call, app::Application& application,
               const app::PrintOptions& printOptions) {
  if (!call.projects.empty() || !call.sheet.empty() || !call.sheetProduct.empty())
    throw UsageError("--duplex-test nimmt keine Projektdatei und kein --sheet");
  const auto sheet = report::SheetSizeOfName(call.duplexTest);
  if (!sheet)
    throw UsageError("--duplex-test kennt A4, A3, SRA3 und BREITExHÖHE in mm (10 bis 2000)");
  const std::string pdf = report::DuplexTestSheetPdf(*sheet);
  if (call.command == "print") {
    const auto job = app::PrintPdfBytes(application, pdf, printOptions);
    if (!job) return kExitFailed;
    std::cout << "Probedruck Duplex: Auftrag " << *job << " gesendet.\n";
    return kExitOk;
  }
  if (call.output.empty()) throw UsageError("--duplex-test braucht -o AUS.pdf");
  WriteFileAtomic(call.output, pdf);
  return kExitOk;
}

// The printer and its options `print` asks for.
app::PrintOptions ReadPrintOptions(const Call& call) {
  app::PrintOptions options;
  options.printer = call.printer;
  if (!call.copies.empty()) {
    const auto copies = WholeNumber(call.copies, 1, 999);
    if (!copies) throw UsageError("--copies braucht eine Zahl von 1 bis 999");
    options.copies = *copies;
  }
  if (call.duplex == "long") {
    options.duplex = app::Duplex::longEdge;
  } else if (call.duplex == "short") {
    options.duplex = app::Duplex::shortEdge;
  } else if (call.duplex == "off") {
    options.duplex = app::Duplex::off;
  } else if (!call.duplex.empty()) {
    throw UsageError("--duplex kennt long, short und off");
  }
  return options;
}

// The sheets `export --sheet` (or --sheet-product) asks for, their backs moved by --back-offset.
report::SheetRequest ReadSheetRequest(const Call& call) {
  report::SheetRequest request = ReadSheetLayoutRequest(call);
  if (call.backOffset.empty()) return request;
  const std::size_t comma = call.backOffset.find(',');
  const auto signedMillimetres = [](std::string_view text) -> std::optional<double> {
    const bool negative = text.starts_with('-');
    const auto value = Millimetres(negative ? text.substr(1) : text);
    if (!value || *value > report::kLargestBackOffset) return std::nullopt;
    return negative ? -*value : *value;
  };
  const auto across = signedMillimetres(std::string_view(call.backOffset).substr(0, comma));
  const auto down = comma == std::string::npos
                        ? std::nullopt
                        : signedMillimetres(std::string_view(call.backOffset).substr(comma + 1));
  if (!across || !down)
    throw UsageError("--back-offset braucht X,Y in mm, je -20 bis 20 (rechts und unten positiv)");
  request.backOffset = {*across, *down};
  return request;
}

// The folder for templates and scratch files, as the designer finds it.
std::string ProgramFolder() {
  if (const char* home = std::getenv("QUIRABEL_HOME"); home != nullptr && *home != '\0')
    return home;
  return {};
}

// The guide lines of the page on screen and the distance labels it shows.
void AddGuideLines(const designer::GuideLines& guides, nlohmann::ordered_json* json,
                   std::string& out) {
  using designer::GuideKind;
  struct KindText {
    const char* key;
    const char* words;
  };
  const auto textOf = [](GuideKind kind) -> KindText {
    switch (kind) {
      case GuideKind::VerticalFold:
        return {"verticalFold", "Falz senkrecht"};
      case GuideKind::HorizontalFold:
        return {"horizontalFold", "Falz waagerecht"};
      case GuideKind::VerticalPerforation:
        return {"verticalPerforation", "Perforation senkrecht"};
      case GuideKind::HorizontalPerforation:
        break;
    }
    return {"horizontalPerforation", "Perforation waagerecht"};
  };
  const auto millimetres = [](double mm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", mm);
    return std::string(text);
  };
  if (json != nullptr) (*json)["guideLines"] = nlohmann::ordered_json::array();
  for (const designer::GuideLineInfo& line : guides.Lines()) {
    const KindText kind = textOf(line.kind);
    if (json != nullptr) {
      (*json)["guideLines"].push_back({{"kind", kind.key},
                                       {"number", line.number},
                                       {"positionPx", line.position},
                                       {"positionMm", std::round(line.millimetres * 10) / 10}});
    } else {
      out += std::string("  Linie ") + kind.words + " " + std::to_string(line.number) + " bei " +
             millimetres(line.millimetres) + " mm (" + std::to_string(line.position) + " Pixel)\n";
    }
  }
  if (json != nullptr) (*json)["distanceLabels"] = nlohmann::ordered_json::array();
  for (GuideKind kind : designer::projectfile::kGuideKinds) {
    std::vector<std::string> shown;
    for (int k = 0; k <= guides.Count(kind); ++k) {
      const ui::TLabel* label = guides.Label(kind, k);
      if (label != nullptr && label->Visible()) shown.push_back(label->Caption());
    }
    if (shown.empty()) continue;
    if (json != nullptr) {
      (*json)["distanceLabels"].push_back({{"kind", textOf(kind).key}, {"texts", shown}});
    } else {
      out += std::string("  Abstände ") + textOf(kind).words + ":";
      for (const std::string& text : shown) out += " " + text;
      out += "\n";
    }
  }
}

int Info(app::Application& application, bool json) {
  using Json = nlohmann::ordered_json;
  designer::ProjectState& state = application.State();
  std::string out;
  Json document;
  if (json) {
    document["file"] = state.projectFileName;
    document["format"] = {{"type", state.docType},
                          {"widthMm", state.formatWidthText},
                          {"heightMm", state.formatHeightText}};
    document["pages"] = Json::array();
  } else {
    out += "Datei: " + state.projectFileName +
           "\nFormat: " + (state.docType.empty() ? std::string("frei") : state.docType) + ", " +
           state.formatWidthText + " x " + state.formatHeightText +
           " mm\nSeiten: " + std::to_string(state.pageCount) + "\n";
  }
  const char orderMark = state.sampleTemplateDocument ? '2' : state.orderDocument ? '1' : '0';
  if (json) {
    document["orderMark"] = std::string(1, orderMark);
  } else {
    out += std::string("Bestellmarke: ") + orderMark +
           (orderMark == '2'   ? " (bestellfähig, aus Mustervorlage)"
            : orderMark == '1' ? " (bestellfähig)"
                               : " (frei)") +
           "\n";
  }
  // Every page is shown: they are read side by side first.
  if (application.Page() != nullptr) application.Page()->ReadAllPages();
  for (int page = 1; page <= state.pageCount; ++page) {
    if (!application.GoToPage(page)) return kExitFailed;
    const designer::PageModel& model = *application.Page();
    Json pageJson;
    if (json) {
      pageJson = {{"page", page},
                  {"widthPx", model.PagePanel().Width()},
                  {"heightPx", model.PagePanel().Height()},
                  {"elements", Json::array()}};
    } else {
      out += "\nSeite " + std::to_string(page) + " (" + std::to_string(model.PagePanel().Width()) +
             " x " + std::to_string(model.PagePanel().Height()) + " Pixel)\n";
    }
    for (const designer::PageElement& e : model.Elements()) {
      const designer::ElementText shown = designer::TextOf(*e.item);
      const std::string& text = shown.text;
      const std::string& field = shown.dataField;
      const std::string kind(designer::TypeOf(e.kind).key);
      if (json) {
        pageJson["elements"].push_back({{"kind", kind},
                                        {"name", e.item->Name()},
                                        {"number", e.number},
                                        {"left", e.item->Left()},
                                        {"top", e.item->Top()},
                                        {"width", e.item->Width()},
                                        {"height", e.item->Height()},
                                        {"text", text},
                                        {"dataField", field}});
        if (e.kind == designer::ElementKind::Code) {
          // A code lists its content as "text"; its kind and the data fields of its content.
          const auto& code = static_cast<const report::TPRCode&>(*e.item);
          static constexpr const char* kCodeKinds[] = {"qr", "datamatrix", "code128", "ean13"};
          static constexpr const char* kCorrections[] = {"L", "M", "Q", "H"};
          pageJson["elements"].back()["code"] = {
              {"kind", kCodeKinds[static_cast<int>(code.CodeKind())]},
              {"correction", kCorrections[static_cast<int>(code.Correction())]},
              {"dataFields", designer::DataFieldsOf(code)}};
        }
      } else {
        std::string oneLine = text;
        for (char& c : oneLine) {
          if (c == '\r' || c == '\n') c = ' ';
        }
        out += "  " + kind + " " + e.item->Name() + " Nr. " + std::to_string(e.number) + " bei (" +
               std::to_string(e.item->Left()) + ", " + std::to_string(e.item->Top()) + ") " +
               std::to_string(e.item->Width()) + " x " + std::to_string(e.item->Height()) +
               (oneLine.empty() ? "" : " \"" + oneLine + "\"") +
               (field.empty() ? "" : " Datenfeld " + field) + "\n";
      }
    }
    AddGuideLines(model.Guides(), json ? &pageJson : nullptr, out);
    if (json) document["pages"].push_back(std::move(pageJson));
  }
  // Bytes that are not UTF-8 become U+FFFD rather than stopping the output.
  if (json) out = document.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
  std::cout << out;
  return kExitOk;
}

// `link` and `serial` on the project named.
int RunSerialCommand(const Call& call, BatchPlatform& platform) {
  if (call.command == "serial" && !call.serial.verify.empty()) {
    if (!call.projects.empty() || !call.output.empty() || !call.serial.column.empty() ||
        !call.serial.prefix.empty() || !call.serial.rows.empty() || !call.serial.jobs.empty())
      throw UsageError("serial --verify nimmt nur ORDNER und --link");
    return RunVerifyCall(call.serial, platform);
  }
  if (call.projects.size() != 1)
    throw UsageError(call.command + " braucht genau eine Projektdatei");
  if (call.command == "serial" && call.serial.print) {
    if (!call.output.empty() || !call.serial.onePdf.empty() || !call.serial.column.empty() ||
        !call.serial.prefix.empty() || !call.serial.jobs.empty() || call.serial.overwrite)
      throw UsageError(
          "serial --print nimmt weder -o noch --one-pdf, --column, --prefix, --jobs, --overwrite");
  } else if (!call.printer.empty() || !call.copies.empty() || !call.duplex.empty()) {
    throw UsageError("--printer, --copies und --duplex gelten nur mit --print");
  }
  if (call.command == "serial" && call.serial.print) {
    // checked above
  } else if (call.command == "serial" && !call.serial.onePdf.empty()) {
    if (!call.output.empty() || !call.serial.column.empty() || !call.serial.prefix.empty() ||
        !call.serial.jobs.empty() || call.serial.overwrite)
      throw UsageError(
          "serial --one-pdf nimmt weder -o noch --column, --prefix, --jobs, --overwrite");
  } else if (call.command == "serial" && call.output.empty()) {
    throw UsageError("serial braucht -o ORDNER oder --one-pdf DATEI");
  }
  const bool anySheetOption = !call.sheet.empty() || !call.gap.empty() || !call.grid.empty() ||
                              !call.margins.empty() || !call.pitch.empty() ||
                              !call.sheetProduct.empty() || !call.backOffset.empty();
  if (anySheetOption && call.serial.onePdf.empty() && !call.serial.print)
    throw UsageError(
        "--sheet, --sheet-product, --gap, --grid, --margins und --pitch gelten nur mit --one-pdf "
        "oder --print");
  if (anySheetOption && call.sheet.empty() && call.sheetProduct.empty())
    throw UsageError("--gap, --grid, --margins, --pitch und --back-offset gelten nur mit --sheet");
  SerialCall serial = call.serial;
  serial.folder = call.output;
  if (serial.print) serial.printOptions = ReadPrintOptions(call);
  if (!call.sheet.empty() || !call.sheetProduct.empty()) serial.sheets = ReadSheetRequest(call);
  app::Application application(platform, DesignerProgramFolder());
  if (!application.OpenProject(call.projects.front())) return kExitFailed;
  try {
    if (call.command == "link") {
      LinkCall link = call.link;
      link.output = call.output;
      return RunLinkCall(link, application, platform);
    }
    return RunSerialCall(serial, application);
  } catch (const std::invalid_argument& wrong) {
    throw UsageError(wrong.what());
  }
}

int RunCall(const Call& call, BatchPlatform& platform) {
  if (call.command == "mail") {
    try {
      return RunMailCall(call.mail);
    } catch (const std::invalid_argument& wrong) {
      throw UsageError(wrong.what());
    }
  }
  app::Application application(platform, ProgramFolder());

  if (call.command == "new") {
    if (call.listPrintFormats) {
      std::cout << PrintFormatList();
      return kExitOk;
    }
    if (call.output.empty()) throw UsageError("new braucht -o AUS.kxp");
    designer::PageFormat format;
    const designer::PrintFormat* printFormat = nullptr;
    const int sizeChoices =
        int{!call.din.empty()} + int{!call.mm.empty()} + int{!call.printFormat.empty()};
    if (sizeChoices > 1) throw UsageError("new braucht entweder --din, --mm oder --print-format");
    if (!call.printFormat.empty()) {
      printFormat = designer::FindPrintFormat(call.printFormat);
      if (printFormat == nullptr) {
        throw UsageError("--print-format kennt „" + call.printFormat +
                         "“ nicht; quirabel-batch new --list-print-formats nennt die Druckformate");
      }
      format = designer::PageFormatOf(*printFormat);
    } else if (!call.din.empty() && call.mm.empty()) {
      const std::string& din = call.din;
      if (din != "A4" && din != "A5" && din != "A6") throw UsageError("--din kennt A4, A5 und A6");
      format = designer::DinFormat(din == "A4"   ? designer::DinSize::A4
                                   : din == "A5" ? designer::DinSize::A5
                                                 : designer::DinSize::A6,
                                   call.landscape);
    } else if (call.din.empty() && call.mm.size() == 2) {
      if (!designer::IsWholeMillimetres(call.mm[0]) || !designer::IsWholeMillimetres(call.mm[1])) {
        platform.ShowMessage(dialogs::kInvalidMillimetres);
        return kExitFailed;
      }
      format = {"", designer::PlainDecimal(call.mm[0]), designer::PlainDecimal(call.mm[1])};
    } else {
      throw UsageError("new braucht entweder --din oder --mm");
    }
    if (!application.NewDocument(format, printFormat)) return kExitFailed;
    platform.fileNames.push_back(call.output);
    return application.Save() ? kExitOk : kExitFailed;
  }

  if (call.command == "link" || call.command == "serial") return RunSerialCommand(call, platform);

  if (call.command == "thumbnail") {
    if (call.projects.size() != 2) throw UsageError("thumbnail braucht EIN.kxp und AUS.png");
    int size = 256;
    if (!call.size.empty()) {
      const auto asked = WholeNumber(call.size, kMinThumbnailSize, kMaxThumbnailSize);
      if (!asked) throw UsageError("--size braucht eine Zahl von 16 bis 2048");
      size = *asked;
    }
    FenceThumbnailProcess();
    // Nothing but the small picture is made of the project: its bitmaps need no more pixels.
    application.State().previewPixels = size;
    if (!application.OpenProject(call.projects[0])) return kExitFailed;
    return WriteThumbnail(application, call.projects[1], size) ? kExitOk : kExitFailed;
  }

  if (call.command == "export" && call.listSheetProducts) {
    if (!call.projects.empty() || !call.output.empty())
      throw UsageError("--list-sheet-products nimmt keine Projektdatei und kein -o");
    return ListSheetProducts(call.sheetProductQuery);
  }

  if (call.command == "print" && call.listPrinters) {
    if (!call.projects.empty()) throw UsageError("--list-printers nimmt keine Projektdatei");
    const auto printers = app::ListPrinters(application);
    if (!printers) return kExitFailed;
    for (const std::string& printer : *printers) std::cout << printer << '\n';
    return kExitOk;
  }
  app::PrintOptions printOptions;
  if (call.command == "print") printOptions = ReadPrintOptions(call);
  if (!call.duplexTest.empty()) return DuplexTest(call, application, printOptions);

  // export, print, resave, info
  if (call.projects.size() != 1)
    throw UsageError(call.command + " braucht genau eine Projektdatei");
  const bool picture = !call.png.empty() || !call.svg.empty();
  if (picture && (!call.output.empty() || !call.png.empty() + !call.svg.empty() != 1))
    throw UsageError("export nimmt entweder -o, --png oder --svg");
  if (!picture && (!call.dpi.empty() || !call.page.empty() || call.withBleed))
    throw UsageError("--dpi, --page und --with-bleed gelten nur mit --png oder --svg");
  if (call.command != "info" && call.command != "print" && call.output.empty() && !picture)
    throw UsageError(call.command + " braucht -o");
  std::optional<report::SheetRequest> sheetRequest;
  if (!call.sheet.empty() || !call.sheetProduct.empty()) {
    sheetRequest = ReadSheetRequest(call);
  } else if (!call.gap.empty() || !call.grid.empty() || !call.margins.empty() ||
             !call.pitch.empty() || !call.backOffset.empty()) {
    throw UsageError("--gap, --grid, --margins, --pitch und --back-offset gelten nur mit --sheet");
  }
  if (!application.OpenProject(call.projects.front())) return kExitFailed;
  if (call.command == "info") return Info(application, call.json);
  // Every page is read before anything is written: what reading left out is named, and nothing
  // is written that would silently lack it.
  if (!application.VisitAllPages()) return kExitFailed;
  const auto& losses = application.State().readLosses;
  for (const auto& [page, lost] : losses) platform.ShowMessage(lost);
  if (!losses.empty() && !call.force) {
    platform.ShowMessage(
        "Es wurde nichts geschrieben, weil beim Lesen etwas verloren ginge "
        "(mit --force wird trotzdem geschrieben).");
    return kExitFailed;
  }
  if (picture) {
    if (sheetRequest) throw UsageError("--png und --svg gelten nicht mit --sheet");
    const auto dpi = call.dpi.empty() ? std::optional<int>(300) : WholeNumber(call.dpi, 10, app::kMaxPictureDpi);
    if (!dpi) throw UsageError("--dpi braucht eine Zahl von 10 bis 1200");
    const auto page = call.page.empty() ? std::optional<int>(1) : WholeNumber(call.page, 1, 99999);
    if (!page) throw UsageError("--page braucht eine Seitenzahl ab 1");
    const bool png = !call.png.empty();
    return app::ExportPicture(application, png ? call.png : call.svg,
                              png ? app::PictureKind::png : app::PictureKind::svg, *page - 1, *dpi,
                              call.withBleed)
               ? kExitOk
               : kExitFailed;
  }
  if (call.command == "print") {
    const auto job = app::PrintDocument(application, printOptions, sheetRequest);
    if (!job) return kExitFailed;
    std::cout << "Auftrag " << *job << " an " << PrinterText(printOptions) << " gesendet.\n";
    return kExitOk;
  }
  if (call.command == "export" && sheetRequest) {
    const auto cards = application.ExportSheetPdfTo(call.output, *sheetRequest);
    if (!cards) return kExitFailed;
    std::cout << report::SheetCountLines(*cards,
                                         static_cast<std::size_t>(application.State().pageCount));
    return kExitOk;
  }
  if (call.command == "export") {
    platform.fileNames.push_back(call.output);
    return application.ExportPdf() ? kExitOk : kExitFailed;
  }
  return application.SaveProjectTo(call.output) ? kExitOk : kExitFailed;
}

}  // namespace

int RunBatchCommand(const std::vector<std::string>& args, BatchPlatform& platform) {
  try {
    const Call call = ReadCall(args);
    if (call.help) {
      std::cout << kUsageText;
      return kExitOk;
    }
    if (call.version) {
      std::cout << kVersionText;
      return kExitOk;
    }
    return RunCall(call, platform);
  } catch (const UsageError& problem) {
    std::cerr << "quirabel-batch: " << problem.what() << "\n\n" << kUsageText;
    return kExitUsage;
  }
}

int RunGuarded(const std::function<int()>& command) {
  int exitCode = kExitFailed;
  try {
    exitCode = command();
  } catch (...) {
    // In the designer's words, as its message box would say it.
    std::cerr << "quirabel-batch: " << app::CurrentFailureMessage() << '\n';
    return kExitFailed;
  }
  // What a command wrote must have arrived, or it did not succeed.
  if (!std::cout.flush()) {
    std::cerr << "quirabel-batch: die Ausgabe konnte nicht geschrieben werden\n";
    return kExitFailed;
  }
  return exitCode;
}

}  // namespace quirabel::cli
