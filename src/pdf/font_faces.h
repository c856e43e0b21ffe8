#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

struct hb_face_t;
struct hb_font_t;

namespace quirabel::pdf {

// One face of an installed TrueType font file, read once per process and shared by every
// document; everything here only reads it.
class FontFace {
 public:
  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  // The face at index of a file; none when it cannot be read or has no TrueType outlines.
  static std::shared_ptr<const FontFace> Load(const std::string& path, unsigned index);

  const std::string& Path() const { return path_; }
  // The PostScript name without spaces ("LiberationSans-Bold").
  const std::string& PostScriptName() const { return postScriptName_; }
  std::optional<std::uint32_t> Glyph(char32_t ch) const;
  // Advance of a glyph in thousandths of the font size, rounded as the PDF's widths are.
  int Advance(std::uint32_t glyph) const;
  // Metrics in thousandths of the font size, for the font descriptor.
  int Ascent() const { return ascent_; }
  int Descent() const { return descent_; }
  int CapHeight() const { return capHeight_; }
  int ItalicAngle() const { return italicAngle_; }
  bool FixedPitch() const { return fixedPitch_; }
  const int* BBox() const { return bbox_; }
  hb_face_t* Face() const { return face_; }
  // The face prepared once for cutting subsets out of it: each subset then skips parsing the
  // font's tables again, and comes out the same.
  hb_face_t* SubsetSource() const;

 private:
  FontFace() = default;

  std::string path_;
  std::string postScriptName_;
  hb_face_t* face_ = nullptr;
  hb_font_t* font_ = nullptr;
  mutable std::once_flag subsetSourceMade_;
  mutable hb_face_t* subsetSource_ = nullptr;
  unsigned unitsPerEm_ = 1000;
  int ascent_ = 0;
  int descent_ = 0;
  int capHeight_ = 0;
  int italicAngle_ = 0;
  bool fixedPitch_ = false;
  int bbox_[4] = {0, 0, 0, 0};
};

class FontFace;

// What sets a character: the face that has it, its glyph there and the glyph's advance in
// thousandths of the font size. No face when no installed font has it; the advance is then the
// primary face's missing glyph's.
struct GlyphChoice {
  const FontFace* face = nullptr;
  std::uint32_t glyph = 0;
  int width = 0;
};

// Which installed faces set the text of a standard font family when it holds characters beyond
// Windows-1252: the metric-compatible Liberation face of the same style first, then, for the
// characters it lacks, the installed fonts in the order fontconfig ranks them for that face.
// Thread-safe.
class FontChain {
 public:
  // Family 0 fixed width, 1 Arial, 2 Times Roman, as the standard fonts number them.
  static const FontChain& For(int family, bool bold, bool italic);

  // The face whose glyph sets ch; none when no installed font has it.
  const FontFace* FaceFor(char32_t ch) const;
  // The face ordinary text uses (Liberation).
  const FontFace* Primary() const;
  // FaceFor with the glyph and its advance, looked up once per process and character.
  const GlyphChoice& ChoiceFor(char32_t ch) const;

  ~FontChain();
  FontChain(int family, bool bold, bool italic);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quirabel::pdf
