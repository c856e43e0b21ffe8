// The printing module: hands our own PDF to the print service as it is, so that what prints is
// exactly what the export writes (vector, never a bitmap of ours).
#include "app/print_module.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstddef>
#include <ctime>
#include <string>

namespace quirabel::app {

namespace {

// The service's socket or host, connected with a time limit, so that a missing or silent print
// service is an answer and not a hang.
struct Connection {
  http_t* http = nullptr;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  explicit Connection(int timeoutSeconds) {
    http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                        timeoutSeconds * 1000, nullptr);
    if (http != nullptr) httpSetTimeout(http, timeoutSeconds, nullptr, nullptr);
  }
  ~Connection() {
    if (http != nullptr) httpClose(http);
  }
};

constexpr char kNoService[] =
    "Kein Druckdienst erreichbar (CUPS läuft nicht oder ist nicht eingerichtet)";

struct Destinations {
  cups_dest_t* list = nullptr;
  int count = 0;
  Destinations(const Destinations&) = delete;
  Destinations& operator=(const Destinations&) = delete;
  explicit Destinations(http_t* http) { count = cupsGetDests2(http, &list); }
  ~Destinations() { cupsFreeDests(count, list); }
};

std::string LastError() {
  const char* text = cupsLastErrorString();
  return text != nullptr && *text != '\0' ? text : "unbekannter Fehler";
}

PrintResult PrintPdf(std::string_view pdf, const PrintOptions& options, int timeoutSeconds) {
  PrintResult result;
  Connection connection(timeoutSeconds);
  if (connection.http == nullptr) {
    result.problem = kNoService;
    return result;
  }
  Destinations dests(connection.http);
  cups_dest_t* dest =
      cupsGetDest(options.printer.empty() ? nullptr : options.printer.c_str(), nullptr,
                  dests.count, dests.list);
  if (dest == nullptr) {
    if (dests.count == 0 && cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
      result.problem = kNoService;
    } else if (options.printer.empty()) {
      result.problem = dests.count == 0 ? "Es ist kein Drucker eingerichtet"
                                        : "Es ist kein Standarddrucker eingerichtet; bitte einen "
                                          "Drucker wählen";
    } else {
      result.problem = "Den Drucker „" + options.printer.substr(0, 80) + "“ gibt es nicht";
    }
    return result;
  }
  int count = 0;
  cups_option_t* list = nullptr;
  const std::string copies = std::to_string(std::clamp(options.copies, 1, 999));
  count = cupsAddOption("copies", copies.c_str(), count, &list);
  switch (options.duplex) {
    case Duplex::off:
      count = cupsAddOption("sides", "one-sided", count, &list);
      break;
    case Duplex::longEdge:
      count = cupsAddOption("sides", "two-sided-long-edge", count, &list);
      break;
    case Duplex::shortEdge:
      count = cupsAddOption("sides", "two-sided-short-edge", count, &list);
      break;
    case Duplex::printerDefault:
      break;
  }
  const std::string title = options.title.empty() ? "Quirabel" : options.title;
  result.job = cupsCreateJob(connection.http, dest->name, title.c_str(), count, list);
  if (result.job == 0) {
    cupsFreeOptions(count, list);
    result.problem = "Der Drucker „" + std::string(dest->name) +
                     "“ nimmt keinen Auftrag an: " + LastError();
    return result;
  }
  bool sent = cupsStartDocument(connection.http, dest->name, result.job, title.c_str(),
                                CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE;
  constexpr std::size_t kPiece = 64 * 1024;
  for (std::size_t at = 0; sent && at < pdf.size(); at += kPiece) {
    const std::size_t piece = std::min(kPiece, pdf.size() - at);
    sent = cupsWriteRequestData(connection.http, pdf.data() + at, piece) == HTTP_STATUS_CONTINUE;
  }
  const ipp_status_t finished = cupsFinishDocument(connection.http, dest->name);
  cupsFreeOptions(count, list);
  if (!sent || finished > IPP_STATUS_OK_EVENTS_COMPLETE) {
    const std::string why = LastError();
    cupsCancelJob2(connection.http, dest->name, result.job, 0);
    result.job = 0;
    result.problem = "Der Auftrag kam nicht beim Drucker „" + std::string(dest->name) +
                     "“ an: " + why;
  }
  return result;
}

std::vector<std::string> ListPrinters(int timeoutSeconds, std::string& problem) {
  std::vector<std::string> names;
  Connection connection(timeoutSeconds);
  if (connection.http == nullptr) {
    problem = kNoService;
    return names;
  }
  Destinations dests(connection.http);
  if (dests.count == 0 && cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
    problem = kNoService;
    return names;
  }
  for (int i = 0; i < dests.count; ++i) {
    const cups_dest_t& dest = dests.list[i];
    if (dest.instance != nullptr) continue;
    if (dest.is_default) {
      names.insert(names.begin(), dest.name);
    } else {
      names.emplace_back(dest.name);
    }
  }
  return names;
}

constexpr PrintModule kModule{kPrintModuleAbi, &PrintPdf, &ListPrinters};

}  // namespace

}  // namespace quirabel::app

extern "C" __attribute__((visibility("default"))) const quirabel::app::PrintModule*
quirabel_print_module() {
  return &quirabel::app::kModule;
}
