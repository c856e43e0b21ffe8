// quirabel-batch: the designer's jobs without a display.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "base/cp1252.h"
#include "base/version.h"
#include "cli/batch_platform.h"
#include "designer/page_format.h"

namespace {

using namespace quirabel;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr const char* kUsageText =
    "Aufruf:\n"
    "  quirabel-batch new (--din A4|A5|A6 [--landscape] | --mm BREITE HÖHE) -o AUS.kxp\n"
    "  quirabel-batch export EIN.kxp -o AUS.pdf\n"
    "  quirabel-batch resave EIN.kxp -o AUS.kxp\n"
    "  quirabel-batch info EIN.kxp [--json]\n"
    "  quirabel-batch --help | --version\n"
    "\n"
    "new     legt ein neues Projekt im gewählten Format an und speichert es.\n"
    "export  schreibt alle Seiten eines Projekts in eine PDF-Datei.\n"
    "resave  öffnet ein Projekt, lädt jede Seite und speichert es unter neuem Namen.\n"
    "info    zeigt Format, Seiten und Elemente eines Projekts.\n";

int Usage(const std::string& problem) {
  std::cerr << "quirabel-batch: " << problem << "\n\n" << kUsageText;
  return kUsage;
}

// The folder for templates and scratch files, as the designer finds it.
std::string ProgramFolder() {
  if (const char* home = std::getenv("QUIRABEL_HOME"); home != nullptr && *home != '\0')
    return home;
  return {};
}

struct Arguments {
  std::vector<std::string> positional;
  std::string output;
  std::string din;
  bool landscape = false;
  std::vector<std::string> mm;
  bool json = false;
};

std::optional<Arguments> Parse(const std::vector<std::string>& args, std::string& problem) {
  Arguments a;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](const char* option) -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        problem = std::string(option) + " braucht einen Wert";
        return std::nullopt;
      }
      return args[++i];
    };
    if (arg == "-o" || arg == "--output") {
      auto v = value("-o");
      if (!v) return std::nullopt;
      a.output = *v;
    } else if (arg == "--din") {
      auto v = value("--din");
      if (!v) return std::nullopt;
      a.din = *v;
    } else if (arg == "--landscape") {
      a.landscape = true;
    } else if (arg == "--mm") {
      if (i + 2 >= args.size()) {
        problem = "--mm braucht Breite und Höhe";
        return std::nullopt;
      }
      a.mm = {args[i + 1], args[i + 2]};
      i += 2;
    } else if (arg == "--json") {
      a.json = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      problem = "unbekannte Option " + arg;
      return std::nullopt;
    } else {
      a.positional.push_back(arg);
    }
  }
  return a;
}

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out + "\"";
}

const char* KindName(designer::ElementKind kind) {
  switch (kind) {
    case designer::ElementKind::Rect:
      return "rect";
    case designer::ElementKind::Label:
      return "label";
    case designer::ElementKind::Text:
      return "text";
    case designer::ElementKind::Jpeg:
      return "jpeg";
    case designer::ElementKind::Bitmap:
      return "bitmap";
  }
  return "";
}

int Info(app::Application& application, bool json) {
  designer::ProjectState& state = application.State();
  std::string out;
  if (json) {
    out += "{\"file\": " + JsonText(state.projectFileName) +
           ", \"format\": {\"type\": " + JsonText(state.docType) +
           ", \"widthMm\": " + JsonText(state.formatWidthText) +
           ", \"heightMm\": " + JsonText(state.formatHeightText) + "}, \"pages\": [";
  } else {
    out += "Datei: " + state.projectFileName +
           "\nFormat: " + (state.docType.empty() ? std::string("frei") : state.docType) + ", " +
           state.formatWidthText + " x " + state.formatHeightText +
           " mm\nSeiten: " + std::to_string(state.pageCount) + "\n";
  }
  for (int page = 1; page <= state.pageCount; ++page) {
    if (!application.GoToPage(page)) return kFailed;
    designer::TForm2& window = *application.Form2();
    if (json) {
      out += std::string(page > 1 ? ", " : "") + "{\"page\": " + std::to_string(page) +
             ", \"widthPx\": " + std::to_string(window.PRPage1->Width()) +
             ", \"heightPx\": " + std::to_string(window.PRPage1->Height()) + ", \"elements\": [";
    } else {
      out += "\nSeite " + std::to_string(page) + " (" + std::to_string(window.PRPage1->Width()) +
             " x " + std::to_string(window.PRPage1->Height()) + " Pixel)\n";
    }
    bool first = true;
    for (const designer::PageElement& e : window.Elements()) {
      std::string text = e.item->Caption();
      std::string field;
      if (auto* label = dynamic_cast<report::TPRLabel*>(e.item)) field = label->dbfieldname();
      if (auto* memo = dynamic_cast<report::TPRText*>(e.item)) {
        text = memo->Text();
        field = memo->dbfieldname();
      }
      if (json) {
        out += std::string(first ? "" : ", ") + "{\"kind\": \"" + KindName(e.kind) +
               "\", \"name\": " + JsonText(e.item->Name()) +
               ", \"number\": " + std::to_string(e.number) +
               ", \"left\": " + std::to_string(e.item->Left()) +
               ", \"top\": " + std::to_string(e.item->Top()) +
               ", \"width\": " + std::to_string(e.item->Width()) +
               ", \"height\": " + std::to_string(e.item->Height()) +
               ", \"text\": " + JsonText(text) + ", \"dataField\": " + JsonText(field) + "}";
      } else {
        std::string oneLine = text;
        for (char& c : oneLine) {
          if (c == '\r' || c == '\n') c = ' ';
        }
        out += "  " + std::string(KindName(e.kind)) + " " + e.item->Name() + " Nr. " +
               std::to_string(e.number) + " bei (" + std::to_string(e.item->Left()) + ", " +
               std::to_string(e.item->Top()) + ") " + std::to_string(e.item->Width()) + " x " +
               std::to_string(e.item->Height()) + (oneLine.empty() ? "" : " \"" + oneLine + "\"") +
               (field.empty() ? "" : " Datenfeld " + field) + "\n";
      }
      first = false;
    }
    if (json) out += "]}";
  }
  if (json) out += "]}\n";
  std::cout << out;
  return kOk;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("kein Befehl");
  if (args[0] == "--help" || args[0] == "-h") {
    std::cout << kUsageText;
    return kOk;
  }
  if (args[0] == "--version") {
    std::cout << "quirabel-batch " QUIRABEL_VERSION "\n";
    return kOk;
  }
  const std::string command = args[0];
  std::string problem;
  const auto parsed = Parse({args.begin() + 1, args.end()}, problem);
  if (!parsed) return Usage(problem);
  const Arguments& a = *parsed;

  cli::BatchPlatform platform;
  app::Application application(platform, ProgramFolder());

  if (command == "new") {
    if (a.output.empty()) return Usage("new braucht -o AUS.kxp");
    if (!a.positional.empty()) return Usage("unerwartetes Argument " + a.positional.front());
    designer::PageFormat format;
    if (!a.din.empty() && a.mm.empty()) {
      const std::string din = a.din;
      if (din != "A4" && din != "A5" && din != "A6") return Usage("--din kennt A4, A5 und A6");
      format = designer::DinFormat(din == "A4"   ? designer::DinSize::A4
                                   : din == "A5" ? designer::DinSize::A5
                                                 : designer::DinSize::A6,
                                   a.landscape);
    } else if (a.din.empty() && a.mm.size() == 2) {
      if (!designer::IsWholeMillimetres(a.mm[0]) || !designer::IsWholeMillimetres(a.mm[1])) {
        platform.ShowMessage(dialogs::kInvalidMillimetres);
        return kFailed;
      }
      format = {"", designer::PlainDecimal(a.mm[0]), designer::PlainDecimal(a.mm[1])};
    } else {
      return Usage("new braucht entweder --din oder --mm");
    }
    if (!application.NewDocument(format)) return kFailed;
    platform.fileNames.push_back(a.output);
    return application.Save() ? kOk : kFailed;
  }

  if (command == "export" || command == "resave" || command == "info") {
    if (a.positional.size() != 1) return Usage(command + " braucht genau eine Projektdatei");
    if (command != "info" && a.output.empty()) return Usage(command + " braucht -o");
    if (!application.OpenProject(a.positional.front())) return kFailed;
    if (command == "info") return Info(application, a.json);
    if (command == "export") {
      platform.fileNames.push_back(a.output);
      return application.ExportPdf() ? kOk : kFailed;
    }
    if (!application.VisitAllPages()) return kFailed;
    return application.SaveProjectTo(a.output) ? kOk : kFailed;
  }
  return Usage("unbekannter Befehl " + command);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return Run(args);
  } catch (const std::exception& e) {
    std::cerr << "quirabel-batch: " << e.what() << '\n';
    return kFailed;
  }
}
