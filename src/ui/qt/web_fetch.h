#pragma once

#include <QWidget>

#include "ui/platform.h"

namespace quirabel::ui::qt {

// Fetches one document with Qt Network, without a proxy, following redirects by hand so that
// each one is counted and checked. A small window with the request's progress text and a cancel
// button shows while it runs (over `parent`, or over the active window when there is one).
FetchResult FetchDocument(const FetchRequest& request, QWidget* parent);

}  // namespace quirabel::ui::qt
