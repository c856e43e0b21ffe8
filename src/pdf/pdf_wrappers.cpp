#include "pdf/pdf_wrappers.h"

#include <array>

#include "pdf/pdf_text.h"

namespace quirabel::pdf {

void TPdfInfo::PutText(std::string_view key, std::string value) {
  if (data_ == nullptr) throw EPdfInvalidOperation("TPdfInfo --no data.");
  data_->Put(key, std::make_unique<TPdfText>(std::move(value)));
}

void TPdfInfo::SetCreationDate(const LocalDateTime& when) {
  PutText("CreationDate", DateText(when));
}

void TPdfInfo::SetModDate(const LocalDateTime& when) { PutText("ModDate", DateText(when)); }

std::string TPdfInfo::Text(std::string_view key) const {
  TPdfText* text = data_ != nullptr ? data_->TextOf(key) : nullptr;
  return text != nullptr ? text->Value() : std::string();
}

namespace {

constexpr std::array<std::string_view, 4> kPageLayoutNames = {"SinglePage", "OneColumn",
                                                              "TwoColumnLeft", "TwoColumnRight"};
constexpr std::array<std::string_view, 4> kPageModeNames = {"UseNone", "UseOutlines", "UseThumbs",
                                                            "FullScreen"};
constexpr std::array<std::string_view, 5> kViewerPreferenceKeys = {
    "HideToolbar", "HideMenubar", "HideWindowUI", "FitWindow", "CenterWindow"};

}  // namespace

void TPdfCatalog::SetName(TPdfDictionary& dict, std::string_view key, std::string_view value) {
  if (TPdfName* name = dict.NameOf(key)) {
    name->SetValue(std::string(value));
  } else {
    dict.Put(key, std::make_unique<TPdfName>(std::string(value)));
  }
}

TPdfDictionary* TPdfCatalog::ViewerPreferences() const {
  if (data_ == nullptr) throw EPdfInvalidOperation("TPdfCatalog --no data.");
  return data_->DictionaryOf("ViewerPreferences");
}

void TPdfCatalog::SetPageLayout(TPdfPageLayout layout) {
  if (data_ == nullptr) throw EPdfInvalidOperation("TPdfCatalog --no data.");
  SetName(*data_, "PageLayout", kPageLayoutNames.at(static_cast<std::size_t>(layout)));
}

void TPdfCatalog::SetPageMode(TPdfPageMode mode) {
  if (data_ == nullptr) throw EPdfInvalidOperation("TPdfCatalog --no data.");
  SetName(*data_, "PageMode", kPageModeNames.at(static_cast<std::size_t>(mode)));
}

void TPdfCatalog::SetNonFullScreenPageMode(TPdfPageMode mode) {
  TPdfDictionary* prefs = ViewerPreferences();
  if (prefs == nullptr || prefs->IsIndirect()) {
    prefs = data_->Put("ViewerPreferences", std::make_unique<TPdfDictionary>(data_->ObjectMgr()));
  }
  if (mode == TPdfPageMode::pmUseOutlines || mode == TPdfPageMode::pmUseThumbs) {
    SetName(*prefs, "NonFullScreenPageMode", kPageModeNames.at(static_cast<std::size_t>(mode)));
  } else {
    prefs->Remove("NonFullScreenPageMode");
  }
}

void TPdfCatalog::SetViewerPreference(TPdfViewerPreferences preferences) {
  TPdfDictionary* prefs = ViewerPreferences();
  if (prefs == nullptr) {
    if (preferences.Empty()) return;
    prefs = data_->Put("ViewerPreferences", std::make_unique<TPdfDictionary>(data_->ObjectMgr()));
  }
  for (std::size_t i = 0; i < kViewerPreferenceKeys.size(); ++i) {
    auto flag = static_cast<TPdfViewerPreference>(i);
    if (preferences.Contains(flag)) {
      prefs->Put(kViewerPreferenceKeys[i], std::make_unique<TPdfBoolean>(true));
    } else {
      prefs->Remove(kViewerPreferenceKeys[i]);
    }
  }
}

void TPdfCatalog::SetPages(TPdfDictionary& pages) {
  if (data_ == nullptr) throw EPdfInvalidOperation("TPdfCatalog --no data.");
  if (pages.TypeOf() == "Pages") data_->Put("Pages", pages);
}

void TPdfCatalog::SaveOpenAction() {
  if (data_ != nullptr) data_->Remove("OpenAction");
}

void TPdfOutlineRoot::Save() {
  if (data_ != nullptr) data_->Put("Count", std::make_unique<TPdfNumber>(0));
}

}  // namespace quirabel::pdf
