#!/usr/bin/env bash
# Installs, with apt, only the Debian packages that are missing.
set -euo pipefail

packages=(
    cmake g++ make ccache pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    # Qt's own dialogs and menus in German.
    qt6-translations-l10n
    nlohmann-json3-dev libyaml-cpp-dev
    pandoc
    # What pandoc needs for a default PDF.
    texlive-latex-recommended texlive-latex-extra texlive-fonts-recommended lmodern
    fonts-dejavu-core fonts-noto-color-emoji
    # PDF of text in any script: xelatex switching per script between DejaVu (Latin, Greek,
    # Cyrillic), Noto CJK (Chinese, Japanese, Korean) and Symbola (emoji); lualatex with them
    # as fallback fonts for other scripts.
    texlive-xetex texlive-luatex fonts-dejavu-extra fonts-noto-cjk fonts-symbola
    xvfb xauth
)
if [ "${1:-}" = "--test" ]; then
    packages+=(desktop-file-utils appstream zip unzip dpkg-dev debootstrap dbus-daemon poppler-utils)
fi
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
