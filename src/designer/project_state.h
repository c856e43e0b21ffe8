#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/shared_bytes.h"
#include "base/version.h"
#include "graphics/color.h"

namespace quirabel::designer {

inline constexpr const char* kNewDocName = "NewDoc";
inline constexpr const char* kProgramText = "Quirabel " QUIRABEL_VERSION " TYP DEV";

// The project information window's fields (title, subject, author, keywords, program).
struct ProjectInfo {
  std::string title;
  std::string subject;
  std::string author;
  std::string keywords;
  std::string creator = kProgramText;
};

// The application state that the main window keeps and every window shares: the open project
// with the texts of all its pages, the format, and what the toolbar has armed. Texts are UTF-8
// except the page texts, which are kept in their file form (Windows-1252 bytes).
struct ProjectState {
  std::string projectFileName = kNewDocName;
  int currentPage = 1;
  int pageCount = 0;
  // One page text per page, in file form. Pages read from a file share its bytes; a page stored
  // anew gets its own.
  std::vector<SharedBytes> pageTexts;
  std::string lastPdfFileName;
  std::string createMode;
  std::string projectNumber;

  std::string formatWidthText;
  std::string formatHeightText;
  std::string docType;
  std::uint8_t verticalFolds = 0;
  std::uint8_t horizontalFolds = 0;
  std::uint8_t verticalPerforations = 0;
  std::uint8_t horizontalPerforations = 0;
  bool orderDocument = false;
  bool sampleTemplateDocument = false;

  ProjectInfo info;
  // What reading the project left out, by page (0: the file as a whole), in the user's words.
  // The designer goes on without it; the batch tool refuses to write what would lose it.
  std::map<int, std::string> readLosses;
  // The bitmap pixels of each page read so far, for the project's pixel budget.
  std::map<int, std::uint64_t> bitmapPixelsByPage;
  // Names of the data fields of the document (filled when a page is read).
  std::vector<std::string> dataFields;
  // The project has changes that are not saved: every edit, undo and redo sets it; saving,
  // opening and making a new document clear it.
  bool unsavedChanges = false;
  // "Rasterhilfe": moves of text and rectangle elements snap to a 5-pixel grid.
  bool gridAid = false;
  // Where templates and scratch files live; empty when there is none (the batch tool may run so).
  std::string programFolder;
  // Pages are read only for a picture of at most this many pixels across and down (0: for
  // everything else): a bitmap then keeps no more of its pixels than that picture can show. Its
  // file bytes stay whole, but its pixels do not, so nothing else may be made of such a page.
  int previewPixels = 0;

  // "Format: [" height "mm x " width "mm] Name: [" file name "]".
  std::string DocumentCaption() const {
    return "Format: [" + formatHeightText + "mm x " + formatWidthText + "mm] Name: [" +
           projectFileName + "]";
  }
  // "3/5".
  std::string PageIndicator() const {
    return std::to_string(currentPage) + "/" + std::to_string(pageCount);
  }
};

}  // namespace quirabel::designer
