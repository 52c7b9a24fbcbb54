#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary prefix and checks it as a desktop and a
# user meet it.
#   install_test.sh install <build dir> <version> <AppStream id>
#   install_test.sh files <build dir>
#   install_test.sh package <build dir> <version>
set -euo pipefail
group=$1 build=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# Polls a condition every 0.1 s for at most $1 seconds.
wait_until() {
  local tries=$(($1 * 10)); shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}

if [ "$group" = package ]; then
  # The package scripts/package builds, as a packager checks it. Exit 77 (skip)
  # where lintian is not installed.
  version=$3
  command -v lintian >/dev/null || { echo "package: lintian is not installed"; exit 77; }
  deb=$("$source_dir/scripts/package" | grep "/vexmora_${version}_[a-z0-9]*\.deb\$" | tail -1)
  case $deb in /*) ;; ?*) deb=$source_dir/$deb ;; esac
  [ -f "$deb" ] || fail "scripts/package made no vexmora_${version} package"
  lintian "$deb" >"$work/lintian" 2>&1 || true
  if grep -E '^[EW]: ' "$work/lintian"; then fail "lintian reports errors or warnings"; fi
  dpkg-deb --info "$deb" | awk '/^ Description:/{on=1} on' | awk 'length > 80 {bad=1} END {exit bad}' \
    || fail "a description line is wider than 80 columns"
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$work" ./usr/bin/vexmora ./usr/share/doc/vexmora/copyright
  if readelf -S "$work/usr/bin/vexmora" | grep -q -e '\.symtab' -e '\.debug_'; then
    fail "the packaged executable is not stripped"
  fi
  head -1 "$work/usr/share/doc/vexmora/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    || fail "the copyright file is not in the machine-readable format"
  echo "package: ok"
  exit 0
fi

prefix=$work/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
program=$prefix/bin/vexmora
[ -x "$program" ] || fail "no executable $program"

case $group in
install)
  version=$3 id=$4
  desktop=$prefix/share/applications/vexmora.desktop
  desktop-file-validate "$desktop" || fail "desktop entry is not valid"
  grep -qx 'Exec=vexmora' "$desktop" || fail "launcher does not start vexmora"
  grep -q '^Name\[ja\]=' "$desktop" && grep -q '^Comment\[ja\]=' "$desktop" || fail "no Japanese name or comment"
  metainfo=$prefix/share/metainfo/$id.metainfo.xml
  appstreamcli validate --no-net "$metainfo" || fail "metainfo is not valid"
  grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" || fail "metainfo names no project licence"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo does not name release $version"
  [ -f "$prefix/share/icons/hicolor/scalable/apps/vexmora.svg" ] || fail "no scalable icon"
  for size in 16 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/vexmora.png
    got=$(/usr/bin/python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); assert d[:8]==b"\x89PNG\r\n\x1a\n"; print("%dx%d" % struct.unpack(">II", d[16:24]))' "$png") \
      || fail "no PNG icon $png"
    [ "$got" = "${size}x${size}" ] || fail "icon $png is $got"
  done
  # No display at all: --version and --help still print and end.
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version) || fail "--version failed"
  [ "$out" = "Vexmora $version" ] || fail "--version printed '$out'"
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help | grep -q -- '--version' || fail "--help"
  "$program" --help | grep -q 'Language=en' || fail "--help does not say how the language is chosen"
  [ -f "$prefix/share/vexmora/translations/vexmora_en.qm" ] || fail "no English translation installed"
  # The manual page renders without a warning and names the options and files.
  page=$prefix/share/man/man1/vexmora.1.gz
  [ -f "$page" ] || fail "no manual page $page"
  warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >"$work/page")
  [ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
  for word in --help --version XDG_CONFIG_HOME Vexmora.INI "Vexmora $version"; do
    grep -q -- "$word" "$work/page" || fail "the manual page does not mention $word"
  done
  for doc in copyright changelog.gz; do
    [ -f "$prefix/share/doc/vexmora/$doc" ] || fail "no $doc in share/doc/vexmora"
  done
  zcat "$prefix/share/doc/vexmora/changelog.gz" | head -1 | grep -q "^vexmora ($version) " \
    || fail "the changelog does not start with release $version"
  ;;
files)
  export QT_QPA_PLATFORM=offscreen
  # Installed: the configuration folder is made owner-only at the start, and
  # nothing is written beside the program.
  config=$work/config
  # Started in an English locale, it finds its installed translation.
  LC_ALL=C.UTF-8 XDG_CONFIG_HOME=$config HOME=$work/home "$program" >"$work/out" 2>&1 &
  pid=$!
  wait_until 20 test -d "$config/vexmora" || fail "no $config/vexmora after the start"
  [ "$(stat -c %a "$config/vexmora")" = 700 ] || fail "$config/vexmora is not owner-only"
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
  if grep -q 'no translation' "$work/out"; then fail "the installed program did not find its translation"; fi
  [ "$(ls -A "$prefix/bin")" = vexmora ] || fail "files were written beside the installed program"
  # Without XDG_CONFIG_HOME: ~/.config/vexmora (the help text names the folder).
  env -u XDG_CONFIG_HOME HOME=$work/home "$program" --help | grep -q "$work/home/.config/vexmora" \
    || fail "default folder is not ~/.config/vexmora"
  # A portable copy, with a Vexmora.INI beside it, keeps its files there.
  : >"$prefix/bin/Vexmora.INI"
  XDG_CONFIG_HOME=$work/other "$program" --help | grep -q ": $prefix/bin\$" || fail "portable copy not beside"
  ;;
*)
  fail "unknown group $group"
  ;;
esac
echo "$group: ok"
