#!/bin/bash
# Installs the build tree into a temporary DESTDIR and checks what a desktop
# needs there: the program, its catalogs, a valid desktop entry offered for
# folders, and the icon it names in both sizes.
# Usage: check-install.sh BUILD_DIR
set -uo pipefail

BUILD="$1"
# The program finds its catalogs and plugins under the prefix it was
# configured with, so the tree is installed there.
PREFIX=$(sed -n 's/^CMAKE_INSTALL_PREFIX:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
[ -n "$PREFIX" ] || { echo "FAILED: no install prefix in $BUILD/CMakeCache.txt" >&2; exit 1; }
STAGE=$(mktemp -d /tmp/ulvo-install-XXXXXX)
trap 'rm -rf "$STAGE"' EXIT
ROOT="$STAGE$PREFIX"
failures=0

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

if ! DESTDIR="$STAGE" cmake --install "$BUILD" >"$STAGE.log" 2>&1; then
  cat "$STAGE.log" >&2
  rm -f "$STAGE.log"
  fail "cmake --install"
  exit 1
fi
rm -f "$STAGE.log"

[ -x "$ROOT/bin/ulvo-filemanager" ] || fail "the program is not installed in bin/"
[ -s "$ROOT/share/locale/en/LC_MESSAGES/ulvo-filemanager.mo" ] ||
  fail "the English catalog is not installed"
compgen -G "$ROOT/lib*/ulvo-filemanager/plugins/libcpmemory.so" >/dev/null ||
  fail "the memory usage plugin is not installed"

entry="$ROOT/share/applications/ulvo-filemanager.desktop"
if [ ! -f "$entry" ]; then
  fail "no desktop entry in share/applications/"
else
  # Hints are advice; errors and warnings are faults of the entry.
  report=$(desktop-file-validate "$entry" 2>&1)
  status=$?
  if [ "$status" -ne 0 ] || grep -qE '(error|warning):' <<<"$report"; then
    fail "desktop-file-validate: $report"
  fi
  value() { sed -n "s/^$1=//p" "$entry" | head -n 1; }
  exec_line=$(value Exec)
  [ -x "$ROOT/bin/${exec_line%% *}" ] || fail "Exec '$exec_line' is not the installed program"
  grep -qE '^MimeType=(.*;)?inode/directory(;|$)' "$entry" || fail "not offered for inode/directory"
  icon=$(value Icon)
  [ -n "$icon" ] || fail "no Icon"
  svg="$ROOT/share/icons/hicolor/scalable/apps/$icon.svg"
  png="$ROOT/share/icons/hicolor/48x48/apps/$icon.png"
  grep -q '<svg' "$svg" 2>/dev/null || fail "no scalable icon $svg"
  # Width and height are the two big-endian words after the PNG signature
  # and the IHDR chunk head.
  size=$(od -An -tx1 -j16 -N8 "$png" 2>/dev/null | tr -d ' \n')
  [ "$size" = 0000003000000030 ] || fail "$png is not a 48x48 PNG (header $size)"

  # Other programs find it as a handler of folders through the XDG folders,
  # once the MIME cache is rebuilt as a package manager does after install.
  update-desktop-database "$ROOT/share/applications" || fail "update-desktop-database"
  handlers=$(PATH="$ROOT/bin:$PATH" XDG_DATA_HOME="$STAGE/none" XDG_DATA_DIRS="$ROOT/share" \
    gio mime inode/directory 2>&1)
  grep -q 'ulvo-filemanager.desktop' <<<"$handlers" ||
    fail "gio does not offer it for folders: $handlers"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installed tree is complete"
