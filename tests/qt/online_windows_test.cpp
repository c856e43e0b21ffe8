// The version check over the network, against a web server of the test's own on 127.0.0.1, and
// the news and update windows on screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "main/news_dialogs.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/web_fetch.h"

namespace quirabel {
namespace {

using Outcome = ui::FetchResult::Outcome;

// A small web server on the loopback address. The first part of the path picks its behaviour:
// "current", "newer", "missing" (404), "silent" (never answers), "endless" (an answer without
// end), "chunked" (the same in chunks), "loop" (redirects to itself), "tofile" (redirects to a
// file), "hops-N" (N redirects, then the current version).
class LoopbackServer {
 public:
  LoopbackServer() {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { Read(*socket); });
      }
    });
  }
  QString Address() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
  }
  std::vector<QByteArray> userAgents;
  int requests = 0;

 private:
  void Read(QTcpSocket& socket) {
    QByteArray& request = pending_[&socket];
    request += socket.readAll();
    const qsizetype end = request.indexOf("\r\n\r\n");
    if (end < 0) return;
    ++requests;
    const QList<QByteArray> lines = request.left(end).split('\n');
    for (const QByteArray& line : lines) {
      if (line.toLower().startsWith("user-agent:")) userAgents.push_back(line.mid(11).trimmed());
    }
    const QByteArray path = lines[0].split(' ').value(1);
    const QByteArray kind = path.split('/').value(1);
    if (kind == "current") {
      Answer(socket, "200 OK", "<version>2.2</version>");
    } else if (kind == "newer") {
      Answer(socket, "200 OK",
             "<version>2.3</version>\n<link>https://www.quirabel.de/download</link>\n"
             "<b>Neu:</b> schneller\nZeile 2");
    } else if (kind == "missing") {
      Answer(socket, "404 Not Found", "<version>2.3</version><link>http://x/</link>");
    } else if (kind == "silent") {
      // Keeps the connection and says nothing.
    } else if (kind == "endless") {
      socket.write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n");
      QObject::connect(&socket, &QTcpSocket::bytesWritten, [&socket] {
        if (socket.bytesToWrite() < 65536) socket.write(QByteArray(16384, 'x'));
      });
      socket.write(QByteArray(16384, 'x'));
    } else if (kind == "chunked") {
      socket.write(
          "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n");
      const QByteArray chunk = "4000\r\n" + QByteArray(16384, 'x') + "\r\n";
      QObject::connect(&socket, &QTcpSocket::bytesWritten, [&socket, chunk] {
        if (socket.bytesToWrite() < 65536) socket.write(chunk);
      });
      socket.write(chunk);
    } else if (kind == "loop") {
      Redirect(socket, "/loop/version_kx.html");
    } else if (kind == "tofile") {
      Redirect(socket, "file:///etc/passwd");
    } else if (kind.startsWith("hops-")) {
      const int left = kind.mid(5).toInt();
      Redirect(socket, left <= 1 ? "/current/version_kx.html"
                                 : "/hops-" + QByteArray::number(left - 1) + "/version_kx.html");
    }
    pending_.erase(&socket);
  }
  static void Answer(QTcpSocket& socket, const QByteArray& status, const QByteArray& body) {
    socket.write("HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket.disconnectFromHost();
  }
  static void Redirect(QTcpSocket& socket, const QByteArray& location) {
    socket.write("HTTP/1.1 302 Found\r\nLocation: " + location +
                 "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    socket.disconnectFromHost();
  }

  QTcpServer server_;
  std::map<QTcpSocket*, QByteArray> pending_;
};

ui::FetchRequest VersionRequest(const QString& address, const char* kind) {
  ui::FetchRequest request;
  request.url = (address + "/" + kind + "/version_kx.html").toStdString();
  request.userAgent = "Mozilla/3.0 (compatible)";
  request.progressText = "Test";
  return request;
}

// The most memory the process has held, from the kernel's account of it.
long PeakMegabytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6)) / 1024;
  }
  return 0;
}

// A port nobody listens on.
quint16 ClosedPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost);
  const quint16 port = probe.serverPort();
  probe.close();
  return port;
}

TEST(WebFetch, AnswersOfTheLoopbackServer) {
  // What the process held before any answer: the fetches may add little to it. (Under the
  // sanitizers the process starts larger, so the bound is on what the fetches add.)
  const long startPeak = PeakMegabytes();
  // A proxy in the environment is not used.
  qputenv("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(ClosedPort()).toUtf8());
  LoopbackServer server;
  const QString address = server.Address();

  ui::FetchResult current = ui::qt::FetchDocument(VersionRequest(address, "current"), nullptr);
  EXPECT_EQ(current.outcome, Outcome::Complete);
  EXPECT_EQ(current.status, 200);
  EXPECT_EQ(current.body, "<version>2.2</version>");
  ASSERT_EQ(server.userAgents.size(), 1u);
  EXPECT_EQ(server.userAgents[0], "Mozilla/3.0 (compatible)");

  ui::FetchResult missing = ui::qt::FetchDocument(VersionRequest(address, "missing"), nullptr);
  EXPECT_EQ(missing.outcome, Outcome::Complete);
  EXPECT_EQ(missing.status, 404);
  EXPECT_FALSE(missing.Succeeded());

  // Three redirects are followed, a fourth is not; a redirect loop ends there too.
  ui::FetchResult threeHops = ui::qt::FetchDocument(VersionRequest(address, "hops-3"), nullptr);
  EXPECT_EQ(threeHops.outcome, Outcome::Complete);
  EXPECT_EQ(threeHops.body, "<version>2.2</version>");
  server.requests = 0;
  EXPECT_EQ(ui::qt::FetchDocument(VersionRequest(address, "hops-4"), nullptr).outcome,
            Outcome::TooManyRedirects);
  EXPECT_EQ(ui::qt::FetchDocument(VersionRequest(address, "loop"), nullptr).outcome,
            Outcome::TooManyRedirects);
  EXPECT_EQ(server.requests, 8);  // four each: the first request and three redirects
  EXPECT_EQ(ui::qt::FetchDocument(VersionRequest(address, "tofile"), nullptr).outcome,
            Outcome::RedirectRefused);

  ui::FetchResult endless = ui::qt::FetchDocument(VersionRequest(address, "endless"), nullptr);
  EXPECT_EQ(endless.outcome, Outcome::TooLarge);
  EXPECT_TRUE(endless.body.empty());

  // Endless in chunks: the fetch gives up at the limit and the process stays small.
  for (int i = 0; i < 3; ++i) {
    QElapsedTimer took;
    took.start();
    ui::FetchResult chunked = ui::qt::FetchDocument(VersionRequest(address, "chunked"), nullptr);
    EXPECT_EQ(chunked.outcome, Outcome::TooLarge);
    EXPECT_TRUE(chunked.body.empty());
    EXPECT_LT(took.elapsed(), 5000);
  }
  EXPECT_LT(PeakMegabytes() - startPeak, 64);

  ui::FetchRequest silent = VersionRequest(address, "silent");
  silent.timeLimit = std::chrono::milliseconds(1500);
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(ui::qt::FetchDocument(silent, nullptr).outcome, Outcome::TimedOut);
  EXPECT_LT(clock.elapsed(), 10000);

  const QString refused = QStringLiteral("http://127.0.0.1:%1").arg(ClosedPort());
  ui::FetchResult nobody = ui::qt::FetchDocument(VersionRequest(refused, "current"), nullptr);
  EXPECT_EQ(nobody.outcome, Outcome::NoAnswer);
  EXPECT_EQ(nobody.status, 0);

  // Only web addresses are asked.
  ui::FetchRequest file = VersionRequest(address, "current");
  file.url = "file:///etc/passwd";
  EXPECT_EQ(ui::qt::FetchDocument(file, nullptr).outcome, Outcome::NoAnswer);
  qunsetenv("http_proxy");
}

// The designer's platform, with the message boxes and the browser written down instead.
class RecordingPlatform : public ui::qt::QtPlatform {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  bool OpenUrl(std::string_view url) override {
    openedUrls.emplace_back(url);
    return true;
  }
  std::vector<std::string> messages;
  std::vector<std::string> openedUrls;
};

QPushButton* Button(QWidget& window, const char* text) {
  for (auto* button : window.findChildren<QPushButton*>()) {
    if (button->text() == QString::fromUtf8(text)) return button;
  }
  return nullptr;
}

TEST(NewsWindows, VersionCheckAndSendingOnScreen) {
  LoopbackServer server;
  RecordingPlatform platform;
  QWidget mainWindow;
  main::OnlineWindows windows(platform, ::testing::TempDir(), &mainWindow, nullptr);
  main::NewsDialog& news = *windows.newsDialog;
  main::UpdateDialog& update = *windows.updateDialog;
  windows.ShowNews();
  EXPECT_TRUE(news.isVisible());
  EXPECT_EQ(news.windowTitle(), QString::fromUtf8("Quirabel News, Meinungen und Vorschläge"));
  EXPECT_EQ(news.size(), QSize(563, 445));

  windows.news.server = (server.Address() + "/current").toStdString();
  Button(news, "Nur die Version prüfen!")->click();
  EXPECT_EQ(platform.messages,
            std::vector<std::string>{"Sie besitzen die aktuellste Version von Quirabel!"});
  EXPECT_FALSE(update.isVisible());

  windows.news.server = (server.Address() + "/missing").toStdString();
  Button(news, "Nur die Version prüfen!")->click();
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[1], online::kNoConnection);
  EXPECT_FALSE(update.isVisible());

  // A newer version: its description as plain text, markup and all.
  windows.news.server = (server.Address() + "/newer").toStdString();
  Button(news, "Nur die Version prüfen!")->click();
  EXPECT_EQ(platform.messages.size(), 2u);
  ASSERT_TRUE(update.isVisible());
  EXPECT_EQ(update.windowTitle(), QString::fromUtf8("Update Infos"));
  EXPECT_EQ(update.DescriptionMemo()->toPlainText(),
            QString::fromUtf8("New Version: 2.3\n"
                              "Download from:: https://www.quirabel.de/download\n"
                              "Description: \n\n<b>Neu:</b> schneller\nZeile 2"));
  Button(update, "Zum Download (Online)")->click();
  EXPECT_EQ(platform.openedUrls, std::vector<std::string>{"https://www.quirabel.de/download"});
  Button(update, "Schließen")->click();
  EXPECT_FALSE(update.isVisible());

  // A message, sent without an address.
  news.LeaveButton()->setChecked(true);
  news.MessageMemo()->setPlainText(QString::fromUtf8("Gut & schön"));
  Button(news, "Senden")->click();
  ASSERT_EQ(platform.openedUrls.size(), 2u);
  EXPECT_EQ(
      platform.openedUrls[1],
      (server.Address() + "/newer/kx20/newsindex.pl?aktion=aus&mail=&text=Gut%20%26%20sch%C3%B6n")
          .toStdString());

  Button(news, "Beenden")->click();
  EXPECT_FALSE(news.isVisible());
  EXPECT_EQ(news.Heading()->text(), QString::fromUtf8("Update & News.."));
}

// A message that comes up while a window that stays on top shows (the news window during a
// version check) is shown above it and takes the input, whichever window was active.
TEST(MessageBoxes, ComeUpAboveAWindowThatStaysOnTop) {
  QWidget mainWindow;
  mainWindow.show();
  ui::qt::QtPlatform platform(&mainWindow);
  QWidget news(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
  news.show();
  bool shown = false, aboveAll = false;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    shown = box->isVisible();
    aboveAll =
        box->windowFlags().testFlag(Qt::WindowStaysOnTopHint) || box->parentWidget() == &news;
    box->accept();
  });
  answer.start(10);
  platform.ShowMessage("keine Verbindung");
  EXPECT_TRUE(shown);
  EXPECT_TRUE(aboveAll);
  answer.stop();

  // The version check's progress window blocks the others while it waits: above them too.
  LoopbackServer server;
  bool progressAbove = false;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()))
      progressAbove = progress->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
  });
  look.start(10);
  ui::FetchRequest silent = VersionRequest(server.Address(), "silent");
  silent.timeLimit = std::chrono::milliseconds(300);
  EXPECT_EQ(ui::qt::FetchDocument(silent, &mainWindow).outcome, Outcome::TimedOut);
  EXPECT_TRUE(progressAbove);
}

}  // namespace
}  // namespace quirabel
