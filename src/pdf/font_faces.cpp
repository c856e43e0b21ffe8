#include "pdf/font_faces.h"

#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>

#include <array>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace quirabel::pdf {

namespace {

// Faces and fontconfig are shared by the threads of a serial run.
std::mutex& LibraryMutex() {
  static std::mutex mutex;
  return mutex;
}

// A big-endian field of a table; 0 past its end.
std::int32_t TableField(hb_face_t* face, hb_tag_t tag, unsigned offset, unsigned size) {
  hb_blob_t* blob = hb_face_reference_table(face, tag);
  unsigned length = 0;
  const char* data = hb_blob_get_data(blob, &length);
  std::uint32_t value = 0;
  if (data != nullptr && offset + size <= length) {
    for (unsigned i = 0; i < size; ++i)
      value = (value << 8) | static_cast<unsigned char>(data[offset + i]);
  }
  hb_blob_destroy(blob);
  if (size == 2) return static_cast<std::int16_t>(value);
  return static_cast<std::int32_t>(value);
}

bool HasTable(hb_face_t* face, hb_tag_t tag) {
  hb_blob_t* blob = hb_face_reference_table(face, tag);
  const bool has = hb_blob_get_length(blob) > 0;
  hb_blob_destroy(blob);
  return has;
}

}  // namespace

FontFace::~FontFace() {
  hb_face_destroy(subsetSource_);
  hb_font_destroy(font_);
  hb_face_destroy(face_);
}

hb_face_t* FontFace::SubsetSource() const {
  std::call_once(subsetSourceMade_, [this] {
    hb_face_t* prepared = hb_subset_preprocess(face_);
    // When preparing fails, the face itself comes back, not a reference of its own.
    subsetSource_ = prepared != face_ ? prepared : nullptr;
  });
  return subsetSource_ != nullptr ? subsetSource_ : face_;
}

std::shared_ptr<const FontFace> FontFace::Load(const std::string& path, unsigned index) {
  hb_blob_t* blob = hb_blob_create_from_file_or_fail(path.c_str());
  if (blob == nullptr) return nullptr;
  hb_face_t* face = hb_face_create(blob, index);
  hb_blob_destroy(blob);
  // Only TrueType outlines go into a CIDFontType2; CFF and bitmap-only fonts are passed over.
  if (hb_face_get_glyph_count(face) == 0 || !HasTable(face, HB_TAG('g', 'l', 'y', 'f'))) {
    hb_face_destroy(face);
    return nullptr;
  }
  std::shared_ptr<FontFace> result(new FontFace());
  result->path_ = path;
  result->face_ = face;
  result->font_ = hb_font_create(face);
  result->unitsPerEm_ = std::max(1u, hb_face_get_upem(face));
  const auto scale = [&](double units) {
    return static_cast<int>(std::lround(units * 1000.0 / result->unitsPerEm_));
  };

  std::array<char, 128> name{};
  unsigned length = name.size();
  hb_ot_name_get_utf8(face, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &length,
                      name.data());
  for (const char* c = name.data(); *c != '\0'; ++c) {
    if (*c > ' ' && *c < 127 && std::string_view("()<>[]{}/%#").find(*c) == std::string_view::npos)
      result->postScriptName_ += *c;
  }
  if (result->postScriptName_.empty()) result->postScriptName_ = "Font";

  hb_position_t value = 0;
  if (hb_ot_metrics_get_position(result->font_, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &value))
    result->ascent_ = scale(value);
  if (hb_ot_metrics_get_position(result->font_, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &value))
    result->descent_ = scale(value);
  result->capHeight_ = result->ascent_;
  if (hb_ot_metrics_get_position(result->font_, HB_OT_METRICS_TAG_CAP_HEIGHT, &value) && value > 0)
    result->capHeight_ = scale(value);
  const hb_tag_t head = HB_TAG('h', 'e', 'a', 'd');
  for (unsigned i = 0; i < 4; ++i) result->bbox_[i] = scale(TableField(face, head, 36 + 2 * i, 2));
  const hb_tag_t post = HB_TAG('p', 'o', 's', 't');
  result->italicAngle_ = static_cast<int>(std::lround(TableField(face, post, 4, 4) / 65536.0));
  result->fixedPitch_ = TableField(face, post, 12, 4) != 0;
  return result;
}

std::optional<std::uint32_t> FontFace::Glyph(char32_t ch) const {
  hb_codepoint_t glyph = 0;
  if (!hb_font_get_nominal_glyph(font_, ch, &glyph) || glyph == 0) return std::nullopt;
  return glyph;
}

int FontFace::Advance(std::uint32_t glyph) const {
  const hb_position_t units = hb_font_get_glyph_h_advance(font_, glyph);
  return static_cast<int>(std::lround(units * 1000.0 / unitsPerEm_));
}

struct FontChain::Impl {
  struct Candidate {
    std::string path;
    unsigned index = 0;
    FcCharSet* charset = nullptr;
    std::shared_ptr<const FontFace> face;
    bool tried = false;
  };
  std::vector<Candidate> candidates;  // the Liberation face first
  std::unordered_map<char32_t, const FontFace*> chosen;
  // Latin, Greek, Cyrillic and the like are read without the lock once known; the rest is kept
  // by hash under it (its elements stay where they are).
  static constexpr char32_t kDirect = 0x800;
  std::array<std::atomic<bool>, kDirect> directKnown{};
  std::array<GlyphChoice, kDirect> direct{};
  std::unordered_map<char32_t, GlyphChoice> others;

  // Call with the library mutex held.
  const FontFace* FaceOf(Candidate& c) {
    if (!c.tried) {
      c.tried = true;
      c.face = FontFace::Load(c.path, c.index);
    }
    return c.face.get();
  }
};

FontChain::FontChain(int family, bool bold, bool italic) : impl_(std::make_unique<Impl>()) {
  std::lock_guard lock(LibraryMutex());
  static FcConfig* const config = [] {
    FcInit();
    return FcConfigGetCurrent();
  }();
  const char* familyName = family == 0   ? "Liberation Mono"
                           : family == 2 ? "Liberation Serif"
                                         : "Liberation Sans";
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(familyName));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcFontSet* fonts = FcFontSort(config, pattern, FcFalse, nullptr, &result);
  FcPatternDestroy(pattern);
  if (fonts == nullptr) return;
  for (int i = 0; i < fonts->nfont; ++i) {
    FcPattern* font = fonts->fonts[i];
    FcChar8* file = nullptr;
    FcChar8* format = nullptr;
    int index = 0;
    FcCharSet* charset = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) continue;
    if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) != FcResultMatch ||
        std::string_view(reinterpret_cast<const char*>(format)) != "TrueType")
      continue;
    if (FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch) continue;
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    Impl::Candidate c;
    c.path = reinterpret_cast<const char*>(file);
    c.index = static_cast<unsigned>(index);
    c.charset = FcCharSetCopy(charset);
    impl_->candidates.push_back(std::move(c));
  }
  FcFontSetDestroy(fonts);
}

FontChain::~FontChain() {
  for (auto& c : impl_->candidates) FcCharSetDestroy(c.charset);
}

const FontChain& FontChain::For(int family, bool bold, bool italic) {
  static std::mutex mutex;
  static std::map<std::tuple<int, bool, bool>, std::unique_ptr<FontChain>> chains;
  std::lock_guard lock(mutex);
  auto& chain = chains[{family, bold, italic}];
  if (!chain) chain = std::make_unique<FontChain>(family, bold, italic);
  return *chain;
}

const FontFace* FontChain::Primary() const {
  std::lock_guard lock(LibraryMutex());
  for (auto& c : impl_->candidates) {
    if (const FontFace* face = impl_->FaceOf(c)) return face;
  }
  return nullptr;
}

const GlyphChoice& FontChain::ChoiceFor(char32_t ch) const {
  if (ch < Impl::kDirect && impl_->directKnown[ch].load(std::memory_order_acquire))
    return impl_->direct[ch];
  GlyphChoice choice;
  choice.face = FaceFor(ch);
  if (choice.face != nullptr) {
    choice.glyph = *choice.face->Glyph(ch);
    choice.width = choice.face->Advance(choice.glyph);
  } else if (const FontFace* primary = Primary()) {
    choice.width = primary->Advance(0);
  }
  std::lock_guard lock(LibraryMutex());
  if (ch >= Impl::kDirect) return impl_->others.try_emplace(ch, choice).first->second;
  if (!impl_->directKnown[ch].load(std::memory_order_relaxed)) {
    impl_->direct[ch] = choice;
    impl_->directKnown[ch].store(true, std::memory_order_release);
  }
  return impl_->direct[ch];
}

const FontFace* FontChain::FaceFor(char32_t ch) const {
  std::lock_guard lock(LibraryMutex());
  if (auto it = impl_->chosen.find(ch); it != impl_->chosen.end()) return it->second;
  const FontFace* found = nullptr;
  for (auto& c : impl_->candidates) {
    if (!FcCharSetHasChar(c.charset, ch)) continue;
    const FontFace* face = impl_->FaceOf(c);
    if (face != nullptr && face->Glyph(ch)) {
      found = face;
      break;
    }
  }
  impl_->chosen.emplace(ch, found);
  return found;
}

}  // namespace quirabel::pdf
