#pragma once

#include <QByteArray>
#include <QIcon>
#include <QString>

namespace quirabel::main {

// The toolbar's icons, drawn as SVG of our own: "new", "open", "save", "saveas", "pdf", "label",
// "memo", "rect", "image", "bgcolor", "bgimage", "preview", "single", "single_lit", "template",
// "prev", "next", "goto", "delete", "portrait", "landscape", "help", and "app" for the program
// itself. An unknown name gives an empty icon.
QIcon ToolIcon(const QString& name);

// The same icon as an SVG document; empty for an unknown name.
QByteArray ToolIconSvg(const QString& name);

}  // namespace quirabel::main
