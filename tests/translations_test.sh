#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# translations_test.sh LUPDATE TS_FOLDER LUPDATE_ARGS...: reads the texts of the
# code into a copy of every .ts of the folder and fails when any entry is left
# unfinished (a text without its translation, or one whose source changed).
set -euo pipefail
lupdate=$1
folder=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for ts in "$folder"/*.ts; do
  copy="$work/$(basename "$ts")"
  cp "$ts" "$copy"
  "$lupdate" "$@" -ts "$copy" >/dev/null
  if grep -q 'type="unfinished"' "$copy"; then
    echo "$(basename "$ts"): texts without a finished translation:"
    # The source lines of each unfinished message.
    awk '/<source>/{src=""; on=1} on{src=src $0 "\n"} /<\/source>/{on=0}
         /type="unfinished"/{printf "%s", src}' "$copy"
    status=1
  fi
done
exit $status
