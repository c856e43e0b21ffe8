#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "graphics/picture.h"
#include "ui/canvas.h"

namespace quirabel::testing {

// A screen canvas that writes down every call with the state it used, one line a call, so tests
// compare what a control draws as text.
class RecordingCanvas : public ui::Canvas {
 public:
  void FillRect(const ui::TRect& r) override {
    Log() << "FillRect " << Rect(r) << " brush " << Hex(brush.color) << Style(brush);
  }
  void Rectangle(const ui::TRect& r) override {
    Log() << "Rectangle " << Rect(r) << " pen " << Pen() << " brush " << Hex(brush.color)
          << Style(brush);
  }
  void Polyline(std::span<const ui::TPoint> points) override {
    Line line = Log();
    line << "Polyline";
    for (const auto& p : points) line << " " << p.x << "," << p.y;
    line << " pen " << Pen();
  }
  void BezierShape(ui::TPointF start, std::span<const ui::TBezier> segments) override {
    Line line = Log();
    line << "BezierShape " << start.x << "," << start.y;
    for (const auto& s : segments)
      line << " " << s.control1.x << "," << s.control1.y << " " << s.control2.x << ","
           << s.control2.y << " " << s.end.x << "," << s.end.y;
    line << " pen " << Pen() << " brush " << Hex(brush.color) << Style(brush);
  }
  void TextOut(int x, int y, std::string_view text) override {
    Log() << "TextOut " << x << "," << y << " '" << text << "' font " << font.name << " "
          << font.size << (font.bold ? " bold" : "") << (font.italic ? " italic" : "") << " "
          << Hex(font.color);
  }
  void StretchDraw(const ui::TRect& r, const graphics::Picture& picture) override {
    Log() << "StretchDraw " << Rect(r) << " " << picture.Width() << "x" << picture.Height();
  }
  void Draw(int x, int y, const graphics::Picture& picture) override {
    Log() << "Draw " << x << "," << y << " " << picture.Width() << "x" << picture.Height();
  }

  std::vector<std::string> calls;

 private:
  // A stream whose text becomes the next recorded line once the statement ends.
  struct Line {
    std::ostringstream text;
    std::vector<std::string>* calls;
    template <class T>
    Line& operator<<(const T& value) {
      text << value;
      return *this;
    }
    ~Line() { calls->push_back(text.str()); }
  };
  Line Log() { return Line{{}, &calls}; }
  static std::string Rect(const ui::TRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
  }
  static std::string Hex(graphics::TColor c) {
    std::ostringstream out;
    out << std::hex << static_cast<std::uint32_t>(c);
    return out.str();
  }
  static std::string Style(const ui::TBrush& b) {
    return b.style == ui::TBrushStyle::bsClear ? " clear" : "";
  }
  std::string Pen() const {
    return Hex(pen.color) + " " + std::to_string(pen.width) + " style " +
           std::to_string(static_cast<int>(pen.style));
  }
};

}  // namespace quirabel::testing
