#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/code_symbol.h"
#include "report/pr_item.h"

namespace quirabel::report {

// The smallest module a code is printed with: phones fail to read smaller ones.
inline constexpr double kMinModuleMm = 0.25;

// Where the modules of a code go inside its element, in PDF points from the element's top-left
// corner. Module sides are a whole number of 1/300 inch, so every square stays whole on a 300 or
// 600 dpi printer; the symbol with its quiet zone is the largest that fits, centred.
struct CodeGeometry {
  double module = 0;     // side of a module (width of a module of a linear code)
  double left = 0;       // where the symbol's first column starts
  double top = 0;        // where its first row starts
  double rowHeight = 0;  // height of a row: the module, or the bars' height of a linear code
};

// The geometry of a symbol in an element of width x height points; for a linear code the bars
// fill the height. `modulesFit` says whether the module is at least kMinModuleMm; when it is not,
// the geometry uses that smallest module anyway.
CodeGeometry LayOutCode(const graphics::CodeSymbol& symbol, double width, double height,
                        bool* modulesFit = nullptr);

// The data-field markers "<name>" in a code's content, each once, in order.
std::vector<std::string> CodeFieldsOf(std::string_view content);

// A QR code, Data Matrix, Code 128 or EAN-13 from its content, drawn as dark rectangles on the
// light page: one path per code, each bar a rectangle, the quiet zone left free.
class TPRCode : public TPRItem {
 public:
  explicit TPRCode(ui::Component* owner = nullptr);
  std::string ClassName() const override { return "TPRCode"; }
  ElementKind Kind() const override { return ElementKind::Code; }

  graphics::CodeKind CodeKind() const { return codeKind_; }
  void SetCodeKind(graphics::CodeKind value);
  graphics::QrErrorCorrection Correction() const { return correction_; }
  void SetCorrection(graphics::QrErrorCorrection value);
  graphics::TColor Color() const { return color_; }
  void SetColor(graphics::TColor value);
  // The content as typed, UTF-8; data-field markers "<name>" in it are filled per row.
  const std::string& Content() const { return content_; }
  void SetContent(std::string value);

  // A row's cell for a data field of the content; the marker shows until it has one.
  void SetFieldValue(const std::string& field, std::string value);
  // The content with the data fields filled so far; in a vCard the values escaped as it needs.
  std::string FilledContent() const;

  // The symbol of the filled content; CodeError when the kind cannot encode it. Kept until the
  // content or the settings change; a QR code filled from a row has a fixed mask.
  const graphics::CodeSymbol& Symbol() const;
  // Whether the symbol's modules are at least kMinModuleMm at the element's size; false also
  // when the content cannot be encoded.
  bool ModulesReadable() const;

  // CodeError (German) when the content cannot be encoded or needs modules below kMinModuleMm.
  void Print(TPRCanvas& canvas, const ui::TRect& rect) override;
  // The same geometry on screen; content that cannot be encoded shows as a grey frame.
  void Paint(ui::Canvas& canvas) override;

 private:
  graphics::CodeKind codeKind_ = graphics::CodeKind::QrCode;
  graphics::QrErrorCorrection correction_ = graphics::QrErrorCorrection::M;
  graphics::TColor color_ = graphics::clBlack;
  std::string content_;
  std::map<std::string, std::string, std::less<>> fieldValues_;
  struct Encoded {
    graphics::CodeKind kind;
    graphics::QrErrorCorrection correction;
    graphics::QrMask mask;
    std::string content;
    graphics::CodeSymbol symbol;
  };
  mutable std::optional<Encoded> encoded_;
};

}  // namespace quirabel::report
