#include "pdf/pdf_unicode_font.h"

#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "base/cp1252.h"
#include "pdf/pdf_bidi.h"
#include "pdf/pdf_doc.h"
#include "pdf/pdf_errors.h"

namespace quirabel::pdf {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendHex4(std::string& out, unsigned value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const char digits[4] = {kHex[(value >> 12) & 15], kHex[(value >> 8) & 15],
                          kHex[(value >> 4) & 15], kHex[value & 15]};
  out.append(digits, 4);
}

// Appends the character as UTF-16 in hexadecimal, for the ToUnicode map.
void AppendUtf16Hex(std::string& out, char32_t ch) {
  if (ch >= 0x10000) {
    const char32_t v = ch - 0x10000;
    AppendHex4(out, 0xD800 + (v >> 10));
    AppendHex4(out, 0xDC00 + (v & 0x3FF));
  } else {
    AppendHex4(out, ch);
  }
}

void AppendInt(std::string& out, int value) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

std::unique_ptr<TPdfName> Name(std::string value) {
  return std::make_unique<TPdfName>(std::move(value));
}

std::unique_ptr<TPdfNumber> Number(int value) { return std::make_unique<TPdfNumber>(value); }

// Control characters, and the marks of direction, which only order the text around them.
bool IsControl(char32_t ch) {
  return ch < 0x20 || (ch >= 0x7F && ch < 0xA0) || (ch >= 0x061C && IsBidiControl(ch));
}

}  // namespace

char32_t DecodeUtf8At(std::string_view text, std::size_t pos, std::size_t& length) {
  length = 1;
  const auto b0 = static_cast<unsigned char>(text[pos]);
  if (b0 < 0x80) return b0;
  std::size_t n = (b0 >> 5) == 6 ? 2 : (b0 >> 4) == 14 ? 3 : (b0 >> 3) == 30 ? 4 : 0;
  if (n == 0 || pos + n > text.size()) return kReplacement;
  char32_t ch = b0 & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(text[pos + i]);
    if ((b & 0xC0) != 0x80) return kReplacement;
    ch = (ch << 6) | (b & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (ch < kSmallest[n] || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return kReplacement;
  length = n;
  return ch;
}

std::string PdfTextString(std::string_view utf8) {
  if (FitsCp1252(utf8)) return Utf8ToCp1252(utf8);
  std::string out = "\xFE\xFF";
  const auto unit = [&](unsigned u) {
    out.push_back(static_cast<char>(u >> 8));
    out.push_back(static_cast<char>(u & 0xFF));
  };
  for (std::size_t pos = 0, length = 0; pos < utf8.size(); pos += length) {
    const char32_t ch = DecodeUtf8At(utf8, pos, length);
    if (ch >= 0x10000) {
      unit(0xD800 + ((ch - 0x10000) >> 10));
      unit(0xDC00 + ((ch - 0x10000) & 0x3FF));
    } else {
      unit(ch);
    }
  }
  return out;
}

std::string CodePointText(char32_t ch) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(ch));
  return buffer;
}

TPdfEmbeddedFace::TPdfEmbeddedFace(TPdfObjectMgr& objectMgr, const FontFace& face,
                                   std::string resourceName)
    : objectMgr_(&objectMgr), face_(&face), resourceName_(std::move(resourceName)) {
  type0_ = objectMgr.Register(std::make_unique<TPdfDictionary>(&objectMgr));
  cidFont_ = objectMgr.Register(std::make_unique<TPdfDictionary>(&objectMgr));
  descriptor_ = objectMgr.Register(std::make_unique<TPdfDictionary>(&objectMgr));
  fontFile_ = objectMgr.Register(std::make_unique<TPdfStream>(&objectMgr));
  toUnicode_ = objectMgr.Register(std::make_unique<TPdfStream>(&objectMgr));
  cidToGid_ = objectMgr.Register(std::make_unique<TPdfStream>(&objectMgr));
}

std::uint16_t TPdfEmbeddedFace::Code(char32_t ch, std::uint32_t glyph) {
  if (auto it = codeOf_.find(ch); it != codeOf_.end()) return it->second;
  if (codes_.size() >= 0xFFFE) throw EPdfInvalidValue("ShowText --too many characters.");
  codes_.emplace_back(ch, glyph);
  const auto code = static_cast<std::uint16_t>(codes_.size());
  codeOf_.emplace(ch, code);
  return code;
}

namespace {

// What a subset keeps and drops but the glyphs: the same for every subset, and costly to make
// (its default sets are built each time), so each thread makes it once and only fills in the
// glyphs for each cut. A plan only reads it.
class SubsetInput {
 public:
  SubsetInput() : input_(hb_subset_input_create_or_fail()) {
    if (input_ == nullptr) return;
    hb_set_t* drop = hb_subset_input_set(input_, HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (const char* tag : {"GSUB", "GPOS", "GDEF", "kern", "BASE", "JSTF", "DSIG", "hdmx", "VDMX",
                            "LTSH", "gasp", "morx", "feat", "name", "PCLT", "vhea", "vmtx"}) {
      hb_set_add(drop, hb_tag_from_string(tag, 4));
    }
    // Names and layout tables are dropped, so the names, features and scripts to keep do not
    // matter; left empty, every plan copies less.
    for (hb_subset_sets_t unused : {HB_SUBSET_SETS_NAME_ID, HB_SUBSET_SETS_NAME_LANG_ID,
                                    HB_SUBSET_SETS_LAYOUT_FEATURE_TAG,
                                    HB_SUBSET_SETS_LAYOUT_SCRIPT_TAG})
      hb_set_clear(hb_subset_input_set(input_, unused));
    hb_subset_input_set_flags(input_, HB_SUBSET_FLAGS_NO_HINTING);
  }
  ~SubsetInput() { hb_subset_input_destroy(input_); }
  SubsetInput(const SubsetInput&) = delete;
  SubsetInput& operator=(const SubsetInput&) = delete;

  // The input for these glyphs (and glyph 0, which every font needs); none when HarfBuzz failed.
  hb_subset_input_t* For(std::span<const std::uint32_t> glyphs) {
    if (input_ == nullptr) return nullptr;
    hb_set_t* keep = hb_subset_input_glyph_set(input_);
    hb_set_clear(keep);
    hb_set_add(keep, 0);
    for (std::uint32_t glyph : glyphs) hb_set_add(keep, glyph);
    return input_;
  }

 private:
  hb_subset_input_t* input_;
};

}  // namespace

FontSubset CutSubset(hb_face_t* source, std::span<const std::uint32_t> glyphs) {
  thread_local SubsetInput reused;
  const hb_subset_input_t* input = reused.For(glyphs);
  if (input == nullptr) throw EPdfInvalidOperation("SaveToStream --font subset failed.");
  hb_subset_plan_t* plan = hb_subset_plan_create_or_fail(source, input);
  if (plan == nullptr) throw EPdfInvalidOperation("SaveToStream --font subset failed.");
  FontSubset subset;
  const hb_map_t* newGlyph = hb_subset_plan_old_to_new_glyph_mapping(plan);
  subset.newGlyphs.reserve(glyphs.size());
  for (std::uint32_t glyph : glyphs) {
    const hb_codepoint_t g = hb_map_get(newGlyph, glyph);
    subset.newGlyphs.push_back(g == HB_MAP_VALUE_INVALID ? 0 : g);
  }
  hb_face_t* face = hb_subset_plan_execute_or_fail(plan);
  hb_subset_plan_destroy(plan);
  if (face == nullptr) throw EPdfInvalidOperation("SaveToStream --font subset failed.");
  hb_blob_t* blob = hb_face_reference_blob(face);
  unsigned length = 0;
  const char* data = hb_blob_get_data(blob, &length);
  subset.bytes.assign(data != nullptr ? data : "", length);
  hb_blob_destroy(blob);
  hb_face_destroy(face);
  return subset;
}

void TPdfEmbeddedFace::Finish() {
  // The subset: the glyphs used, renumbered by the subsetter; the codes keep their numbers and
  // reach their glyphs through CIDToGIDMap.
  std::vector<std::uint32_t> glyphs;
  glyphs.reserve(codes_.size());
  for (const auto& [ch, glyph] : codes_) glyphs.push_back(glyph);
  FontSubset subset = CutSubset(face_->SubsetSource(), glyphs);
  std::string map(2 * (codes_.size() + 1), '\0');
  for (std::size_t i = 0; i < codes_.size(); ++i) {
    const unsigned gid = subset.newGlyphs[i];
    map[2 * (i + 1)] = static_cast<char>(gid >> 8);
    map[2 * (i + 1) + 1] = static_cast<char>(gid & 0xFF);
  }
  const auto length = static_cast<int>(subset.bytes.size());
  fontFile_->Data() = std::move(subset.bytes);
  fontFile_->Attributes().Put("Length1", Number(length));
  cidToGid_->Data() = std::move(map);

  // A subset is named by a tag of six capitals made from what it holds.
  std::uint32_t hash = 2166136261u;
  for (const auto& [ch, glyph] : codes_) hash = (hash ^ glyph) * 16777619u;
  std::string baseFont;
  for (int i = 0; i < 6; ++i, hash /= 26) baseFont.push_back(static_cast<char>('A' + hash % 26));
  baseFont += "+" + face_->PostScriptName();

  std::string& cmap = toUnicode_->Data();
  constexpr std::string_view kCmapStart =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
  constexpr std::string_view kCmapEnd =
      "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
  // "<code> <character>\n" per code, one block header and end per hundred codes.
  cmap.reserve(kCmapStart.size() + kCmapEnd.size() + 16 * codes_.size() +
               30 * (codes_.size() / 100 + 1));
  cmap.assign(kCmapStart);
  for (std::size_t start = 0; start < codes_.size(); start += 100) {
    const std::size_t end = std::min(codes_.size(), start + 100);
    AppendInt(cmap, static_cast<int>(end - start));
    cmap += " beginbfchar\n";
    for (std::size_t i = start; i < end; ++i) {
      cmap += '<';
      AppendHex4(cmap, static_cast<unsigned>(i + 1));
      cmap += "> <";
      for (char32_t ch : LogicalCharacters(codes_[i].first)) AppendUtf16Hex(cmap, ch);
      cmap += ">\n";
    }
    cmap += "endbfchar\n";
  }
  cmap += kCmapEnd;

  TPdfDictionary& d = *descriptor_;
  d.Put("Type", Name("FontDescriptor"));
  d.Put("FontName", Name(baseFont));
  d.Put("Flags", Number(32 | (face_->FixedPitch() ? 1 : 0) | (face_->ItalicAngle() != 0 ? 64 : 0)));
  auto bbox = std::make_unique<TPdfArray>(objectMgr_);
  for (int i = 0; i < 4; ++i) bbox->Add(Number(face_->BBox()[i]));
  d.Put("FontBBox", std::move(bbox));
  d.Put("ItalicAngle", Number(face_->ItalicAngle()));
  d.Put("Ascent", Number(face_->Ascent()));
  d.Put("Descent", Number(face_->Descent()));
  d.Put("CapHeight", Number(face_->CapHeight()));
  d.Put("StemV", Number(80));
  d.Put("FontFile2", *fontFile_);

  TPdfDictionary& c = *cidFont_;
  c.Put("Type", Name("Font"));
  c.Put("Subtype", Name("CIDFontType2"));
  c.Put("BaseFont", Name(baseFont));
  auto info = std::make_unique<TPdfDictionary>(objectMgr_);
  info->Put("Registry", std::make_unique<TPdfText>("Adobe"));
  info->Put("Ordering", std::make_unique<TPdfText>("Identity"));
  info->Put("Supplement", Number(0));
  c.Put("CIDSystemInfo", std::move(info));
  c.Put("FontDescriptor", *descriptor_);
  c.Put("DW", Number(face_->Advance(0)));
  // The widths as the array of arrays they are, written at once rather than one object per code.
  auto widths = std::make_unique<TPdfBinary>();
  std::string& w = widths->Data();
  w.reserve(8 + 5 * codes_.size());
  w += '[';
  if (!codes_.empty()) {
    w += "1 [";
    for (const auto& [ch, glyph] : codes_) {
      AppendInt(w, face_->Advance(glyph));
      w += ' ';
    }
    w += "] ";
  }
  w += ']';
  c.Put("W", std::move(widths));
  c.Put("CIDToGIDMap", *cidToGid_);

  TPdfDictionary& t = *type0_;
  t.Put("Type", Name("Font"));
  t.Put("Subtype", Name("Type0"));
  t.Put("BaseFont", Name(baseFont));
  t.Put("Encoding", Name("Identity-H"));
  auto descendants = std::make_unique<TPdfArray>(objectMgr_);
  descendants->Add(*cidFont_);
  t.Put("DescendantFonts", std::move(descendants));
  t.Put("ToUnicode", *toUnicode_);
}

namespace {

struct StandardStyle {
  int family = 1;
  bool bold = false;
  bool italic = false;
};

StandardStyle StyleOf(std::string_view standardName) {
  FindStandardFont(standardName);  // raises for names that are not registered
  StandardStyle style;
  style.family = standardName.starts_with("FixedWidth") ? 0
                 : standardName.starts_with("Times")    ? 2
                                                        : 1;
  style.bold = standardName.find("Bold") != std::string_view::npos;
  style.italic = standardName.find("Italic") != std::string_view::npos;
  return style;
}

}  // namespace

TPdfUnicodeFont::TPdfUnicodeFont(TPdfDoc& doc, std::string name)
    : TPdfFont(std::move(name)), doc_(&doc) {
  std::string_view standard = Name();
  if (!standard.ends_with(kUnicodeSuffix))
    throw EPdfInvalidValue("GetFont --font not found: " + Name());
  standard.remove_suffix(kUnicodeSuffix.size());
  const StandardStyle style = StyleOf(standard);
  chain_ = &FontChain::For(style.family, style.bold, style.italic);
  const FontFace* face = chain_->Primary();
  if (face == nullptr) throw EPdfInvalidValue("GetFont --no installed font for " + Name());
  primary_ = &doc.EmbeddedFace(*face);
  SetDataOnly(&primary_->Dictionary(), primary_->ResourceName());
}

const GlyphChoice& TPdfUnicodeFont::ChoiceOf(char32_t ch) const {
  static const GlyphChoice kControl;
  return IsControl(ch) ? kControl : chain_->ChoiceFor(ch);
}

int TPdfUnicodeFont::GetCharWidth(std::string_view text, int position) const {
  if (position < 1 || static_cast<std::size_t>(position) > text.size()) return 0;
  const auto pos = static_cast<std::size_t>(position - 1);
  if ((static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) return 0;  // inside a character
  std::size_t length = 0;
  return ChoiceOf(DecodeUtf8At(text, pos, length)).width;
}

std::vector<char32_t> TPdfUnicodeFont::MissingCharacters(std::string_view text) const {
  std::vector<char32_t> missing;
  for (std::size_t pos = 0, length = 0; pos < text.size(); pos += length) {
    const char32_t ch = DecodeUtf8At(text, pos, length);
    if (IsControl(ch) || ChoiceOf(ch).face != nullptr) continue;
    if (std::find(missing.begin(), missing.end(), ch) == missing.end()) missing.push_back(ch);
  }
  return missing;
}

std::vector<TPdfUnicodeFont::Run> TPdfUnicodeFont::Encode(std::string_view text) {
  std::vector<Run> runs;
  for (std::size_t pos = 0, length = 0; pos < text.size(); pos += length) {
    const char32_t ch = DecodeUtf8At(text, pos, length);
    const GlyphChoice& choice = ChoiceOf(ch);
    if (choice.face == nullptr) continue;
    TPdfEmbeddedFace& face =
        &primary_->Face() == choice.face ? *primary_ : doc_->EmbeddedFace(*choice.face);
    if (runs.empty() || runs.back().face != &face) runs.push_back({&face, {}, {}});
    runs.back().codes.push_back(face.Code(ch, choice.glyph));
    runs.back().spaces.push_back(ch == ' ');
  }
  return runs;
}

}  // namespace quirabel::pdf
