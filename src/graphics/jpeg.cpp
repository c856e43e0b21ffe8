#include "graphics/jpeg.h"

#include <string.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h uses FILE and size_t without declaring them
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <jerror.h>
#include <jpeglib.h>

namespace quirabel::graphics {
namespace {

// libjpeg's own working memory; the coefficient buffer of a large progressive file is most of
// it. Without a limit a header alone decides how much is allocated.
constexpr long kMaxLibraryMemory = 512L * 1024 * 1024;
// Every scan of a progressive file walks the whole coefficient buffer, so a scan of a few bytes
// can cost a pass over a huge picture. Real encoders write about ten scans.
constexpr int kMaxScans = kMaxJpegScans;

struct ErrorManager {
  jpeg_error_mgr pub;  // first member: libjpeg's pointer to it points to the whole
  std::jmp_buf jump;
  const char* ownMessage;  // why we stopped libjpeg ourselves, or nullptr
};

ErrorManager* ErrorsOf(j_common_ptr cinfo) { return reinterpret_cast<ErrorManager*>(cinfo->err); }

// libjpeg must not go on after an error: jump back to Protected.
[[noreturn]] void OnErrorExit(j_common_ptr cinfo) { std::longjmp(ErrorsOf(cinfo)->jump, 1); }

// Warnings (corrupt or truncated data) are counted, never printed.
void OnEmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) ++cinfo->err->num_warnings;
}

void OnOutputMessage(j_common_ptr) {}

// Called at least once per scan while a multi-scan file is read in jpeg_start_decompress.
void OnProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
    ErrorManager* errors = ErrorsOf(cinfo);
    errors->ownMessage = "more than 500 scans";
    std::longjmp(errors->jump, 1);
  }
}

void InitErrors(ErrorManager& errors) {
  jpeg_std_error(&errors.pub);
  errors.pub.error_exit = OnErrorExit;
  errors.pub.emit_message = OnEmitMessage;
  errors.pub.output_message = OnOutputMessage;
  errors.ownMessage = nullptr;
}

// Runs libjpeg calls with the error jump set. Neither this frame nor the step holds objects with
// destructors, so a longjmp out of libjpeg skips none.
template <typename Step>
bool Protected(ErrorManager& errors, Step& step) {
  if (setjmp(errors.jump) != 0) return false;
  step();
  return true;
}

std::string FailureMessage(j_common_ptr cinfo, const ErrorManager& errors) {
  if (errors.ownMessage != nullptr) return std::string("JPEG: ") + errors.ownMessage;
  // libjpeg says "Backing store not supported" when its memory limit is reached.
  if (cinfo->err->msg_code == JERR_NO_BACKING_STORE) {
    return "JPEG: decoding needs more than 512 MiB of working memory";
  }
  char text[JMSG_LENGTH_MAX] = {};
  (*cinfo->err->format_message)(cinfo, text);
  return std::string("JPEG: ") + text;
}

class Decompressor {
 public:
  Decompressor() {
    InitErrors(errors_);
    cinfo_.err = &errors_.pub;
    progress_.progress_monitor = OnProgress;
  }
  // An object that was never created is all zeros, which jpeg_destroy accepts.
  ~Decompressor() { jpeg_destroy_decompress(&cinfo_); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  void Open(std::string_view bytes) {
    if (bytes.empty()) throw ImageError("JPEG: no data");
    if constexpr (sizeof(std::size_t) > sizeof(unsigned long)) {
      if (bytes.size() > static_cast<std::size_t>(static_cast<unsigned long>(-1))) {
        throw ImageError("JPEG: file too large");
      }
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto size = static_cast<unsigned long>(bytes.size());
    Run([&] {
      jpeg_create_decompress(&cinfo_);
      cinfo_.mem->max_memory_to_use = kMaxLibraryMemory;
      cinfo_.progress = &progress_;
      jpeg_mem_src(&cinfo_, data, size);
    });
  }

  // Reads the header and returns what it says; ImageError unless it describes a picture.
  JpegInfo ReadHeader() {
    Run([&] { jpeg_read_header(&cinfo_, TRUE); });
    JpegInfo info;
    info.width = static_cast<int>(cinfo_.image_width);
    info.height = static_cast<int>(cinfo_.image_height);
    info.components = cinfo_.num_components;
    switch (cinfo_.jpeg_color_space) {
      case JCS_GRAYSCALE:
        info.colorModel = JpegColorModel::Gray;
        break;
      case JCS_YCbCr:
        info.colorModel = JpegColorModel::YCbCr;
        break;
      case JCS_RGB:
        info.colorModel = JpegColorModel::Rgb;
        break;
      case JCS_CMYK:
        info.colorModel = JpegColorModel::Cmyk;
        break;
      case JCS_YCCK:
        info.colorModel = JpegColorModel::Ycck;
        break;
      default:
        info.colorModel = JpegColorModel::Unknown;
        break;
    }
    // libjpeg refuses these itself when it meets the first scan; do not depend on it.
    if (info.width <= 0 || info.height <= 0) throw ImageError("JPEG: picture has no pixels");
    if (info.components <= 0) throw ImageError("JPEG: picture has no colour components");
    return info;
  }

  j_decompress_ptr get() { return &cinfo_; }

  template <typename Step>
  void Run(Step&& step) {
    if (!Protected(errors_, step)) {
      throw ImageError(FailureMessage(reinterpret_cast<j_common_ptr>(&cinfo_), errors_));
    }
  }

 private:
  jpeg_decompress_struct cinfo_{};
  ErrorManager errors_{};
  jpeg_progress_mgr progress_{};
};

// Turns a row of CMYK samples into B, G, R bytes. Files with an Adobe marker store each ink
// inverted (255 = no ink), others store the ink itself.
void CmykToBgr(const JSAMPLE* in, std::uint8_t* out, int width, bool inverted) {
  for (int x = 0; x < width; ++x, in += 4, out += 3) {
    auto clear = [&](int i) { return inverted ? unsigned{in[i]} : 255u - in[i]; };
    const unsigned k = clear(3);
    out[0] = static_cast<std::uint8_t>((clear(2) * k + 127) / 255);
    out[1] = static_cast<std::uint8_t>((clear(1) * k + 127) / 255);
    out[2] = static_cast<std::uint8_t>((clear(0) * k + 127) / 255);
  }
}

class Compressor {
 public:
  Compressor() {
    InitErrors(errors_);
    cinfo_.err = &errors_.pub;
    cinfo_.client_data = this;
  }
  ~Compressor() {
    jpeg_destroy_compress(&cinfo_);
    std::free(live_);
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;

  j_compress_ptr get() { return &cinfo_; }

  // The memory destination allocates its buffer with malloc and gives it back only when the
  // compression finishes; on an error we must free it ourselves.
  void UseMemoryDestination() {
    jpeg_mem_dest(&cinfo_, &buffer_, &size_);
    live_ = buffer_;
    grow_ = cinfo_.dest->empty_output_buffer;
    cinfo_.dest->empty_output_buffer = OnGrow;
  }

  std::string Result() const {
    return std::string(reinterpret_cast<const char*>(buffer_), static_cast<std::size_t>(size_));
  }

  template <typename Step>
  void Run(Step&& step) {
    if (!Protected(errors_, step)) {
      throw ImageError(FailureMessage(reinterpret_cast<j_common_ptr>(&cinfo_), errors_));
    }
  }

 private:
  // The memory destination has moved to a twice as large buffer and freed the old one; the new
  // buffer starts where its free part starts less the bytes copied over.
  static boolean OnGrow(j_compress_ptr cinfo) {
    auto* self = static_cast<Compressor*>(cinfo->client_data);
    const boolean result = self->grow_(cinfo);
    self->live_ = cinfo->dest->next_output_byte - cinfo->dest->free_in_buffer;
    return result;
  }

  jpeg_compress_struct cinfo_{};
  ErrorManager errors_{};
  unsigned char* buffer_ = nullptr;
  unsigned long size_ = 0;
  unsigned char* live_ = nullptr;  // the buffer the destination currently owns
  boolean (*grow_)(j_compress_ptr) = nullptr;
};

[[noreturn]] void Cut(const char* what) {
  throw ImageError(std::string("Das JPEG-Bild ist abgeschnitten: ") + what + ".");
}

[[noreturn]] void Broken(const char* what) {
  throw ImageError(std::string("Das JPEG-Bild ist beschädigt: ") + what + ".");
}

bool IsFrameHeader(unsigned marker) {
  // SOF0..SOF15 less DHT (C4), the reserved JPG (C8) and DAC (CC).
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsRestart(unsigned marker) { return marker >= 0xD0 && marker <= 0xD7; }

// The first 0xFF at or after `from` that is not a stuffed 0xFF 0x00 (one that ends the data
// counts); `size` when there is none. Entropy-coded data holds a stuffed 0xFF every few hundred
// bytes, which keeps a search for 0xFF alone stopping.
std::size_t FindUnstuffedFfPlain(const unsigned char* data, std::size_t from, std::size_t size) {
  while (from < size) {
    const void* found = std::memchr(data + from, 0xFF, size - from);
    if (found == nullptr) return size;
    const auto ff = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - data);
    if (ff + 1 == size || data[ff + 1] != 0x00) return ff;
    from = ff + 2;
  }
  return size;
}

#if defined(__x86_64__)
// Thirty-two positions at a time: a 0xFF whose next byte is not zero.
__attribute__((target("avx2"))) std::size_t FindUnstuffedFfAvx2(const unsigned char* data,
                                                                std::size_t from,
                                                                std::size_t size) {
  const __m256i ff = _mm256_set1_epi8(static_cast<char>(0xFF));
  const __m256i zero = _mm256_setzero_si256();
  std::size_t i = from;
  for (; i + 33 <= size; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + 1));
    // Without a branch on the stuffed zeros, which come at random every eight strides or so.
    const __m256i unstuffed =
        _mm256_andnot_si256(_mm256_cmpeq_epi8(b, zero), _mm256_cmpeq_epi8(a, ff));
    if (_mm256_testz_si256(unstuffed, unstuffed)) continue;
    return i + static_cast<std::size_t>(
                   __builtin_ctz(static_cast<unsigned>(_mm256_movemask_epi8(unstuffed))));
  }
  return FindUnstuffedFfPlain(data, i, size);
}
#endif

std::size_t FindUnstuffedFf(const unsigned char* data, std::size_t from, std::size_t size) {
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return FindUnstuffedFfAvx2(data, from, size);
#endif
  return FindUnstuffedFfPlain(data, from, size);
}

// Where a caller's mark starts in the bytes a walk goes over (see CheckJpegStructureWatching):
// every start before `searchedTo` has been shown to `accept`, front to back.
struct MarkWatch {
  std::string_view mark;
  const std::function<bool(std::size_t)>* accept = nullptr;
  std::size_t searchedTo = 0;
  bool refused = false;
};

// Shows `watch` the starts of its mark in [watch.searchedTo, to) that lie whole in the data;
// false once one was refused.
bool ShowMarksPlain(const unsigned char* data, std::size_t size, std::size_t to, MarkWatch& watch) {
  if (watch.refused) return false;
  const std::size_t m = watch.mark.size();
  std::size_t from = watch.searchedTo;
  to = std::min(to, size);
  while (from < to && size - from >= m) {
    const void* found =
        ::memmem(data + from, std::min(size - from, to - from + m - 1), watch.mark.data(), m);
    if (found == nullptr) break;
    const auto at = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - data);
    if (!(*watch.accept)(at)) {
      watch.refused = true;
      return false;
    }
    from = at + 1;
  }
  watch.searchedTo = std::max(watch.searchedTo, to);
  return true;
}

#if defined(__x86_64__)
// FindUnstuffedFf that shows `watch` the starts of its mark before the 0xFF found, in the same
// pass: thirty-two positions at a time are tested for a 0xFF and for the mark's first and last
// byte, which entropy-coded data matches only once in 65,536 positions.
__attribute__((target("avx2"))) std::size_t FindUnstuffedFfWatchingAvx2(const unsigned char* data,
                                                                        std::size_t from,
                                                                        std::size_t size,
                                                                        MarkWatch& watch) {
  const std::size_t m = watch.mark.size();
  const __m256i ff = _mm256_set1_epi8(static_cast<char>(0xFF));
  const __m256i zero = _mm256_setzero_si256();
  const __m256i first = _mm256_set1_epi8(watch.mark.front());
  const __m256i last = _mm256_set1_epi8(watch.mark.back());
  std::size_t i = from;
  for (; i + std::max<std::size_t>(m, 2) - 1 + 32 <= size; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + 1));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + m - 1));
    // Without a branch on the stuffed zeros, which come at random every eight strides or so.
    const __m256i unstuffed =
        _mm256_andnot_si256(_mm256_cmpeq_epi8(b, zero), _mm256_cmpeq_epi8(a, ff));
    const __m256i candidates =
        _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(c, last));
    const __m256i either = _mm256_or_si256(unstuffed, candidates);
    if (_mm256_testz_si256(either, either)) continue;
    const auto stop = static_cast<unsigned>(_mm256_movemask_epi8(unstuffed));
    auto marks = static_cast<unsigned>(_mm256_movemask_epi8(candidates));
    if (stop != 0) marks &= (1u << __builtin_ctz(stop)) - 1;  // only those before the 0xFF
    while (marks != 0) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(marks));
      if (std::memcmp(data + at, watch.mark.data(), m) == 0 && !(*watch.accept)(at)) {
        watch.refused = true;
        return at;
      }
      marks &= marks - 1;
    }
    if (stop != 0) {
      watch.searchedTo = i + static_cast<std::size_t>(__builtin_ctz(stop));
      return watch.searchedTo;
    }
  }
  watch.searchedTo = std::max(watch.searchedTo, i);
  const std::size_t found = FindUnstuffedFfPlain(data, i, size);
  ShowMarksPlain(data, size, found, watch);
  return found;
}
#endif

// FindUnstuffedFf that first shows `watch` the starts of its mark up to the 0xFF found (from
// watch.searchedTo on); what it returns does not count once the watch has refused a start.
std::size_t FindUnstuffedFfWatching(const unsigned char* data, std::size_t from, std::size_t size,
                                    MarkWatch& watch) {
  if (!ShowMarksPlain(data, size, from, watch)) return size;
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return FindUnstuffedFfWatchingAvx2(data, from, size, watch);
#endif
  const std::size_t found = FindUnstuffedFfPlain(data, from, size);
  ShowMarksPlain(data, size, found, watch);
  return found;
}

// One piece of a JPEG file. Pieces lie end to end from the start to EOI: each begins where the one
// before ended, so fill bytes before a marker belong to the piece of that marker, and a scan's
// piece runs on over its entropy-coded data to the next marker.
struct JpegPiece {
  unsigned marker = 0;
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Hands out the pieces of a JPEG file one after the other, checking them on the way.
class JpegWalk {
 public:
  explicit JpegWalk(std::string_view bytes, MarkWatch* watch = nullptr)
      : data_(reinterpret_cast<const unsigned char*>(bytes.data())),
        size_(bytes.size()),
        watch_(watch) {
    if (size_ < 2 || data_[0] != 0xFF || data_[1] != 0xD8) Broken("der Bildanfang (SOI) fehlt");
    pos_ = 2;
  }

  // The next piece; false once EOI has been handed out.
  bool Next(JpegPiece& piece) {
    if (done_) return false;
    piece.begin = pos_;
    if (pos_ == size_) Cut("das Endezeichen (EOI) fehlt");
    if (data_[pos_] != 0xFF) Broken("zwischen zwei Abschnitten stehen fremde Bytes");
    while (pos_ < size_ && data_[pos_] == 0xFF) ++pos_;
    if (pos_ == size_) Cut("das Endezeichen (EOI) fehlt");
    const unsigned marker = data_[pos_++];
    piece.marker = marker;
    if (marker == 0x00) Broken("ein Markierungszeichen ist ungültig");
    if (marker == 0xD8) Broken("das Bild beginnt ein zweites Mal");
    if (marker == 0xD9) {
      if (layout_.scans == 0) Broken("es enthält keine Bilddaten");
      done_ = true;
      layout_.end = pos_;
    } else if (!IsRestart(marker) && marker != 0x01) {  // these two stand alone, without length
      ReadSegment(marker);
    }
    piece.end = pos_;
    if (watch_ != nullptr && !ShowMarksPlain(data_, size_, pos_, *watch_)) return false;
    return true;
  }

  const JpegLayout& Layout() const { return layout_; }

 private:
  unsigned Byte(std::size_t i) const { return data_[i]; }
  unsigned U16(std::size_t i) const { return Byte(i) << 8 | Byte(i + 1); }

  // A segment with a length, the marker just read; pos_ is at its length field.
  void ReadSegment(unsigned marker) {
    if (size_ - pos_ < 2) Cut("ein Abschnitt reicht über das Dateiende hinaus");
    const std::size_t length = U16(pos_);
    if (length < 2) Broken("ein Abschnitt hat eine ungültige Länge");
    if (length > size_ - pos_) Cut("ein Abschnitt reicht über das Dateiende hinaus");
    const std::size_t body = pos_ + 2;
    pos_ += length;
    if (IsFrameHeader(marker)) {
      if (layout_.width != 0) Broken("es hat zwei Bildköpfe");
      // Precision, height, width, component count, then three bytes per component.
      if (length < 8 || Byte(body + 5) == 0 || length != 8 + 3 * Byte(body + 5)) {
        Broken("der Bildkopf (SOF) ist fehlerhaft");
      }
      layout_.height = static_cast<int>(U16(body + 1));
      layout_.width = static_cast<int>(U16(body + 3));
      layout_.components = static_cast<int>(Byte(body + 5));
      if (layout_.width == 0) Broken("der Bildkopf (SOF) ist fehlerhaft");
      // SOF2, SOF6, SOF10 and SOF14 are progressive.
      layout_.progressive = (marker & 0x03) == 0x02;
      layout_.coefficientBytes = CoefficientBytes(body + 6);
    } else if (marker == 0xDA) {
      if (layout_.width == 0) Broken("Bilddaten stehen vor dem Bildkopf");
      // Component count, two bytes per component, then three bytes of spectral selection.
      const unsigned count = length >= 3 ? Byte(body) : 0;
      if (count < 1 || count > 4 || length != 6 + 2 * count) {
        Broken("ein Scan-Kopf (SOS) ist fehlerhaft");
      }
      ++layout_.scans;
      SkipEntropyCodedData();
    }
  }

  // The coefficient blocks of all components, their sampling factors (H, V) at `components`:
  // each component covers ceil(width * H / Hmax) x ceil(height * V / Vmax) samples, in blocks of
  // 8 x 8 of two bytes a value. A factor of 0 (invalid) counts as 1.
  std::uint64_t CoefficientBytes(std::size_t components) const {
    unsigned hMax = 1, vMax = 1;
    for (int i = 0; i < layout_.components; ++i) {
      const unsigned factors = Byte(components + 3 * static_cast<std::size_t>(i) + 1);
      hMax = std::max(hMax, factors >> 4);
      vMax = std::max(vMax, factors & 15);
    }
    std::uint64_t bytes = 0;
    for (int i = 0; i < layout_.components; ++i) {
      const unsigned factors = Byte(components + 3 * static_cast<std::size_t>(i) + 1);
      const std::uint64_t h = std::max(1u, factors >> 4), v = std::max(1u, factors & 15);
      const std::uint64_t columns = (static_cast<std::uint64_t>(layout_.width) * h + hMax - 1) / hMax;
      const std::uint64_t rows = (static_cast<std::uint64_t>(layout_.height) * v + vMax - 1) / vMax;
      bytes += (columns + 7) / 8 * ((rows + 7) / 8) * 128;
    }
    return bytes;
  }

  // Moves pos_ to the marker that ends the entropy-coded data: 0xFF followed by neither a stuffed
  // zero nor a restart marker, fill bytes before it included.
  void SkipEntropyCodedData() {
    while (true) {
      // Stuffed zeros are passed over at once: they change nothing below.
      const std::size_t ff = watch_ != nullptr
                                 ? FindUnstuffedFfWatching(data_, pos_, size_, *watch_)
                                 : FindUnstuffedFf(data_, pos_, size_);
      if (watch_ != nullptr && watch_->refused) return;
      if (ff >= size_) Cut("die Bilddaten brechen ab");
      std::size_t next = ff + 1;
      while (next < size_ && data_[next] == 0xFF) ++next;
      if (next == size_) Cut("die Bilddaten brechen ab");
      if (data_[next] != 0x00 && !IsRestart(data_[next])) {
        pos_ = ff;
        return;
      }
      pos_ = next + 1;
    }
  }

  const unsigned char* data_;
  std::size_t size_;
  MarkWatch* watch_;
  std::size_t pos_ = 0;
  bool done_ = false;
  JpegLayout layout_;
};

bool HoldsAny(std::string_view bytes, std::span<const std::string_view> forbidden) {
  return std::any_of(forbidden.begin(), forbidden.end(), [&](std::string_view f) {
    return !f.empty() && bytes.find(f) != std::string_view::npos;
  });
}

}  // namespace

std::string JpegBudgetProblem(const JpegLayout& layout) {
  if (layout.components > kMaxJpegComponents)
    return "Das JPEG-Bild hat " + std::to_string(layout.components) + " Farbkanäle; mehr als " +
           std::to_string(kMaxJpegComponents) + " werden nicht gelesen.";
  if (layout.scans > kMaxJpegScans)
    return "Das JPEG-Bild besteht aus " + std::to_string(layout.scans) + " Teilbildern (Scans); mehr als " +
           std::to_string(kMaxJpegScans) + " werden nicht gelesen.";
  if (!layout.progressive && layout.scans <= 1) return {};
  constexpr std::uint64_t kMiB = 1024 * 1024;
  if (layout.coefficientBytes > kMaxJpegCoefficientBytes)
    return "Das JPEG-Bild bräuchte zum Entpacken " +
           std::to_string(layout.coefficientBytes / kMiB) + " MiB Arbeitsspeicher; mehr als " +
           std::to_string(kMaxJpegCoefficientBytes / kMiB) + " MiB werden nicht gelesen.";
  if (layout.coefficientBytes * static_cast<std::uint64_t>(layout.scans) > kMaxJpegScanWork)
    return "Das JPEG-Bild hat für seine Größe zu viele Teilbilder (" +
           std::to_string(layout.scans) + " Scans).";
  return {};
}

JpegLayout CheckJpegStructure(std::string_view bytes) {
  JpegWalk walk(bytes);
  JpegPiece piece;
  while (walk.Next(piece)) {
  }
  return walk.Layout();
}

std::optional<JpegLayout> CheckJpegStructureWatching(
    std::string_view bytes, std::string_view mark, const std::function<bool(std::size_t)>& accept) {
  if (mark.empty()) return CheckJpegStructure(bytes);
  MarkWatch watch{mark, &accept};
  JpegWalk walk(bytes, &watch);
  JpegPiece piece;
  while (walk.Next(piece)) {
  }
  if (watch.refused) return std::nullopt;
  return walk.Layout();
}

JpegWithoutTags RemoveSegmentsHolding(std::string_view bytes,
                                      std::span<const std::string_view> forbidden) {
  auto removable = [&](const JpegPiece& piece) {
    const bool metadata = piece.marker == 0xFE || (piece.marker >= 0xE0 && piece.marker <= 0xEF);
    return metadata && HoldsAny(bytes.substr(piece.begin, piece.end - piece.begin), forbidden);
  };
  JpegWithoutTags out;
  // The first walk only counts, so that a picture without forbidden strings is not copied.
  JpegWalk counting(bytes);
  JpegPiece piece;
  while (counting.Next(piece)) out.removedSegments += removable(piece) ? 1 : 0;
  const std::size_t end = counting.Layout().end;
  const bool trailingGoes = HoldsAny(bytes.substr(end), forbidden);
  out.removedSegments += trailingGoes ? 1 : 0;
  if (out.removedSegments == 0) {
    if (HoldsAny(bytes, forbidden)) out.result = JpegTagRemoval::TagInImageData;
    return out;
  }

  std::string kept(bytes.substr(0, 2));  // SOI
  JpegWalk copying(bytes);
  while (copying.Next(piece)) {
    if (!removable(piece)) kept += bytes.substr(piece.begin, piece.end - piece.begin);
  }
  if (!trailingGoes) kept += bytes.substr(end);
  if (HoldsAny(kept, forbidden)) {
    out.result = JpegTagRemoval::TagInImageData;
  } else {
    out.result = JpegTagRemoval::SegmentsRemoved;
    out.bytes = std::move(kept);
  }
  return out;
}

JpegInfo ReadJpegInfo(std::string_view bytes) {
  Decompressor decompressor;
  decompressor.Open(bytes);
  return decompressor.ReadHeader();
}

Bitmap DecodeJpeg(std::string_view bytes, int scaleDenom) {
  if (scaleDenom != 1 && scaleDenom != 2 && scaleDenom != 4 && scaleDenom != 8) {
    throw ImageError("JPEG: scale must be 1/1, 1/2, 1/4 or 1/8");
  }
  Decompressor decompressor;
  decompressor.Open(bytes);
  const JpegInfo info = decompressor.ReadHeader();
  // The full size bounds libjpeg's work even when the output is scaled down.
  const char* reason = nullptr;
  if (!Bitmap::SizeAllowed(info.width, info.height, PixelFormat::pf24bit, &reason)) {
    throw ImageError(std::string("JPEG: picture too large: ") + reason);
  }

  j_decompress_ptr cinfo = decompressor.get();
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  const bool inverted = cinfo->saw_Adobe_marker != FALSE;
  // libjpeg-turbo writes B, G, R directly, which is the bitmap's byte order.
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  cinfo->scale_num = 1;
  cinfo->scale_denom = static_cast<unsigned int>(scaleDenom);
  decompressor.Run([&] { jpeg_calc_output_dimensions(cinfo); });
  const auto width = static_cast<int>(cinfo->output_width);
  const auto height = static_cast<int>(cinfo->output_height);
  Bitmap bitmap(width, height, PixelFormat::pf24bit);
  std::vector<JSAMPLE> cmykRow(cmyk ? static_cast<std::size_t>(width) * 4 : 0);

  decompressor.Run([&] { jpeg_start_decompress(cinfo); });
  if (static_cast<int>(cinfo->output_width) != width ||
      static_cast<int>(cinfo->output_height) != height ||
      cinfo->output_components != (cmyk ? 4 : 3)) {
    throw ImageError("JPEG: unexpected output format");
  }
  decompressor.Run([&] {
    while (cinfo->output_scanline < cinfo->output_height) {
      const auto y = static_cast<int>(cinfo->output_scanline);
      JSAMPROW row = cmyk ? cmykRow.data() : bitmap.Row(y);
      if (jpeg_read_scanlines(cinfo, &row, 1) != 1) break;
      if (cmyk) CmykToBgr(cmykRow.data(), bitmap.Row(y), width, inverted);
    }
  });
  // The memory source never suspends, so this only guards against a library surprise.
  if (cinfo->output_scanline < cinfo->output_height) throw ImageError("JPEG: decoding stopped");
  // No jpeg_finish_decompress: it only reads on to the end marker, and junk after the picture
  // should not cost the user a picture that decoded fine.
  return bitmap;
}

int JpegScaleDenomFor(const JpegInfo& info, int targetWidth, int targetHeight) {
  if (targetWidth <= 0 || targetHeight <= 0) return 1;
  for (const long long denom : {8, 4, 2}) {
    const long long width = (info.width + denom - 1) / denom;
    const long long height = (info.height + denom - 1) / denom;
    if (width >= targetWidth && height >= targetHeight) return static_cast<int>(denom);
  }
  return 1;
}

std::string EncodeJpeg(const Bitmap& bitmap, int quality) {
  if (bitmap.Empty()) throw ImageError("JPEG: cannot encode an empty bitmap");
  if (bitmap.Width() > JPEG_MAX_DIMENSION || bitmap.Height() > JPEG_MAX_DIMENSION) {
    throw ImageError("JPEG: a side is longer than 65500 pixels");
  }
  quality = std::clamp(quality, 1, 100);
  Bitmap converted;
  if (bitmap.Format() != PixelFormat::pf24bit) converted = bitmap.Converted(PixelFormat::pf24bit);
  const Bitmap& source = converted.Empty() ? bitmap : converted;

  Compressor compressor;
  j_compress_ptr cinfo = compressor.get();
  compressor.Run([&] {
    jpeg_create_compress(cinfo);
    compressor.UseMemoryDestination();
    cinfo->image_width = static_cast<JDIMENSION>(source.Width());
    cinfo->image_height = static_cast<JDIMENSION>(source.Height());
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);  // YCbCr with a JFIF marker, Huffman, sequential
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
      // libjpeg only reads the rows it is given.
      JSAMPROW row = const_cast<JSAMPLE*>(source.Row(static_cast<int>(cinfo->next_scanline)));
      jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
  });
  return compressor.Result();
}

}  // namespace quirabel::graphics
