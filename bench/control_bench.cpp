// Loading a page puts every element on the layout panel one after the other, and closing it frees
// them newest first; both must stay linear in the number of elements. The panel sits like the
// designer's: filling its window (alClient) beside an aligned status bar, so aligned siblings
// exist while the elements themselves are loose (alNone) rectangles.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "ui/control.h"

namespace {

using namespace quirabel::ui;

// A window with a status bar at the bottom and the panel that takes the rest.
struct Window {
  Control frame;
  Control* statusBar = new Control(&frame);
  Control* panel = new Control(&frame);

  Window() {
    frame.SetBounds(0, 0, 800, 600);
    statusBar->SetHeight(20);
    statusBar->SetAlign(TAlign::alBottom);
    statusBar->SetParent(&frame);
    panel->SetAlign(TAlign::alClient);
    panel->SetParent(&frame);
  }
};

// Where element i sits: a fixed scatter over the panel, 40 x 25 pixels each.
void PlaceElement(Control& element, int i) {
  element.SetBounds((i * 37) % 760, (i * 53) % 555, 40, 25);
}

void BM_PutControlsOnPanel(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto window = std::make_unique<Window>();
    state.ResumeTiming();
    for (int i = 0; i < count; ++i) {
      auto* element = new Control(nullptr);  // the panel frees it
      PlaceElement(*element, i);
      element->SetParent(window->panel);
    }
    benchmark::DoNotOptimize(window->panel->Controls().data());
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_PutControlsOnPanel)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Freed one by one, newest first: each leaves the end of its parent's list.
void BM_FreeControlsNewestFirst(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto window = std::make_unique<Window>();
    std::vector<Control*> elements;
    for (int i = 0; i < count; ++i) {
      auto* element = new Control(nullptr);
      PlaceElement(*element, i);
      element->SetParent(window->panel);
      elements.push_back(element);
    }
    state.ResumeTiming();
    for (auto it = elements.rbegin(); it != elements.rend(); ++it) delete *it;
    benchmark::DoNotOptimize(window->panel->Controls().data());
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_FreeControlsNewestFirst)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Hiding and showing every element, and moving each to the front where it already is.
void BM_HideShowAndRaiseEachControl(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Window window;
  std::vector<Control*> elements;
  for (int i = 0; i < count; ++i) {
    auto* element = new Control(nullptr);
    PlaceElement(*element, i);
    element->SetParent(window.panel);
    elements.push_back(element);
  }
  for (auto _ : state) {
    for (Control* element : elements) {
      element->SetVisible(false);
      element->SetVisible(true);
    }
    window.panel->Controls().back()->BringToFront();
    window.panel->Controls().front()->SendToBack();
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_HideShowAndRaiseEachControl)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
