#pragma once

// What the mail tests share: a real mail server on the loopback address (tests/mail/smtp_sink.py
// on Debian's aiosmtpd), small PDFs that differ per row, and a serial run's folder of them.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/sha256.h"
#include "serial/csv_table.h"
#include "serial/run_record.h"

extern char** environ;

namespace quirabel::testing {

inline std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteText(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// A one-page PDF whose page says `text`, with a correct cross-reference table.
inline std::string TinyPdf(const std::string& text) {
  const std::string content = "BT /F1 12 Tf 20 40 Td (" + text + ") Tj ET";
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R "
      "/Resources << /Font << /F1 5 0 R >> >> >>",
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
  std::string pdf = "%PDF-1.2\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    char line[24];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

// The loopback mail server as a child process, ended when this goes.
class SmtpSink {
 public:
  static constexpr const char* kPython = "/usr/bin/python3";
  // `mode`: {} for a server that takes every mail, {"--refuse", address}, or {"--silent"}.
  SmtpSink(const std::filesystem::path& folder, std::vector<std::string> mode = {})
      : folder_(folder) {
    std::filesystem::create_directories(folder);
    const std::string portFile = (folder / "port").string();
    // Debian's own Python, which has Debian's aiosmtpd, whatever else is first on the path.
    std::vector<std::string> args = {kPython, QUIRABEL_SMTP_SINK, portFile,
                                     (folder / "mails").string()};
    args.insert(args.end(), mode.begin(), mode.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, kPython, nullptr, nullptr, argv.data(), environ) != 0) {
      ADD_FAILURE() << kPython << " cannot be started";
      pid_ = -1;
      return;
    }
    for (int i = 0; i < 200 && port_ == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      const std::string text = ReadText(portFile);
      if (!text.empty()) port_ = std::stoi(text);
    }
    if (port_ == 0) ADD_FAILURE() << "the test mail server did not start (python3-aiosmtpd?)";
  }
  ~SmtpSink() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  int Port() const { return port_; }
  // The folders of the mails received, in order.
  std::vector<std::filesystem::path> Mails() const {
    std::vector<std::filesystem::path> mails;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ / "mails", error)) {
      // A mail still being stored.
      if (entry.path().extension() != ".tmp") mails.push_back(entry.path());
    }
    std::sort(mails.begin(), mails.end());
    return mails;
  }

 private:
  std::filesystem::path folder_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// A serial run's result: a CSV file of `rows` (name; address; city) and one PDF per row named
// after the first column, in `folder`.
struct MailFolder {
  std::filesystem::path csv;
  std::filesystem::path folder;
  std::vector<std::string> names;
  std::vector<std::string> addresses;
};

// Writes the run record a serial run would have written into `folder` for the CSV file as it is
// now: row i+1 printed as files[i] (an empty name: the row failed), with the cells' and the PDF's
// hashes. Returns the run id.
inline std::string RecordRun(const std::filesystem::path& folder, const std::filesystem::path& csv,
                             const std::vector<std::string>& files,
                             const std::string& recordName = "quirabel-serie.json") {
  const serial::CsvTable table = serial::ReadCsvFile(csv, ';');
  serial::RunRecordHeader header;
  header.runId = serial::NewRunId();
  header.time = "2026-12-07T21:00:00Z";
  header.csvFile = csv.string();
  header.csvRows = table.RowCount();
  header.firstRow = 1;
  header.lastRow = files.size();
  serial::RunRecordWriter writer(folder / recordName, header);
  for (std::size_t i = 0; i < files.size(); ++i) {
    serial::RunRecordRow row;
    row.row = i + 1;
    if (files[i].empty()) {
      row.error = "Testfehler";
    } else {
      row.file = files[i];
      row.cellsSha256 = serial::CellsSha256(table.Row(i));
      const std::string pdf = ReadText(folder / files[i]);
      row.pdfSha256 = Sha256Hex(pdf);
      row.pdfSize = pdf.size();
    }
    writer.Add(row);
  }
  writer.Commit();
  return header.runId;
}

inline std::vector<std::string> PdfNames(const std::vector<std::string>& names) {
  std::vector<std::string> files;
  for (const std::string& name : names) files.push_back(name + ".pdf");
  return files;
}

// Makes a serial run's folder (with its run record) of `rows` rows.
inline MailFolder MakeMailFolder(const std::filesystem::path& base, std::size_t rows) {
  MailFolder made;
  made.folder = base / "serie mit Leerzeichen";
  std::filesystem::create_directories(made.folder);
  made.csv = base / "kunden liste.csv";
  std::string csv;
  for (std::size_t i = 1; i <= rows; ++i) {
    const std::string name = "Kunde" + std::to_string(i);
    const std::string address = "kunde" + std::to_string(i) + "@example.org";
    csv += name + ";" + address + ";Köln\r\n";
    made.names.push_back(name);
    made.addresses.push_back(address);
    WriteText(made.folder / (name + ".pdf"), TinyPdf("Rechnung fuer " + name));
  }
  WriteText(made.csv, csv);
  RecordRun(made.folder, made.csv, PdfNames(made.names));
  return made;
}

}  // namespace quirabel::testing
