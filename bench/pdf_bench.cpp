// Writing speed of the PDF writer: a 1,000-page document with ten text lines and two rectangles per
// page, all fixed input, saved into memory; then the same with names beyond Windows-1252 in the
// embedded fonts (each face embedded once, whatever the number of pages).
#include <benchmark/benchmark.h>

#include <string>

#include "pdf/pdf_canvas.h"
#include "pdf/pdf_doc.h"

namespace {

using quirabel::FixedClock;
using quirabel::LocalDateTime;
using namespace quirabel::pdf;

constexpr int kPages = 1000;

void DrawPage(TPdfCanvas& canvas, int page, bool embedded = false) {
  const std::string fonts[] = {"Arial", "Times-Roman", "FixedWidth-Bold"};
  for (int line = 0; line < 10; ++line) {
    canvas.SetFont(fonts[line % 3] + (embedded ? "+Unicode" : ""), 9 + line);
    canvas.SetRGBFillColor(0x00204080 + line);
    std::string text = "Seite " + std::to_string(page) + ", Zeile " + std::to_string(line) +
                       (embedded ? ": Łukasz Żółć, Şahin Çelik, Ελένη, Юлия für Visitenkarten"
                                 : ": Gr\xF6\xDF"
                                   "e und (Klammern) f\xFCr Visitenkarten");
    canvas.TextRect({40.0f, 800.0f - line * 30.0f, 500.0f, 770.0f - line * 30.0f}, text,
                    static_cast<TAlignment>(line % 3), line % 2 == 0);
  }
  static const std::uint8_t kSolid[] = {0};
  for (int r = 0; r < 2; ++r) {
    canvas.SetDash(kSolid, 0);
    canvas.MoveTo(20 + r, 20);
    canvas.LineTo(575, 20 + r);
    canvas.LineTo(575, 400);
    canvas.LineTo(20, 400);
    canvas.SetRGBStrokeColor(0xFF);
    canvas.SetLineWidth(0.5 + r);
    canvas.ClosePathStroke();
  }
}

void WriteThousandPages(benchmark::State& state, bool embedded) {
  FixedClock clock(LocalDateTime{2026, 12, 7, 8, 0, 0, 0});
  std::size_t bytes = 0;
  std::size_t faces = 0;
  for (auto _ : state) {
    TPdfDoc doc(clock);
    doc.NewDoc();
    for (int page = 0; page < kPages; ++page) {
      doc.AddPage();
      DrawPage(doc.Canvas(), page, embedded);
    }
    faces = doc.EmbeddedFaceCount();
    std::string out;
    doc.SaveToStream(out);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(kPages),
                                                 benchmark::Counter::kIsIterationInvariantRate);
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["embedded_faces"] = static_cast<double>(faces);
}

void BM_WriteThousandPages(benchmark::State& state) { WriteThousandPages(state, false); }
BENCHMARK(BM_WriteThousandPages)->Unit(benchmark::kMillisecond);

void BM_WriteThousandPagesEmbedded(benchmark::State& state) { WriteThousandPages(state, true); }
BENCHMARK(BM_WriteThousandPagesEmbedded)->Unit(benchmark::kMillisecond);

}  // namespace
