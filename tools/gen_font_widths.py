#!/usr/bin/env python3
"""Writes src/pdf/standard_font_widths.cpp from AFM metrics of the standard Type 1 fonts.

The PDF writer never embeds fonts and measures text with these tables, so the generated file is
checked in and the build needs no font package. Run again only when the tables must change:

    python3 tools/gen_font_widths.py [--afm-dir DIR] OUTPUT.cpp

DIR defaults to the metric-compatible clones of Debian's fonts-urw-base35 package.
"""

import os
import sys

DEFAULT_AFM_DIR = "/usr/share/fonts/type1/urw-base35"
FIRST_CODE = 32
COUNT = 224

USAGE = "usage: gen_font_widths.py [--afm-dir DIR] OUTPUT.cpp"

# Glyph names of the Windows ANSI encoding (code page 1252) for codes 32..255, eight to a line.
# None marks the codes cp1252 leaves unassigned; their width is fixed below.
WIN_ANSI_NAMES = [
    # 32
    "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand", "quotesingle",
    "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period", "slash",
    # 48
    "zero", "one", "two", "three", "four", "five", "six", "seven",
    "eight", "nine", "colon", "semicolon", "less", "equal", "greater", "question",
    # 64
    "at", "A", "B", "C", "D", "E", "F", "G",
    "H", "I", "J", "K", "L", "M", "N", "O",
    # 80
    "P", "Q", "R", "S", "T", "U", "V", "W",
    "X", "Y", "Z", "bracketleft", "backslash", "bracketright", "asciicircum", "underscore",
    # 96
    "grave", "a", "b", "c", "d", "e", "f", "g",
    "h", "i", "j", "k", "l", "m", "n", "o",
    # 112
    "p", "q", "r", "s", "t", "u", "v", "w",
    "x", "y", "z", "braceleft", "bar", "braceright", "asciitilde", None,
    # 128
    "Euro", None, "quotesinglbase", "florin", "quotedblbase", "ellipsis", "dagger", "daggerdbl",
    "circumflex", "perthousand", "Scaron", "guilsinglleft", "OE", None, "Zcaron", None,
    # 144
    None, "quoteleft", "quoteright", "quotedblleft", "quotedblright", "bullet", "endash", "emdash",
    "tilde", "trademark", "scaron", "guilsinglright", "oe", None, "zcaron", "Ydieresis",
    # 160
    "space", "exclamdown", "cent", "sterling", "currency", "yen", "brokenbar", "section",
    "dieresis", "copyright", "ordfeminine", "guillemotleft", "logicalnot", "hyphen", "registered",
    "macron",
    # 176
    "degree", "plusminus", "twosuperior", "threesuperior", "acute", "mu", "paragraph",
    "periodcentered", "cedilla", "onesuperior", "ordmasculine", "guillemotright", "onequarter",
    "onehalf", "threequarters", "questiondown",
    # 192
    "Agrave", "Aacute", "Acircumflex", "Atilde", "Adieresis", "Aring", "AE", "Ccedilla",
    "Egrave", "Eacute", "Ecircumflex", "Edieresis", "Igrave", "Iacute", "Icircumflex", "Idieresis",
    # 208
    "Eth", "Ntilde", "Ograve", "Oacute", "Ocircumflex", "Otilde", "Odieresis", "multiply",
    "Oslash", "Ugrave", "Uacute", "Ucircumflex", "Udieresis", "Yacute", "Thorn", "germandbls",
    # 224
    "agrave", "aacute", "acircumflex", "atilde", "adieresis", "aring", "ae", "ccedilla",
    "egrave", "eacute", "ecircumflex", "edieresis", "igrave", "iacute", "icircumflex", "idieresis",
    # 240
    "eth", "ntilde", "ograve", "oacute", "ocircumflex", "otilde", "odieresis", "divide",
    "oslash", "ugrave", "uacute", "ucircumflex", "udieresis", "yacute", "thorn", "ydieresis",
]

# Codes measured as zero width: unassigned in cp1252, and the no-break space and soft hyphen,
# which the writer treats as invisible.
ZERO_WIDTH_CODES = (127, 129, 141, 143, 144, 157, 160, 173)

# (C++ name, PDF font name, AFM file, Euro width). The Euro width is pinned rather than taken from
# the clone.
FACES = [
    ("kHelveticaWidths", "Helvetica", "NimbusSans-Regular.afm", 556),
    ("kHelveticaBoldWidths", "Helvetica-Bold", "NimbusSans-Bold.afm", 556),
    ("kHelveticaObliqueWidths", "Helvetica-Oblique", "NimbusSans-Italic.afm", 556),
    ("kHelveticaBoldObliqueWidths", "Helvetica-BoldOblique", "NimbusSans-BoldItalic.afm", 556),
    ("kTimesRomanWidths", "Times-Roman", "NimbusRoman-Regular.afm", 500),
    ("kTimesBoldWidths", "Times-Bold", "NimbusRoman-Bold.afm", 500),
    ("kTimesItalicWidths", "Times-Italic", "NimbusRoman-Italic.afm", 500),
    ("kTimesBoldItalicWidths", "Times-BoldItalic", "NimbusRoman-BoldItalic.afm", 500),
]

# Slanted faces whose widths must equal the upright face of the same weight.
SAME_AS_UPRIGHT = [
    ("kHelveticaObliqueWidths", "kHelveticaWidths"),
    ("kHelveticaBoldObliqueWidths", "kHelveticaBoldWidths"),
]

COURIER_FILES = ["NimbusMonoPS-Regular.afm", "NimbusMonoPS-Bold.afm", "NimbusMonoPS-Italic.afm",
                 "NimbusMonoPS-BoldItalic.afm"]
COURIER_WIDTH = 600


class GenError(Exception):
    pass


def read_afm_widths(path):
    """Returns {glyph name: width} from the CharMetrics lines of an AFM file."""
    widths = {}
    try:
        with open(path, encoding="latin-1") as f:
            lines = f.read().splitlines()
    except OSError as e:
        raise GenError(f"cannot read {path}: {e}")
    for lineno, line in enumerate(lines, 1):
        if not line.startswith("C "):
            continue
        fields = {}
        for part in line.split(";"):
            words = part.split()
            if len(words) >= 2:
                fields[words[0]] = words[1]
        name, wx = fields.get("N"), fields.get("WX")
        if name is None or wx is None:
            continue
        try:
            width = round(float(wx))
        except ValueError:
            raise GenError(f"{path}:{lineno}: bad width {wx!r}")
        if name in widths and widths[name] != width:
            raise GenError(f"{path}:{lineno}: glyph {name} listed twice with different widths")
        widths[name] = width
    if not widths:
        raise GenError(f"{path}: no character metrics found")
    return widths


def build_table(afm_path, euro_width):
    widths = read_afm_widths(afm_path)
    table = []
    missing = []
    for offset, name in enumerate(WIN_ANSI_NAMES):
        code = FIRST_CODE + offset
        if code in ZERO_WIDTH_CODES:
            table.append(0)
        elif code == 128:
            table.append(euro_width)
        elif name not in widths:
            missing.append(f"{code} ({name})")
            table.append(None)
        else:
            table.append(widths[name])
    if missing:
        raise GenError(f"{afm_path}: no metrics for " + ", ".join(missing))
    return table


def check_courier(afm_dir):
    for file_name in COURIER_FILES:
        widths = read_afm_widths(os.path.join(afm_dir, file_name))
        for offset, name in enumerate(WIN_ANSI_NAMES):
            if name is None:
                continue
            if name not in widths:
                raise GenError(f"{file_name}: no metrics for {FIRST_CODE + offset} ({name})")
            if widths[name] != COURIER_WIDTH:
                raise GenError(f"{file_name}: {name} is {widths[name]} wide, not {COURIER_WIDTH}")


def format_table(name, table, source):
    out = [f"// {source}", f"const WidthTable {name} = {{"]
    for row in range(0, COUNT, 8):
        values = ", ".join(f"{w:4d}" for w in table[row:row + 8])
        out.append(f"    {values},  // {FIRST_CODE + row}..{FIRST_CODE + row + 7}")
    out.append("};")
    return "\n".join(out)


def render(tables):
    parts = [
        "// generated by tools/gen_font_widths.py; do not edit",
        "// Widths in 1/1000 of the font size for codes 32..255 in the Windows ANSI encoding.",
        "",
        '#include "pdf/standard_font_widths.h"',
        "",
        "namespace quirabel::pdf {",
        "",
        "// The column layout keeps codes easy to find.",
        "// clang-format off",
        "",
    ]
    # Spelled out rather than filled at start-up so every table is constant-initialised.
    parts.append(format_table("kCourierWidths", [COURIER_WIDTH] * COUNT,
                              "Courier, Courier-Bold, -Oblique and -BoldOblique"))
    parts.append("")
    for name, source, table in tables:
        parts.append(format_table(name, table, source))
        parts.append("")
    parts.append("// clang-format on")
    parts.append("")
    parts.append("}  // namespace quirabel::pdf")
    return "\n".join(parts) + "\n"


def main(argv):
    afm_dir = DEFAULT_AFM_DIR
    args = list(argv[1:])
    if not args or args[0] in ("-h", "--help"):
        print(USAGE, file=sys.stderr if not args else sys.stdout)
        return 2 if not args else 0
    if args[0] == "--afm-dir":
        if len(args) < 2:
            print(USAGE, file=sys.stderr)
            return 2
        afm_dir = args[1]
        args = args[2:]
    if len(args) != 1 or args[0].startswith("-"):
        print(USAGE, file=sys.stderr)
        return 2
    output = args[0]

    if len(WIN_ANSI_NAMES) != COUNT:
        raise GenError(f"internal: {len(WIN_ANSI_NAMES)} encoding names, expected {COUNT}")

    tables = []
    by_name = {}
    for name, pdf_name, file_name, euro in FACES:
        table = build_table(os.path.join(afm_dir, file_name), euro)
        tables.append((name, f"{pdf_name}, metrics of {file_name}", table))
        by_name[name] = table
    for slanted, upright in SAME_AS_UPRIGHT:
        if by_name[slanted] != by_name[upright]:
            diff = [FIRST_CODE + i for i, (a, b) in
                    enumerate(zip(by_name[slanted], by_name[upright])) if a != b]
            raise GenError(f"{slanted} differs from {upright} at codes {diff}")
    check_courier(afm_dir)

    text = render(tables)
    with open(output, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    print(f"wrote {output}")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except GenError as e:
        print(f"gen_font_widths.py: error: {e}", file=sys.stderr)
        sys.exit(1)
