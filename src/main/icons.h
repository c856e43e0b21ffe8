#pragma once

#include <QByteArray>
#include <QIcon>
#include <QString>

namespace quirabel::main {

// The toolbar's icons, drawn as SVG of our own: "new", "open", "save", "saveas", "pdf", "label",
// "memo", "rect", "image", "bgcolor", "bgimage", "preview", "single", "single_lit", "template",
// "prev", "next", "goto", "delete", "portrait", "landscape", "help", "app" for the program
// itself and "project" for its files. An unknown name gives an empty icon.
QIcon ToolIcon(const QString& name);

// The same icon as an SVG document; empty for an unknown name.
QByteArray ToolIconSvg(const QString& name);
// The same icon as a PNG image of size x size pixels; empty for an unknown name.
QByteArray ToolIconPng(const QString& name, int size);

}  // namespace quirabel::main
