#include "ui/qt/web_fetch.h"

#include <QApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <QUrl>

#include "ui/qt/qt_platform.h"

namespace quirabel::ui::qt {

namespace {

using Outcome = FetchResult::Outcome;

bool IsWebScheme(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
         !url.host().isEmpty();
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

FetchResult FetchDocument(const FetchRequest& request, QWidget* parent) {
  FetchResult result;
  QUrl url(QString::fromStdString(request.url), QUrl::StrictMode);
  if (!IsWebScheme(url)) return result;

  QNetworkAccessManager manager;
  manager.setProxy(QNetworkProxy::NoProxy);
  manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);

  QEventLoop loop;
  bool timedOut = false;
  bool cancelled = false;
  QPointer<QNetworkReply> reply;

  // One deadline for the whole fetch, redirects included.
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    if (reply) reply->abort();
    loop.quit();
  });
  deadline.start(request.timeLimit);

  // Modal: over the window that asked and above windows that stay on top, never hidden behind
  // the news window while it blocks everything else.
  QProgressDialog progress(QString::fromStdString(request.progressText),
                           QString::fromUtf8("Abbrechen"), 0, 0, DialogParent(parent));
  KeepAboveWindowsOnTop(progress);
  progress.setWindowTitle(QStringLiteral("Quirabel"));
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setMinimumDuration(0);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
    cancelled = true;
    if (reply) reply->abort();
    loop.quit();
  });
  progress.show();

  for (int redirects = 0;; ++redirects) {
    QNetworkRequest get(url);
    get.setHeader(QNetworkRequest::UserAgentHeader, QString::fromStdString(request.userAgent));
    get.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    get.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    result.body.clear();
    bool tooLarge = false;
    reply = manager.get(get);
    // Never more than one byte past the limit is held, whatever the transfer encoding: the reply
    // stops reading from the connection once its buffer is full, and the fetch gives up once the
    // limit is passed.
    const auto cap = static_cast<qint64>(request.maxBytes) + 1;
    reply->setReadBufferSize(cap);
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
      if (!reply || tooLarge) return;
      const QByteArray part = reply->read(cap - static_cast<qint64>(result.body.size()));
      result.body.append(part.constData(), static_cast<std::size_t>(part.size()));
      if (result.body.size() > request.maxBytes) {
        tooLarge = true;
        result.body.clear();
        result.body.shrink_to_fit();
        reply->abort();
        loop.quit();
      }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The progress window is modal: only its cancel button takes input meanwhile.
    if (!reply->isFinished()) loop.exec();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    result.status = status.isValid() ? status.toInt() : result.status;
    const QNetworkReply::NetworkError error = reply->error();
    const QUrl location = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    // Freed now, not when the event loop next runs: an aborted answer holds nothing further.
    reply->disconnect();
    delete reply.data();

    if (cancelled) {
      result.outcome = Outcome::Cancelled;
    } else if (timedOut) {
      result.outcome = Outcome::TimedOut;
    } else if (tooLarge) {
      result.outcome = Outcome::TooLarge;
    } else if (!status.isValid()) {
      result.outcome = Outcome::NoAnswer;
    } else if (IsRedirect(result.status) && location.isValid() && !location.isEmpty()) {
      const QUrl next = url.resolved(location);
      if (!IsWebScheme(next)) {
        result.outcome = Outcome::RedirectRefused;
      } else if (redirects >= request.maxRedirects) {
        result.outcome = Outcome::TooManyRedirects;
      } else {
        url = next;
        continue;
      }
    } else {
      // An error status still is a whole answer; a connection that broke during it is not.
      const bool brokenConnection =
          error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
      result.outcome = brokenConnection ? Outcome::Interrupted : Outcome::Complete;
    }
    break;
  }
  if (result.outcome != Outcome::Complete) result.body.clear();
  return result;
}

}  // namespace quirabel::ui::qt
