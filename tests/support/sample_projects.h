#pragma once

#include <functional>
#include <string>

#include "app/application.h"
#include "designer/document_window.h"
#include "support/fake_platform.h"

namespace quirabel::testing {

// The bytes of an A6 project of two pages: the first filled by `fillFirstPage`, the second with
// one rectangle.
inline std::string TwoPageProject(
    const std::function<void(designer::DocumentWindow&)>& fillFirstPage) {
  FakePlatform platform;
  app::Application application(platform, "");
  EXPECT_TRUE(application.NewDocument(designer::DinFormat(designer::DinSize::A6, false)));
  designer::DocumentWindow& window = *application.DocumentWindow();
  fillFirstPage(window);
  window.Page().StoreCurrentPage();
  application.State().currentPage = 2;
  application.State().pageCount = 2;
  window.ClearPage();
  window.InitDocument();
  window.Page().CreateElement(designer::ElementKind::Rect).SetBounds(30, 30, 50, 20);
  window.Page().StoreCurrentPage();
  std::string project;
  for (const SharedBytes& page : application.State().pageTexts) {
    project += page.View();
    project += "</endoffile>";
  }
  return project;
}

}  // namespace quirabel::testing
