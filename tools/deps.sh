#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing.
set -euo pipefail
pkgs=(g++ cmake ninja-build pkg-config qt6-base-dev libgdal-dev libpugixml-dev libgtest-dev libgmock-dev
      libbenchmark-dev fonts-wqy-microhei qt6-translations-l10n xvfb xauth xdotool imagemagick
      desktop-file-utils appstream shared-mime-info ffmpeg poppler-utils gdal-bin)
missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
