#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "pdf/pdf_objects.h"

namespace quirabel::pdf {

// Gives one dictionary of the document a typed face (information, catalog, font, outline).
class TPdfDictionaryWrapper {
 public:
  virtual ~TPdfDictionaryWrapper() = default;
  virtual void SetData(TPdfDictionary* data) { data_ = data; }
  TPdfDictionary* Data() const { return data_; }
  bool HasData() const { return data_ != nullptr; }

 protected:
  TPdfDictionary* data_ = nullptr;
};

// The document information dictionary. Texts are Windows-1252 bytes. Each setter puts its entry
// anew, so setting one again moves it to the end.
class TPdfInfo final : public TPdfDictionaryWrapper {
 public:
  void SetAuthor(std::string value) { PutText("Author", std::move(value)); }
  void SetCreator(std::string value) { PutText("Creator", std::move(value)); }
  void SetProducer(std::string value) { PutText("Producer", std::move(value)); }
  void SetTitle(std::string value) { PutText("Title", std::move(value)); }
  void SetSubject(std::string value) { PutText("Subject", std::move(value)); }
  void SetKeywords(std::string value) { PutText("Keywords", std::move(value)); }
  void SetCreationDate(const LocalDateTime& when);
  void SetModDate(const LocalDateTime& when);

  // The text under key, or empty.
  std::string Text(std::string_view key) const;

 private:
  void PutText(std::string_view key, std::string value);
};

enum class TPdfPageLayout { plSinglePage, plOneColumn, plTwoColumnLeft, plTwoColumnRight };
enum class TPdfPageMode { pmUseNone, pmUseOutlines, pmUseThumbs, pmFullScreen };
enum class TPdfViewerPreference : std::uint8_t {
  vpHideToolbar,
  vpHideMenubar,
  vpHideWindowUI,
  vpFitWindow,
  vpCenterWindow
};

// A set of viewer preferences.
class TPdfViewerPreferences {
 public:
  TPdfViewerPreferences() = default;
  TPdfViewerPreferences(std::initializer_list<TPdfViewerPreference> flags) {
    for (auto f : flags) Include(f);
  }
  void Include(TPdfViewerPreference f) { bits_ |= Bit(f); }
  void Exclude(TPdfViewerPreference f) { bits_ &= static_cast<std::uint8_t>(~Bit(f)); }
  bool Contains(TPdfViewerPreference f) const { return (bits_ & Bit(f)) != 0; }
  bool Empty() const { return bits_ == 0; }
  bool operator==(const TPdfViewerPreferences&) const = default;

 private:
  static std::uint8_t Bit(TPdfViewerPreference f) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(f));
  }
  std::uint8_t bits_ = 0;
};

class TPdfCatalog final : public TPdfDictionaryWrapper {
 public:
  void SetPageLayout(TPdfPageLayout layout);
  void SetPageMode(TPdfPageMode mode);
  void SetNonFullScreenPageMode(TPdfPageMode mode);
  void SetViewerPreference(TPdfViewerPreferences preferences);
  // Puts "Pages" when the dictionary is a page tree node.
  void SetPages(TPdfDictionary& pages);
  // No opening destination is ever set, so an "OpenAction" never survives saving.
  void SaveOpenAction();

 private:
  // Changes the name under key in place when present, else appends it.
  void SetName(TPdfDictionary& dict, std::string_view key, std::string_view value);
  TPdfDictionary* ViewerPreferences() const;
};

// The outline root; this program never makes outline entries, so it only keeps its count.
class TPdfOutlineRoot final : public TPdfDictionaryWrapper {
 public:
  void Save();
};

}  // namespace quirabel::pdf
