#!/usr/bin/env bash
# Runs the freedesktop validators on the desktop entry, the AppStream file and
# the MIME description. Exit 77 (skipped) when none of the tools is installed.
#   ValidateDesktopFiles.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
src=$1/packaging
build=$2/packaging
ran=0
status=0
if command -v desktop-file-validate >/dev/null; then
  ran=1
  desktop-file-validate "$src/tarnwick.desktop" || status=1
fi
if command -v appstreamcli >/dev/null; then
  ran=1
  appstreamcli validate --no-net "$build/org.tarnwick.Tarnwick.metainfo.xml" || status=1
fi
if command -v update-mime-database >/dev/null; then
  ran=1
  base=$(mktemp -d)
  mime=$base/mime
  mkdir -p "$mime/packages"
  cp "$src/tarnwick.xml" "$mime/packages/"
  # Warnings about the description are errors here.
  # (In the data folder search path, or it says that it is not.)
  out=$(XDG_DATA_HOME=$base update-mime-database "$mime" 2>&1) || status=1
  [ -z "$out" ] || { echo "$out"; status=1; }
  grep -q 'application/x-tarnwick-plan' "$mime/globs2" || { echo "*.pln not registered"; status=1; }
  rm -rf "$base"
fi
if [ "$ran" -eq 0 ]; then
  echo "SKIP: desktop-file-validate, appstreamcli and update-mime-database are not installed"
  exit 77
fi
exit $status
