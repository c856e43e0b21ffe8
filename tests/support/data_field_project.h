#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/application.h"
#include "designer/document_window.h"
#include "designer/page_format.h"
#include "report/pr_labels.h"

namespace quirabel::testing {

// A business card whose text lines are the data fields named (each showing its marker "<Name>"),
// with one ordinary line "Ihre Firma" beside them; `pages` pages alike. Saved to `file`.
inline void SaveDataFieldProject(app::Application& application, const std::filesystem::path& file,
                                 const std::vector<std::string>& fields, int pages = 1) {
  application.NewDocument({"", "85", "55"});
  designer::DocumentWindow& window = *application.DocumentWindow();
  int top = 10;
  for (const std::string& field : fields) {
    auto& label =
        static_cast<report::TPRLabel&>(window.Page().CreateElement(designer::ElementKind::Label));
    label.SetBounds(10, top, 200, 14);
    label.Setdbfieldname(field);
    label.SetCaption("<" + field + ">");
    top += 16;
  }
  auto& fixed =
      static_cast<report::TPRLabel&>(window.Page().CreateElement(designer::ElementKind::Label));
  fixed.SetBounds(10, top, 200, 14);
  fixed.SetCaption("Ihre Firma");
  window.Page().StoreCurrentPage();
  designer::ProjectState& state = application.State();
  for (int page = 2; page <= pages; ++page) state.pageTexts.push_back(state.pageTexts.front());
  state.pageCount = pages;
  application.SaveProjectTo(file.string());
}

}  // namespace quirabel::testing
