#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again: it only
# calls apt-get when something is missing, and refreshes the package lists first.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git python3
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
  qt6-webengine-dev qt6-webengine-dev-tools qt6-webchannel-dev
  qt6-speech-dev qt6-speech-flite-plugin qt6-multimedia-dev
  libsqlite3-dev sqlite3
  libstemmer-dev
  wamerican
  libplist-dev
  libicu-dev
  libgtest-dev libgmock-dev googletest
  libbenchmark-dev
  clang libclang-rt-dev llvm
  libsword-utils diatheke
  sword-text-kjv sword-text-web sword-text-sparv
  sword-comm-scofield sword-comm-tdavid
  sword-dict-strongs-hebrew sword-dict-strongs-greek sword-dict-naves
  xvfb xauth xdotool openbox x11-utils libxcb1-dev libxcb-xtest0-dev qt6-declarative-dev
  xiphos bibletime tesseract-ocr tesseract-ocr-eng
  poppler-utils
  qtkeychain-qt6-dev fonts-liberation clang-format ccache
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
