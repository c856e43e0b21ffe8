#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/atomic_file.h"
#include "base/clock.h"
#include "pdf/pdf_objects.h"
#include "pdf/pdf_wrappers.h"

namespace quirabel::pdf {

class TPdfCanvas;
class TPdfEmbeddedFace;
class TPdfFont;
class FontFace;

// "%PDF-1.2 " CR LF.
class TPdfHeader {
 public:
  void WriteToStream(std::string& out) const;
};

// Ordered to take 24 bytes: a document saved whole keeps one per object it has.
struct TPdfXrefEntry {
  std::int64_t byteOffset = -1;
  std::unique_ptr<TPdfObject> value;  // owned for entries in use
  int generationNumber = 0;
  char entryType = 'n';  // 'n' in use, 'f' free
};

// The cross-reference table; it owns every indirect object of the document.
//
// A document written page by page to a file sets the lines of its written entries aside (Settle):
// an entry written with its place in the file, or free, has a line that no longer changes, which
// goes to a scratch file beside the output; the table keeps only the entries still to be written
// or still used, so that it does not grow with the pages. The entries set aside are no longer
// found: GetObject gives none, Item and FreeObject raise EPdfInvalidOperation.
class TPdfXref final : public TPdfObjectMgr {
 public:
  TPdfXref();
  ~TPdfXref() override;
  TPdfObject* AddObject(std::unique_ptr<TPdfObject> object) override;
  TPdfObject* GetObject(int objectNumber) const override;
  // Frees an object nothing refers to any more: its number becomes a free entry of the table.
  void FreeObject(int objectNumber);
  std::size_t ItemCount() const { return settled_ + entries_.size(); }
  TPdfXrefEntry& Item(std::size_t index);
  // Calls visit with every entry still held, in the order of their numbers.
  void ForEachHeld(const std::function<void(std::size_t, TPdfXrefEntry&)>& visit);
  // From now on Settle sets lines aside into scratch.
  void SettleInto(std::unique_ptr<ScratchFile> scratch);
  // Sets the lines of the entries below `number` aside where they are final; the others stay
  // held until they are. Nothing without a scratch file.
  void Settle(std::size_t number);
  // Writes the table into out; with `flush`, out is handed to it whenever it has grown large, so
  // that the table of a long document is never whole in memory.
  void WriteToStream(std::string& out,
                     const std::function<void(std::string&)>& flush = nullptr) const;

 private:
  // A deque: growing never copies the entries, nor holds twice their room, and the entries set
  // aside at its front give their room back.
  std::deque<TPdfXrefEntry> entries_;          // from number settled_ on
  std::size_t settled_ = 0;                    // the numbers below were looked at by Settle
  std::map<std::size_t, TPdfXrefEntry> held_;  // of those, the ones not set aside
  std::unique_ptr<ScratchFile> scratch_;
  // The lines set aside last, from number pendingFrom_ to settled_, go to the scratch file
  // together when they are this many bytes.
  static constexpr std::size_t kPendingBytes = 64 * 1024;
  std::string pending_;
  std::size_t pendingFrom_ = 0;
  // The last free entry set aside, whose link to the next free one is still 0; none before the
  // first.
  std::optional<std::size_t> lastFreeSetAside_;
  // Puts bytes at the start of a line set aside, in the scratch file or still pending.
  void PutInLine(std::size_t number, std::string_view bytes);
};

class TPdfTrailer {
 public:
  explicit TPdfTrailer(TPdfObjectMgr* objectMgr);
  TPdfDictionary& Attributes() { return *attributes_; }
  std::int64_t XrefAddress() const { return xrefAddress_; }
  void SetXrefAddress(std::int64_t address) { xrefAddress_ = address; }
  void WriteToStream(std::string& out);

 private:
  std::unique_ptr<TPdfDictionary> attributes_;
  std::int64_t xrefAddress_ = 0;
};

enum class TPdfCompressionMethod { cmNone };

// A PDF 1.2 file in memory: catalog, information, page tree, pages with content streams and
// resources, fonts and images, written out with a cross-reference table and trailer.
class TPdfDoc {
 public:
  static constexpr std::uint16_t kDefaultPageWidth = 596;
  static constexpr std::uint16_t kDefaultPageHeight = 842;

  explicit TPdfDoc(const Clock& clock = DefaultClock());
  ~TPdfDoc();
  TPdfDoc(const TPdfDoc&) = delete;
  TPdfDoc& operator=(const TPdfDoc&) = delete;

  void NewDoc();
  void AddPage();
  void FreeDoc();
  // Writes the whole file into out, replacing what out held.
  void SaveToStream(std::string& out);
  // The same without copying the bytes of large streams (pictures): the file is `pieces` one
  // after the other, views into `text` and into the streams, valid while the document is left
  // as it is.
  // With `largeStreamsFirst` the objects of large streams (pictures) come right after the
  // header, before every other object: files of a series that share a picture then begin with
  // the same bytes (see SharedPrefixHash). Readers find objects through the cross-reference
  // table, in whatever order they stand.
  void SaveToPieces(std::string& text, std::vector<std::string_view>& pieces,
                    bool largeStreamsFirst = false);
  // Writes the file through a temporary file renamed over path when complete; stream bytes go
  // to the file as they are, without a copy of the whole document in memory. Raises FileError
  // when the file cannot be written (an existing one is left as it was).
  // `tidy` says whether the save tidies leftovers of killed saves of the file (see
  // AtomicFileWriter); a caller writing many files into one folder tidies it once itself.
  void SaveToFile(const std::filesystem::path& path,
                  AtomicFileWriter::Leftovers tidy = AtomicFileWriter::Leftovers::Tidy);
  // Writing a long document page by page, so that memory stays flat however many pages it has:
  // StartFile opens the file (through a temporary file, as SaveToFile); after each page or few,
  // FlushPages writes the finished pages with their contents and the pictures and forms added
  // since, and lets go of the pages and contents; FinishFile writes the rest (fonts, page tree,
  // catalog, information, cross references) and gives the file its name. A document never
  // finished leaves no file. Raises FileError when the file cannot be written.
  void StartFile(const std::filesystem::path& path);
  void FlushPages();
  void FinishFile();
  // The bytes written to the started file so far.
  std::uint64_t FileBytes() const { return fileBytes_; }
  // The measuring document of a page panel: one page whose canvas writes nothing.
  TPdfCanvas& CreateVirtualCanvas();

  bool HasDoc() const { return hasDoc_; }
  TPdfCanvas& Canvas();
  TPdfInfo& Info();
  TPdfCatalog& Root();
  TPdfOutlineRoot& OutlineRoot();
  TPdfXref& ObjectMgr();

  // The font registered under name, created on first use: a standard font, or, with the suffix
  // "+Unicode", that family and style for text beyond Windows-1252 (TPdfUnicodeFont).
  TPdfFont& GetFont(std::string_view name);
  // The document's embedding of an installed face, made on first use ("U0", "U1", ...).
  TPdfEmbeddedFace& EmbeddedFace(const FontFace& face);
  std::size_t EmbeddedFaceCount() const { return faces_.size(); }
  void AddXObject(std::string_view name, std::unique_ptr<TPdfImage> image);
  TPdfImage* GetXObject(std::string_view name) const;
  // The registered images in order of registration.
  std::size_t XObjectCount() const { return xobjects_ ? xobjects_->Count() : 0; }
  TPdfImage* XObject(std::size_t index) const;
  std::size_t FontCount() const { return fonts_.size(); }

  bool UseOutlines() const { return useOutlines_; }
  void SetUseOutlines(bool value);
  TPdfCompressionMethod CompressionMethod() const { return compressionMethod_; }
  void SetCompressionMethod(TPdfCompressionMethod value) { compressionMethod_ = value; }
  std::uint16_t DefaultPageWidth() const { return defaultPageWidth_; }
  std::uint16_t DefaultPageHeight() const { return defaultPageHeight_; }
  void SetDefaultPageWidth(std::uint16_t value) { defaultPageWidth_ = value; }
  void SetDefaultPageHeight(std::uint16_t value) { defaultPageHeight_ = value; }
  // Pages made for a print shop: the page (MediaBox and BleedBox) holds this much bleed on every
  // side around the product (TrimBox). Such files say PDF 1.3, the version that brought the boxes.
  // 0, the default, writes neither box.
  void SetBleed(double points) { bleed_ = points; }
  // Puts (or replaces) a page's trim and bleed boxes for a page of that size; nothing without
  // bleed.
  void PutPrintBoxes(TPdfDictionary& page, int width, int height) const;
  TPdfDictionary* CurrentPages() const { return currentPages_; }

  // The pages in their order.
  std::size_t PageCount() const;
  TPdfDictionary& PageAt(std::size_t index) const;
  // Makes what page `index` shows inside box (left, bottom, right, top in the page's points) a Form
  // XObject that can be placed any number of times: the page's content stream becomes the form,
  // with the page's resources, so pictures and fonts stay single objects of the file. The page is
  // left blank (new empty contents and resources, no print boxes, no text state), to be drawn on
  // anew; the canvas is on no page afterwards.
  TPdfStream& PageToForm(std::size_t index, const std::array<double, 4>& box);
  // The same, but the page leaves the document: its form is all that is left of it.
  TPdfStream& TakePageAsForm(std::size_t index, const std::array<double, 4>& box);
  // Lets go of an object already written to the started file (a form placed on pages that are
  // written too): its memory goes, its place in the cross references stays.
  void ForgetWritten(TPdfObject& object);

 private:
  void RegisterXObject(TPdfImage* image, std::string_view name);
  // Turns the page's content stream into a form showing box, with the page's resources.
  TPdfStream& MakeForm(TPdfDictionary& page, const std::array<double, 4>& box);
  // The file: into out, with large stream bytes handed to the sink when there is one; flushed
  // counts the bytes the sink has already taken.
  void Serialize(std::string& out, const LargeDataSink* large, const std::uint64_t& flushed,
                 bool largeStreamsFirst = false);

  // Writes entry i at the end of the started file.
  void WriteEntry(std::size_t i, std::string& out);

  // Written page by page, the pages hang in groups of kPagesPerGroup under the root of the page
  // tree, and a full group is written out with the pages: the root holds only the groups.
  static constexpr std::size_t kPagesPerGroup = 256;
  // The pages' node that new pages go to: the root, or the group being filled.
  TPdfDictionary& ParentOfNewPage();
  // The Kids array holding page `index` and its place in it.
  std::pair<TPdfArray*, std::size_t> KidsHolding(std::size_t index) const;

  std::unique_ptr<AtomicFileWriter> file_;   // while a document is written page by page
  std::size_t rootPages_ = 0;                // pages directly under the root, first in order
  std::size_t writtenGroupPages_ = 0;        // pages in the groups written, next in order
  std::vector<TPdfDictionary*> openGroups_;  // the groups not yet written, the last being filled
  std::uint64_t fileBytes_ = 0;
  std::size_t firstUnwritten_ = 1;  // FlushPages looked at every entry before it
  const Clock* clock_;
  bool hasDoc_ = false;
  std::unique_ptr<TPdfCanvas> canvas_;
  std::unique_ptr<TPdfXref> xref_;
  std::unique_ptr<TPdfHeader> header_;
  std::unique_ptr<TPdfTrailer> trailer_;
  std::unique_ptr<TPdfCatalog> root_;
  std::unique_ptr<TPdfInfo> info_;
  std::unique_ptr<TPdfOutlineRoot> outlineRoot_;
  TPdfDictionary* currentPages_ = nullptr;
  std::vector<std::unique_ptr<TPdfFont>> fonts_;
  std::vector<std::unique_ptr<TPdfFont>> unicodeFonts_;
  std::vector<std::unique_ptr<TPdfEmbeddedFace>> faces_;
  std::unique_ptr<TPdfArray> xobjects_;
  TPdfCompressionMethod compressionMethod_ = TPdfCompressionMethod::cmNone;
  bool useOutlines_ = false;
  std::uint16_t defaultPageWidth_ = kDefaultPageWidth;
  double bleed_ = 0;
  std::uint16_t defaultPageHeight_ = kDefaultPageHeight;
};

}  // namespace quirabel::pdf
