#include "pdf/pdf_doc.h"

#include <cstdio>

#include "base/atomic_file.h"
#include "pdf/pdf_canvas.h"
#include "pdf/pdf_fonts.h"
#include "pdf/pdf_text.h"
#include "pdf/pdf_unicode_font.h"

namespace quirabel::pdf {

namespace {

constexpr const char* kProducer = "Orvanto version 0.9";

void AppendPadded(std::string& out, std::int64_t value, int width) {
  if (value >= 0 && width > 0 && width <= 18) {
    // The common case, every line of a cross-reference table: digits from the right.
    char digits[18];
    std::int64_t rest = value;
    for (int i = width - 1; i >= 0; --i, rest /= 10) digits[i] = static_cast<char>('0' + rest % 10);
    if (rest == 0) {
      out.append(digits, static_cast<std::size_t>(width));
      return;
    }
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", width, static_cast<long long>(value));
  out += buffer;
}

// A resources dictionary that names the same fonts and pictures as `from`: sub-dictionaries hold
// references only, and arrays (the procedure set) names.
std::unique_ptr<TPdfDictionary> CopyOfResources(const TPdfDictionary* from, TPdfObjectMgr* xref) {
  auto copy = std::make_unique<TPdfDictionary>(xref);
  if (from == nullptr) return copy;
  for (std::size_t i = 0; i < from->ItemCount(); ++i) {
    const TPdfDictionaryElement& element = from->Element(i);
    const std::string& key = element.key->Value();
    if (auto* names = from->DictionaryOf(key)) {
      auto* kind = copy->Put(key, std::make_unique<TPdfDictionary>(xref));
      for (std::size_t k = 0; k < names->ItemCount(); ++k) {
        const TPdfDictionaryElement& named = names->Element(k);
        if (TPdfObject* object = names->Lookup(named.key->Value())) {
          kind->Put(named.key->Value(), *object);
        }
      }
    } else if (auto* list = from->ArrayOf(key)) {
      auto* array = copy->Put(key, std::make_unique<TPdfArray>(xref));
      for (std::size_t k = 0; k < list->Count(); ++k) {
        if (auto* name = PdfCast<TPdfName>(list->Item(k))) {
          array->Add(std::make_unique<TPdfName>(name->Value()));
        }
      }
    }
  }
  return copy;
}

// Exactly 20 bytes a line: the offset (or, for a free entry, the next free number), the
// generation and the kind.
constexpr std::size_t kXrefLineBytes = 20;

void AppendXrefLine(std::string& out, std::int64_t offset, int generation, char type) {
  if (offset > 9999999999LL) throw EPdfInvalidOperation("SaveToStream --file too large.");
  AppendPadded(out, offset, 10);
  out.push_back(' ');
  AppendPadded(out, generation, 5);
  out.push_back(' ');
  out.push_back(type);
  out += "\r\n";
}

// Whether an entry's line no longer changes and its object is not needed any more: written out
// and let go, or free (a free line's link to the next free one is the exception, mended later).
bool IsSettled(const TPdfXrefEntry& entry) {
  return entry.entryType == 'f' || (entry.byteOffset >= 0 && !entry.value);
}

}  // namespace

void TPdfHeader::WriteToStream(std::string& out) const { out += "%PDF-1.2 \r\n"; }

TPdfXref::TPdfXref() {
  TPdfXrefEntry head;
  head.entryType = 'f';
  head.generationNumber = 65535;
  entries_.push_back(std::move(head));
}

TPdfXref::~TPdfXref() = default;

TPdfObject* TPdfXref::AddObject(std::unique_ptr<TPdfObject> object) {
  if (!object || object->ObjectType() != TPdfObjectType::otDirectObject) {
    throw EPdfInvalidOperation("AddObject --wrong object type.");
  }
  TPdfObject* raw = object.get();
  MakeIndirect(*raw, static_cast<int>(ItemCount()));
  TPdfXrefEntry entry;
  entry.generationNumber = raw->GenerationNumber();
  entry.value = std::move(object);
  entries_.push_back(std::move(entry));
  return raw;
}

TPdfObject* TPdfXref::GetObject(int objectNumber) const {
  if (objectNumber < 0 || static_cast<std::size_t>(objectNumber) >= ItemCount()) return nullptr;
  const auto number = static_cast<std::size_t>(objectNumber);
  if (number >= settled_) return entries_[number - settled_].value.get();
  const auto held = held_.find(number);
  return held != held_.end() ? held->second.value.get() : nullptr;
}

TPdfXrefEntry& TPdfXref::Item(std::size_t index) {
  if (index >= settled_) return entries_.at(index - settled_);
  const auto held = held_.find(index);
  if (held == held_.end()) throw EPdfInvalidOperation("Item --entry written and let go.");
  return held->second;
}

void TPdfXref::ForEachHeld(const std::function<void(std::size_t, TPdfXrefEntry&)>& visit) {
  for (auto& [number, entry] : held_) visit(number, entry);
  for (std::size_t i = 0; i < entries_.size(); ++i) visit(settled_ + i, entries_[i]);
}

void TPdfXref::FreeObject(int objectNumber) {
  if (objectNumber <= 0 || static_cast<std::size_t>(objectNumber) >= ItemCount())
    throw EPdfInvalidOperation("FreeObject --no such object.");
  // The free list is set aside in the order of the numbers; one settled cannot join it.
  if (static_cast<std::size_t>(objectNumber) < settled_)
    throw EPdfInvalidOperation("FreeObject --object already written.");
  TPdfXrefEntry& entry = entries_[static_cast<std::size_t>(objectNumber) - settled_];
  entry.value.reset();
  entry.entryType = 'f';
  entry.byteOffset = -1;
  // A number used again would have the next generation.
  ++entry.generationNumber;
}

void TPdfXref::SettleInto(std::unique_ptr<ScratchFile> scratch) {
  scratch_ = std::move(scratch);
  // Room for the lines of a few pages more than are kept back, that the buffer never doubles.
  pending_.reserve(kPendingBytes + 4096);
}

void TPdfXref::PutInLine(std::size_t number, std::string_view bytes) {
  if (number >= pendingFrom_) {
    pending_.replace((number - pendingFrom_) * kXrefLineBytes, bytes.size(), bytes);
  } else {
    scratch_->WriteAt(number * kXrefLineBytes, bytes);
  }
}

void TPdfXref::Settle(std::size_t number) {
  if (!scratch_) return;
  // Held entries that have been written and let go since (page groups, forms): few. None is free,
  // as FreeObject refuses them.
  for (auto held = held_.begin(); held != held_.end();) {
    if (!IsSettled(held->second)) {
      ++held;
      continue;
    }
    std::string line;
    AppendXrefLine(line, held->second.byteOffset, held->second.generationNumber, 'n');
    PutInLine(held->first, line);
    held = held_.erase(held);
  }
  // Then the entries below `number`; a held one leaves its 20 bytes for later.
  while (settled_ < number && !entries_.empty()) {
    TPdfXrefEntry& entry = entries_.front();
    if (entry.entryType == 'f') {
      // Linked to nothing yet; the free entry set aside before links to this one.
      if (lastFreeSetAside_) {
        std::string link;
        AppendPadded(link, static_cast<std::int64_t>(settled_), 10);
        PutInLine(*lastFreeSetAside_, link);
      }
      lastFreeSetAside_ = settled_;
      AppendXrefLine(pending_, 0, entry.generationNumber, 'f');
    } else if (IsSettled(entry)) {
      AppendXrefLine(pending_, entry.byteOffset, entry.generationNumber, 'n');
    } else {
      pending_.append(kXrefLineBytes, ' ');
      held_.emplace(settled_, std::move(entry));
    }
    entries_.pop_front();
    ++settled_;
  }
  if (pending_.size() >= kPendingBytes) {
    scratch_->WriteAt(pendingFrom_ * kXrefLineBytes, pending_);
    pending_.clear();
    pendingFrom_ = settled_;
  }
}

void TPdfXref::WriteToStream(std::string& out,
                             const std::function<void(std::string&)>& flush) const {
  constexpr std::size_t kFlushBytes = 64 * 1024;
  out += "xref\r\n0 ";
  out += std::to_string(ItemCount());
  out += "\r\n";
  // Free entries are a list from entry 0: each names the next free number, the last 0.
  std::size_t nextFree = 0;  // the next free number after the entry, once looked for
  const auto findNextFree = [&](std::size_t after) {
    nextFree = after + 1;
    while (nextFree < ItemCount() && entries_[nextFree - settled_].entryType != 'f') ++nextFree;
  };
  if (settled_ > 0) {
    // The lines set aside, in pieces, with the held entries' lines put in their places and the
    // last free entry set aside linked to the first one held.
    findNextFree(settled_ - 1);
    constexpr std::size_t kPieceLines = kFlushBytes / kXrefLineBytes;
    std::string piece;
    auto held = held_.begin();
    for (std::size_t from = 0, lines = 0; from < settled_; from += lines) {
      if (from < pendingFrom_) {
        lines = std::min(kPieceLines, pendingFrom_ - from);
        scratch_->ReadAt(from * kXrefLineBytes, lines * kXrefLineBytes, piece);
      } else {
        lines = std::min(kPieceLines, settled_ - from);
        piece.assign(pending_, (from - pendingFrom_) * kXrefLineBytes, lines * kXrefLineBytes);
      }
      for (; held != held_.end() && held->first < from + lines; ++held) {
        std::string line;
        const TPdfXrefEntry& entry = held->second;
        AppendXrefLine(line, entry.byteOffset < 0 ? 0 : entry.byteOffset, entry.generationNumber,
                       entry.entryType);
        piece.replace((held->first - from) * kXrefLineBytes, kXrefLineBytes, line);
      }
      if (lastFreeSetAside_ && *lastFreeSetAside_ >= from && *lastFreeSetAside_ < from + lines &&
          nextFree < ItemCount()) {
        std::string link;
        AppendPadded(link, static_cast<std::int64_t>(nextFree), 10);
        piece.replace((*lastFreeSetAside_ - from) * kXrefLineBytes, link.size(), link);
      }
      // Handed on first, so that out does not grow to hold two pieces.
      if (flush && !out.empty()) flush(out);
      out += piece;
    }
  }
  for (std::size_t i = settled_; i < ItemCount(); ++i) {
    const TPdfXrefEntry& entry = entries_[i - settled_];
    // An offset never written counts as zero.
    std::int64_t offset = entry.byteOffset < 0 ? 0 : entry.byteOffset;
    if (entry.entryType == 'f') {
      if (nextFree <= i) findNextFree(i);
      offset = nextFree < ItemCount() ? static_cast<std::int64_t>(nextFree) : 0;
    }
    AppendXrefLine(out, offset, entry.generationNumber, entry.entryType);
    if (flush && out.size() >= kFlushBytes) flush(out);
  }
}

TPdfTrailer::TPdfTrailer(TPdfObjectMgr* objectMgr)
    : attributes_(std::make_unique<TPdfDictionary>(objectMgr)) {
  attributes_->Put("Size", std::make_unique<TPdfNumber>(0));
}

void TPdfTrailer::WriteToStream(std::string& out) {
  out += "trailer\r\n";
  attributes_->WriteBody(out);
  out += "\r\nstartxref\r\n";
  out += std::to_string(xrefAddress_);
  out += "\r\n%%EOF\r\n";
}

TPdfDoc::TPdfDoc(const Clock& clock)
    : clock_(&clock), canvas_(std::make_unique<TPdfCanvas>(*this)) {}

TPdfDoc::~TPdfDoc() { FreeDoc(); }

void TPdfDoc::FreeDoc() {
  file_.reset();  // a file never finished is removed
  rootPages_ = 0;
  writtenGroupPages_ = 0;
  openGroups_.clear();
  // The canvas points into the page tree and the font list: let go of those first.
  canvas_->Detach();
  fonts_.clear();
  unicodeFonts_.clear();
  faces_.clear();
  root_.reset();
  info_.reset();
  outlineRoot_.reset();
  xobjects_.reset();
  currentPages_ = nullptr;
  trailer_.reset();
  header_.reset();
  xref_.reset();
  hasDoc_ = false;
}

void TPdfDoc::NewDoc() {
  FreeDoc();
  xref_ = std::make_unique<TPdfXref>();
  header_ = std::make_unique<TPdfHeader>();
  trailer_ = std::make_unique<TPdfTrailer>(xref_.get());
  xobjects_ = std::make_unique<TPdfArray>(xref_.get());

  auto* catalog = xref_->Register(std::make_unique<TPdfDictionary>(xref_.get()));
  catalog->Put("Type", std::make_unique<TPdfName>("Catalog"));
  root_ = std::make_unique<TPdfCatalog>();
  root_->SetData(catalog);
  trailer_->Attributes().Put("Root", *catalog);

  if (useOutlines_) {
    auto* outlines = xref_->Register(std::make_unique<TPdfDictionary>(xref_.get()));
    outlines->Put("Type", std::make_unique<TPdfName>("Outlines"));
    outlineRoot_ = std::make_unique<TPdfOutlineRoot>();
    outlineRoot_->SetData(outlines);
    catalog->Put("Outlines", *outlines);
  }

  auto* info = xref_->Register(std::make_unique<TPdfDictionary>(xref_.get()));
  info_ = std::make_unique<TPdfInfo>();
  info_->SetData(info);
  info_->SetProducer(kProducer);
  trailer_->Attributes().Put("Info", *info);
  info_->SetCreationDate(clock_->Now());

  auto* pages = xref_->Register(std::make_unique<TPdfDictionary>(xref_.get()));
  pages->Put("Type", std::make_unique<TPdfName>("Pages"));
  pages->Put("Kids", std::make_unique<TPdfArray>(xref_.get()));
  pages->Put("Count", std::make_unique<TPdfNumber>(0));
  root_->SetPages(*pages);
  currentPages_ = pages;

  hasDoc_ = true;
}

void TPdfDoc::PutPrintBoxes(TPdfDictionary& page, int width, int height) const {
  if (bleed_ <= 0) return;
  auto* trimBox = page.Put("TrimBox", std::make_unique<TPdfArray>(xref_.get()));
  trimBox->Add(std::make_unique<TPdfReal>(bleed_));
  trimBox->Add(std::make_unique<TPdfReal>(bleed_));
  trimBox->Add(std::make_unique<TPdfReal>(width - bleed_));
  trimBox->Add(std::make_unique<TPdfReal>(height - bleed_));
  auto* bleedBox = page.Put("BleedBox", std::make_unique<TPdfArray>(xref_.get()));
  for (const int value : {0, 0, width, height}) bleedBox->Add(std::make_unique<TPdfNumber>(value));
}

std::size_t TPdfDoc::PageCount() const {
  TPdfNumber* count = currentPages_ != nullptr ? currentPages_->NumberOf("Count") : nullptr;
  return count != nullptr ? static_cast<std::size_t>(count->Value()) : 0;
}

std::pair<TPdfArray*, std::size_t> TPdfDoc::KidsHolding(std::size_t index) const {
  TPdfArray* kids = currentPages_ != nullptr ? currentPages_->ArrayOf("Kids") : nullptr;
  if (kids == nullptr) throw EPdfInvalidOperation("PageAt --no such page.");
  if (index < rootPages_) return {kids, index};
  index -= rootPages_;
  if (index < writtenGroupPages_) throw EPdfInvalidOperation("PageAt --page already written.");
  index -= writtenGroupPages_;
  for (TPdfDictionary* group : openGroups_) {
    TPdfArray* groupKids = group->ArrayOf("Kids");
    if (index < groupKids->Count()) return {groupKids, index};
    index -= groupKids->Count();
  }
  throw EPdfInvalidOperation("PageAt --no such page.");
}

TPdfDictionary& TPdfDoc::PageAt(std::size_t index) const {
  const auto [kids, at] = KidsHolding(index);
  auto* page = PdfCast<TPdfDictionary>(kids->Item(at));
  if (page == nullptr) throw EPdfInvalidOperation("PageAt --no such page.");
  return *page;
}

TPdfStream& TPdfDoc::MakeForm(TPdfDictionary& page, const std::array<double, 4>& box) {
  auto* form = PdfCast<TPdfStream>(page.Lookup("Contents"));
  if (form == nullptr) throw EPdfInvalidOperation("PageToForm --page without contents.");
  canvas_->SetPage(nullptr);

  TPdfDictionary& attributes = form->Attributes();
  attributes.Put("Type", std::make_unique<TPdfName>("XObject"));
  attributes.Put("Subtype", std::make_unique<TPdfName>("Form"));
  auto* bbox = attributes.Put("BBox", std::make_unique<TPdfArray>(xref_.get()));
  for (const double value : box) bbox->Add(std::make_unique<TPdfReal>(value));
  attributes.Put("Resources", CopyOfResources(page.DictionaryOf("Resources"), xref_.get()));
  return *form;
}

TPdfStream& TPdfDoc::TakePageAsForm(std::size_t index, const std::array<double, 4>& box) {
  TPdfDictionary& page = PageAt(index);
  TPdfStream& form = MakeForm(page, box);
  const auto [kids, at] = KidsHolding(index);
  kids->Remove(at);
  if (at < rootPages_ && kids == currentPages_->ArrayOf("Kids")) {
    --rootPages_;
  } else {
    for (TPdfDictionary* group : openGroups_) {
      if (group->ArrayOf("Kids") == kids)
        group->NumberOf("Count")->SetValue(static_cast<std::int32_t>(kids->Count()));
    }
  }
  TPdfNumber* count = currentPages_->NumberOf("Count");
  count->SetValue(count->Value() - 1);
  xref_->FreeObject(page.ObjectNumber());
  return form;
}

void TPdfDoc::ForgetWritten(TPdfObject& object) {
  const auto number = static_cast<std::size_t>(object.ObjectNumber());
  if (number == 0 || xref_->GetObject(object.ObjectNumber()) != &object ||
      xref_->Item(number).byteOffset < 0) {
    throw EPdfInvalidOperation("ForgetWritten --object not written.");
  }
  xref_->Item(number).value.reset();
}

TPdfStream& TPdfDoc::PageToForm(std::size_t index, const std::array<double, 4>& box) {
  TPdfDictionary& page = PageAt(index);
  TPdfStream& form = MakeForm(page, box);

  auto* resources = page.Put("Resources", std::make_unique<TPdfDictionary>(xref_.get()));
  resources->Put("Font", std::make_unique<TPdfDictionary>(xref_.get()));
  resources->Put("XObject", std::make_unique<TPdfDictionary>(xref_.get()));
  auto* procSet = resources->Put("ProcSet", std::make_unique<TPdfArray>(xref_.get()));
  procSet->Add(std::make_unique<TPdfName>("PDF"));
  page.Put("Contents", *xref_->Register(std::make_unique<TPdfStream>(xref_.get())));
  page.Remove("TrimBox");
  page.Remove("BleedBox");
  for (const char* state :
       {"_Font", "_Font_Size", "_Word_Space", "_Char_Space", "_HScalling", "_Leading"}) {
    page.Remove(state);
  }
  return form;
}

TPdfDictionary& TPdfDoc::ParentOfNewPage() {
  if (!file_) return *currentPages_;
  if (openGroups_.empty() || openGroups_.back()->ArrayOf("Kids")->Count() >= kPagesPerGroup) {
    auto* group = xref_->Register(std::make_unique<TPdfDictionary>(xref_.get()));
    group->Put("Type", std::make_unique<TPdfName>("Pages"));
    group->Put("Parent", *currentPages_);
    group->Put("Kids", std::make_unique<TPdfArray>(xref_.get()));
    group->Put("Count", std::make_unique<TPdfNumber>(0));
    currentPages_->ArrayOf("Kids")->Add(*group);
    openGroups_.push_back(group);
  }
  return *openGroups_.back();
}

void TPdfDoc::AddPage() {
  if (currentPages_ == nullptr) throw EPdfInvalidOperation("AddPage --current pages null.");
  TPdfArray* rootKids = currentPages_->ArrayOf("Kids");
  TPdfNumber* count = currentPages_->NumberOf("Count");
  if (rootKids == nullptr || count == nullptr)
    throw EPdfInvalidOperation("AddPage --current pages null.");
  TPdfDictionary& parent = ParentOfNewPage();
  TPdfArray* kids = parent.ArrayOf("Kids");

  auto* page = xref_->Register(std::make_unique<TPdfDictionary>(xref_.get()));
  kids->Add(*page);
  if (&parent == currentPages_) {
    ++rootPages_;
  } else {
    parent.NumberOf("Count")->SetValue(static_cast<std::int32_t>(kids->Count()));
  }
  count->SetValue(count->Value() + 1);

  page->Put("Type", std::make_unique<TPdfName>("Page"));
  page->Put("Parent", parent);
  auto* mediaBox = page->Put("MediaBox", std::make_unique<TPdfArray>(xref_.get()));
  mediaBox->Add(std::make_unique<TPdfNumber>(0));
  mediaBox->Add(std::make_unique<TPdfNumber>(0));
  mediaBox->Add(std::make_unique<TPdfNumber>(defaultPageWidth_));
  mediaBox->Add(std::make_unique<TPdfNumber>(defaultPageHeight_));
  PutPrintBoxes(*page, defaultPageWidth_, defaultPageHeight_);

  auto* resources = page->Put("Resources", std::make_unique<TPdfDictionary>(xref_.get()));
  resources->Put("Font", std::make_unique<TPdfDictionary>(xref_.get()));
  resources->Put("XObject", std::make_unique<TPdfDictionary>(xref_.get()));
  auto* procSet = resources->Put("ProcSet", std::make_unique<TPdfArray>(xref_.get()));
  procSet->Add(std::make_unique<TPdfName>("PDF"));
  procSet->Add(std::make_unique<TPdfName>("Text"));
  procSet->Add(std::make_unique<TPdfName>("ImageC"));

  auto* contents = xref_->Register(std::make_unique<TPdfStream>(xref_.get()));
  page->Put("Contents", *contents);

  canvas_->SetPage(page);
}

void TPdfDoc::Serialize(std::string& out, const LargeDataSink* large, const std::uint64_t& flushed,
                        bool largeStreamsFirst) {
  if (!hasDoc_) throw EPdfInvalidOperation("SaveToStream --there is no document to save.");
  canvas_->Page();  // raises when no page was added

  info_->SetModDate(clock_->Now());
  root_->SaveOpenAction();
  if (outlineRoot_) outlineRoot_->Save();
  for (auto& face : faces_) face->Finish();

  // Embedded CID fonts and the trim and bleed boxes came with PDF 1.3; files without them keep the
  // header they always had.
  if (faces_.empty() && bleed_ <= 0) {
    header_->WriteToStream(out);
  } else {
    out += "%PDF-1.3 \r\n";
  }
  const auto isLarge = [](const TPdfXrefEntry& entry) {
    const auto* stream = PdfCast<TPdfStream>(entry.value.get());
    return stream != nullptr && stream->DataView().size() >= kLargeStreamBytes;
  };
  // In number order; with largeStreamsFirst in two rounds, the large streams in the first.
  for (int round = largeStreamsFirst ? 0 : 1; round < 2; ++round) {
    for (std::size_t i = 1; i < xref_->ItemCount(); ++i) {
      TPdfXrefEntry& entry = xref_->Item(i);
      // A page taken out as a form left a free number.
      if (entry.entryType == 'f') continue;
      if (!entry.value)
        throw EPdfInvalidOperation("SaveToStream --object already written and let go.");
      if (largeStreamsFirst && isLarge(entry) != (round == 0)) continue;
      entry.byteOffset = static_cast<std::int64_t>(flushed + out.size());
      entry.value->WriteObject(out, large);
    }
  }
  trailer_->SetXrefAddress(static_cast<std::int64_t>(flushed + out.size()));
  xref_->WriteToStream(out);
  // In place: the trailer keeps "Size", "Root", "Info" in that order.
  trailer_->Attributes().NumberOf("Size")->SetValue(static_cast<std::int32_t>(xref_->ItemCount()));
  trailer_->WriteToStream(out);
}

void TPdfDoc::SaveToStream(std::string& out) {
  out.clear();
  // Stream bytes make up most of a file; reserving for them saves copying them again as the
  // output grows.
  if (hasDoc_) {
    std::size_t expected = 1024 + xref_->ItemCount() * 256;
    for (std::size_t i = 1; i < xref_->ItemCount(); ++i) {
      if (auto* stream = PdfCast<TPdfStream>(xref_->Item(i).value.get())) {
        expected += stream->DataView().size();
      }
    }
    out.reserve(expected);
  }
  const std::uint64_t flushed = 0;
  Serialize(out, nullptr, flushed);
}

void TPdfDoc::SaveToPieces(std::string& text, std::vector<std::string_view>& pieces,
                           bool largeStreamsFirst) {
  text.clear();
  pieces.clear();
  std::vector<std::pair<std::size_t, std::string_view>> inserts;  // at a place in the text
  std::uint64_t flushed = 0;
  const LargeDataSink large = [&](std::string& out, std::string_view bytes) {
    inserts.emplace_back(out.size(), bytes);
    flushed += bytes.size();
  };
  Serialize(text, &large, flushed, largeStreamsFirst);
  std::size_t from = 0;
  for (const auto& [at, bytes] : inserts) {
    pieces.push_back(std::string_view(text).substr(from, at - from));
    pieces.push_back(bytes);
    from = at;
  }
  pieces.push_back(std::string_view(text).substr(from));
}

void TPdfDoc::SaveToFile(const std::filesystem::path& path, AtomicFileWriter::Leftovers tidy) {
  // Check before a temporary file is made.
  if (!hasDoc_) throw EPdfInvalidOperation("SaveToStream --there is no document to save.");
  canvas_->Page();
  AtomicFileWriter file(path, tidy);
  std::uint64_t flushed = 0;
  std::string out;
  const LargeDataSink large = [&](std::string& text, std::string_view bytes) {
    file.Write(text);
    flushed += text.size();
    text.clear();
    file.Write(bytes);
    flushed += bytes.size();
  };
  Serialize(out, &large, flushed);
  file.Write(out);
  file.Commit();
}

void TPdfDoc::StartFile(const std::filesystem::path& path) {
  if (!hasDoc_) throw EPdfInvalidOperation("SaveToStream --there is no document to save.");
  file_ = std::make_unique<AtomicFileWriter>(path);
  // The header goes first, before the fonts are known: a file written page by page says 1.3.
  const std::string header = "%PDF-1.3 \r\n";
  file_->Write(header);
  fileBytes_ = header.size();
  firstUnwritten_ = 1;
  xref_->SettleInto(std::make_unique<ScratchFile>(*file_));
}

void TPdfDoc::WriteEntry(std::size_t i, std::string& out) {
  TPdfXrefEntry& entry = xref_->Item(i);
  const LargeDataSink large = [&](std::string& text, std::string_view bytes) {
    file_->Write(text);
    fileBytes_ += text.size();
    text.clear();
    file_->Write(bytes);
    fileBytes_ += bytes.size();
  };
  entry.byteOffset = static_cast<std::int64_t>(fileBytes_ + out.size());
  entry.value->WriteObject(out, &large);
  file_->Write(out);
  fileBytes_ += out.size();
  out.clear();
}

void TPdfDoc::FlushPages() {
  if (!file_) throw EPdfInvalidOperation("FlushPages --no file started.");
  // The canvas lets go of its page, keeping its text state there; the next page starts afresh.
  canvas_->SetPage(nullptr);
  std::string out;
  // Entries are looked at once: what is not written now (fonts, the page tree) waits for the end.
  const std::size_t count = xref_->ItemCount();
  for (std::size_t i = firstUnwritten_; i < count; ++i) {
    TPdfXrefEntry& entry = xref_->Item(i);
    if (entry.byteOffset >= 0 || !entry.value) continue;
    TPdfObject* object = entry.value.get();
    auto* page = PdfCast<TPdfDictionary>(object);
    auto* stream = PdfCast<TPdfStream>(object);
    if (page != nullptr && page->TypeOf() == "Page") {
      // The page and its content stream are finished; nothing refers to them again but the page
      // tree, by number.
      auto* contents = PdfCast<TPdfStream>(page->Lookup("Contents"));
      WriteEntry(i, out);
      entry.value.reset();
      if (contents != nullptr) {
        const auto number = static_cast<std::size_t>(contents->ObjectNumber());
        WriteEntry(number, out);
        xref_->Item(number).value.reset();
      }
    } else if (stream != nullptr && stream->Attributes().TypeOf() == "XObject") {
      // Pictures and forms no longer change; they stay, as later pages find them by name.
      WriteEntry(i, out);
    }
  }
  firstUnwritten_ = count;
  // Groups whose pages are all written go too, but the one still being filled.
  while (
      !openGroups_.empty() &&
      (openGroups_.size() > 1 || openGroups_.front()->ArrayOf("Kids")->Count() >= kPagesPerGroup)) {
    TPdfDictionary* group = openGroups_.front();
    const auto number = static_cast<std::size_t>(group->ObjectNumber());
    writtenGroupPages_ += group->ArrayOf("Kids")->Count();
    openGroups_.erase(openGroups_.begin());
    WriteEntry(number, out);
    xref_->Item(number).value.reset();
  }
  // What is written and let go leaves the table, for the scratch file.
  xref_->Settle(firstUnwritten_);
}

void TPdfDoc::FinishFile() {
  if (!file_) throw EPdfInvalidOperation("FinishFile --no file started.");
  info_->SetModDate(clock_->Now());
  root_->SaveOpenAction();
  if (outlineRoot_) outlineRoot_->Save();
  for (auto& face : faces_) face->Finish();
  std::string out;
  xref_->ForEachHeld([&](std::size_t i, TPdfXrefEntry& entry) {
    if (i > 0 && entry.byteOffset < 0 && entry.value) WriteEntry(i, out);
  });
  trailer_->SetXrefAddress(static_cast<std::int64_t>(fileBytes_));
  xref_->WriteToStream(out, [this](std::string& part) {
    file_->Write(part);
    fileBytes_ += part.size();
    part.clear();
  });
  trailer_->Attributes().NumberOf("Size")->SetValue(static_cast<std::int32_t>(xref_->ItemCount()));
  trailer_->WriteToStream(out);
  file_->Write(out);
  fileBytes_ += out.size();
  file_->Commit();
  file_.reset();
}

TPdfCanvas& TPdfDoc::CreateVirtualCanvas() {
  NewDoc();
  AddPage();
  canvas_->SetIsVirtual(true);
  return *canvas_;
}

TPdfCanvas& TPdfDoc::Canvas() {
  if (!hasDoc_) throw EPdfInvalidOperation("GetCanvas --Document is null");
  return *canvas_;
}

TPdfInfo& TPdfDoc::Info() {
  if (!hasDoc_) throw EPdfInvalidOperation("GetInfo --this method can not use this state..");
  return *info_;
}

TPdfCatalog& TPdfDoc::Root() {
  if (!hasDoc_) throw EPdfInvalidOperation("GetRoot --this method can not use this state..");
  return *root_;
}

TPdfOutlineRoot& TPdfDoc::OutlineRoot() {
  if (!hasDoc_) throw EPdfInvalidOperation("GetOutlineRoot --document is null..");
  if (!useOutlines_ || !outlineRoot_) {
    throw EPdfInvalidOperation("GetOutlineRoot --not use outline mode..");
  }
  return *outlineRoot_;
}

TPdfXref& TPdfDoc::ObjectMgr() {
  if (!hasDoc_) throw EPdfInvalidOperation("GetObjectMgr --document is null.");
  return *xref_;
}

void TPdfDoc::SetUseOutlines(bool value) { useOutlines_ = value; }

TPdfFont& TPdfDoc::GetFont(std::string_view name) {
  if (!hasDoc_) throw EPdfInvalidOperation("GetFont --document is null.");
  for (auto& font : fonts_) {
    if (font->Name() == name) return *font;
  }
  if (name.ends_with(TPdfUnicodeFont::kUnicodeSuffix)) {
    for (auto& font : unicodeFonts_) {
      if (font->Name() == name) return *font;
    }
    unicodeFonts_.push_back(std::make_unique<TPdfUnicodeFont>(*this, std::string(name)));
    return *unicodeFonts_.back();
  }
  // Unknown names raise here, before anything is registered.
  const StandardFontClass& fontClass = FindStandardFont(name);
  auto font = fontClass.create(*xref_, std::string(name));
  font->SetResourceName("F" + std::to_string(fonts_.size()));
  fonts_.push_back(std::move(font));
  return *fonts_.back();
}

TPdfEmbeddedFace& TPdfDoc::EmbeddedFace(const FontFace& face) {
  if (!hasDoc_) throw EPdfInvalidOperation("GetFont --document is null.");
  for (auto& embedded : faces_) {
    if (&embedded->Face() == &face) return *embedded;
  }
  faces_.push_back(
      std::make_unique<TPdfEmbeddedFace>(*xref_, face, "U" + std::to_string(faces_.size())));
  return *faces_.back();
}

void TPdfDoc::AddXObject(std::string_view name, std::unique_ptr<TPdfImage> image) {
  if (!hasDoc_) throw EPdfInvalidOperation("AddXObject --document is null.");
  if (!image) throw EPdfInvalidValue("RegisterXObject --AObject is null");
  if (GetXObject(name) != nullptr) {
    throw EPdfException("AddImage --the image named " + std::string(name) + " is already exists..");
  }
  const TPdfDictionary& attributes = image->Attributes();
  TPdfName* type = attributes.NameOf("Type");
  TPdfName* subtype = attributes.NameOf("Subtype");
  if (type == nullptr || type->Value() != "XObject" || subtype == nullptr ||
      subtype->Value() != "Image") {
    throw EPdfException("AddImage --the image is not valid TPdfImage..");
  }
  TPdfImage* registered = xref_->Register(std::move(image));
  RegisterXObject(registered, name);
}

void TPdfDoc::RegisterXObject(TPdfImage* image, std::string_view name) {
  if (image == nullptr) throw EPdfInvalidValue("RegisterXObject --AObject is null");
  if (image->Attributes().TypeOf() != "XObject") {
    throw EPdfInvalidValue("RegisterXObject --not XObject");
  }
  if (image->Attributes().NameOf("Name") != nullptr) return;
  if (GetXObject(name) != nullptr) {
    throw EPdfInvalidValue("RegisterXObject --dupulicate name: " + std::string(name));
  }
  xobjects_->Add(*image);
  image->Attributes().Put("Name", std::make_unique<TPdfName>(std::string(name)));
}

TPdfImage* TPdfDoc::XObject(std::size_t index) const {
  // Only AddXObject fills the list, and only with images.
  return xobjects_ ? static_cast<TPdfImage*>(PdfCast<TPdfStream>(xobjects_->Item(index))) : nullptr;
}

TPdfImage* TPdfDoc::GetXObject(std::string_view name) const {
  for (std::size_t i = 0; i < XObjectCount(); ++i) {
    TPdfImage* image = XObject(i);
    if (image == nullptr) continue;
    TPdfName* n = image->Attributes().NameOf("Name");
    if (n != nullptr && n->Value() == name) return image;
  }
  return nullptr;
}

}  // namespace quirabel::pdf
