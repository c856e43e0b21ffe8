// Embedding a JPEG costs a byte copy, not a decode: a 5 MB JPEG placed unshared on 100 pages of one
// document (100 image objects), saved into memory, beside a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "graphics/jpeg.h"
#include "graphics/picture.h"
#include "pdf/pdf_canvas.h"
#include "pdf/pdf_images.h"

namespace {

using namespace quirabel;
using namespace quirabel::pdf;

constexpr int kImagePages = 100;

// Noise compresses badly, so a fixed-seed noisy picture at high quality gives a large JPEG.
const std::string& FiveMegabyteJpeg() {
  static const std::string bytes = [] {
    graphics::Bitmap noise(2200, 1600, graphics::PixelFormat::pf24bit);
    std::uint32_t state = 12345;
    for (int y = 0; y < noise.Height(); ++y) {
      std::uint8_t* row = noise.Row(y);
      for (std::size_t i = 0; i < noise.Stride(); ++i) {
        state = state * 1664525u + 1013904223u;
        row[i] = static_cast<std::uint8_t>(state >> 24);
      }
    }
    return graphics::EncodeJpeg(noise, 98);
  }();
  return bytes;
}

void BM_EmbedJpegOnHundredPages(benchmark::State& state) {
  const graphics::Picture picture = graphics::Picture::FromJpegBytes(FiveMegabyteJpeg());
  FixedClock clock(LocalDateTime{2026, 12, 7, 8, 0, 0, 0});
  SequenceRandom random({1});
  std::size_t fileBytes = 0;
  for (auto _ : state) {
    TPdfDoc doc(clock);
    doc.NewDoc();
    for (int page = 0; page < kImagePages; ++page) {
      doc.AddPage();
      const std::string name = PrepareElementImage(
          doc, picture, "PRJpegImage" + std::to_string(page), false, kJpegCreator, random);
      doc.Canvas().DrawXObject(0, 0, 596, 842, name);
    }
    std::string out;
    doc.SaveToStream(out);
    fileBytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["jpeg_MB"] = static_cast<double>(FiveMegabyteJpeg().size()) / 1e6;
  state.counters["file_MB"] = static_cast<double>(fileBytes) / 1e6;
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(fileBytes) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EmbedJpegOnHundredPages)->Unit(benchmark::kMillisecond);

// The floor: the same number of bytes copied twice (into the image object, then into the file).
void BM_PlainCopyOfTheSameBytes(benchmark::State& state) {
  const std::string& jpeg = FiveMegabyteJpeg();
  for (auto _ : state) {
    std::string out;
    for (int page = 0; page < kImagePages; ++page) {
      std::string object = jpeg;
      out += object;
      benchmark::DoNotOptimize(object.data());
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(jpeg.size()) * kImagePages / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PlainCopyOfTheSameBytes)->Unit(benchmark::kMillisecond);

}  // namespace
