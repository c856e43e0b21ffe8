#!/usr/bin/env bash
# Checks the Debian package as a packager and a desktop would: its files, Debian's own checks
# (lintian with every informational and pedantic tag, each tag left reviewed in
# cmake/debian/lintian-tags), the hardening of every program and module, the desktop entry and
# the AppStream data, the ".kxp" association after the designer's first start, --help and
# --version of every program without a display, and the batch tool run from the package.
#   scripts/check_package.sh build/quirabel_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "package: $*" >&2
  exit 1
}
programs=(quirabel quirabel-batch quirabel-link quirabel-mail)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

contents=$(dpkg-deb --contents "$deb")
for path in "${programs[@]/#/usr/bin/}" \
  usr/share/applications/org.example.quirabel.desktop usr/share/mime/packages/quirabel.xml \
  usr/share/icons/hicolor/{scalable/apps/quirabel.svg,48x48/apps/quirabel.png} \
  usr/share/icons/hicolor/{scalable/mimetypes/application-x-quirabel-project.svg,48x48/mimetypes/application-x-quirabel-project.png} \
  usr/share/quirabel/serial-array.sbatch usr/share/help/de/quirabel/start.html \
  usr/share/doc/quirabel/copyright usr/share/doc/quirabel/changelog.Debian.gz \
  usr/share/man/man1/{quirabel,quirabel-batch,quirabel-link,quirabel-mail}.1.gz \
  usr/share/metainfo/org.example.quirabel.metainfo.xml \
  usr/share/bash-completion/completions/quirabel-batch usr/share/thumbnailers/quirabel.thumbnailer \
  usr/lib/"$multiarch"/quirabel/{smtp,pdf-raster,pdf-picture,sha256,unicode,print}.so; do
  grep -q " \./$path\$" <<<"$contents" || fail "lacks /$path"
done
dpkg-deb -f "$deb" Depends | grep -q 'qt6-translations-l10n' || fail "does not depend on qt6-translations-l10n"

# Debian's own checks: every tag, down to the pedantic ones, is one reviewed in the list.
lintian -I --pedantic --tag-display-limit 0 "$deb" >"$scratch/lintian" || true
cat "$scratch/lintian"
if grep -q '^[EW]: ' "$scratch/lintian"; then fail "lintian reports errors or warnings"; fi
unreviewed=$(grep -E '^[EWIPX]: ' "$scratch/lintian" | awk '{print $3}' | sort -u |
  comm -23 - <(grep -v -E '^(#|$)' cmake/debian/lintian-tags | awk '{print $1}' | sort -u))
[[ -z "$unreviewed" ]] || fail "lintian tags not in cmake/debian/lintian-tags: $unreviewed"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
# Hardened like Debian's own programs (lintian's hardening tags, not in the reviewed list, cover the
# stack protector and _FORTIFY_SOURCE): relocations read-only and bound at start, and no
# compiler notes left.
for file in "${programs[@]/#/$root/usr/bin/}" "$root"/usr/lib/"$multiarch"/quirabel/*.so; do
  readelf -d "$file" | grep -q -E 'FLAGS.*\bNOW\b' || fail "$file: not bound at start (-z now)"
  readelf -l "$file" | grep -q GNU_RELRO || fail "$file: no read-only relocations (-z relro)"
  if readelf -S "$file" | grep -q -E ' \.comment '; then fail "$file: keeps its .comment section"; fi
done

desktop-file-validate "$root/usr/share/applications/org.example.quirabel.desktop"
appstreamcli validate --pedantic --no-net "$root/usr/share/metainfo/org.example.quirabel.metainfo.xml"

# Every program answers --help and --version on its standard output, without a display.
for program in "${programs[@]}"; do
  for option in --help --version; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$root/usr/bin/$program" "$option") ||
      fail "$program $option failed"
    [[ -n "$out" ]] || fail "$program $option printed nothing"
  done
done
# Without a display the windowed programs say so in their own words and end with 1.
for program in quirabel quirabel-link quirabel-mail; do
  code=0
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" 2>&1) || code=$?
  [[ $code -eq 1 && $out == *"kein Bildschirm"* ]] || fail "$program without a display: $code $out"
done

# The ".kxp" association after the installed designer's first start: the system's entry stays
# the default, nothing of the designer's own in the person's data folder. The package's data
# folder stands in for /usr/share, with the caches its triggers make.
home="$scratch/home"
share="$root/usr/share"
mkdir -p "$home/data"
update-desktop-database "$share/applications" >/dev/null 2>&1
cp -r /usr/share/mime "$scratch/mime-base"
cp "$share/mime/packages/quirabel.xml" "$scratch/mime-base/packages/"
update-mime-database "$scratch/mime-base" >/dev/null 2>&1
rm -rf "$share/mime" && mv "$scratch/mime-base" "$share/mime"
desktop_env=(env PATH="$root/usr/bin:$PATH" HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config"
  XDG_DATA_DIRS="$share" QUIRABEL_HOME="$home/quirabel")
QUIRABEL_HOME="$scratch" "$root/usr/bin/quirabel-batch" new --din A6 -o "$scratch/karte.kxp" >/dev/null
cp "$scratch/karte.kxp" "$scratch/ohne-endung"
association() {
  "${desktop_env[@]}" gio mime application/x-quirabel-project 2>&1
}
before=$(association)
[[ $before == *"Default application for"*": org.example.quirabel.desktop"* ]] ||
  fail "before the start: $before"
"${desktop_env[@]}" QT_QPA_PLATFORM=offscreen QUIRABEL_SCREENSHOT="$scratch/start.png" \
  timeout 60 "$root/usr/bin/quirabel" 2>/dev/null
test -s "$scratch/start.png"
after=$(association)
[[ $after == "$before" ]] || fail "the designer's start changed the association: $after"
after=$("${desktop_env[@]}" xdg-mime query default application/x-quirabel-project)
[[ $after == org.example.quirabel.desktop ]] || fail "xdg-mime after the start: $after"
found=$(find "$home/data" -type f)
[[ -z "$found" ]] || fail "the designer wrote into the data folder: $found"
# Projects are known by their start too, and carry their icon.
type=$("${desktop_env[@]}" gio info -a standard::content-type,standard::icon "$scratch/ohne-endung")
[[ $type == *application/x-quirabel-project* ]] || fail "a project without .kxp: $type"
[[ $type == *application-x-quirabel-project* ]] || fail "the project's icon: $type"
# The help page is read from the package's folder, and nothing lands in the program folder.
[[ ! -e "$home/quirabel/help" ]] || fail "the designer wrote its help into the program folder"

# The packed batch tool runs from a scratch root as it would from /usr/bin ...
QUIRABEL_HOME="$scratch/qh" "$root/usr/bin/quirabel-batch" info "$scratch/karte.kxp" >/dev/null
# ... and finds its modules in the package's private folder.
QUIRABEL_HOME="$scratch/qh" "$root/usr/bin/quirabel-batch" thumbnail "$scratch/karte.kxp" \
  "$scratch/karte.png"
test -s "$scratch/karte.png"
echo "package: checked $(basename "$deb")"
