#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Orvane FTP need.
# Idempotent and quiet when everything is already present. Run as root (or through sudo).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6opengl6-dev
    libgl-dev libssl-dev libgtest-dev
    vsftpd python3-pyftpdlib python3-openssl openssl
    xvfb xauth clang-format
    lftp curl
    desktop-file-utils appstream dpkg-dev man-db bsdextrautils
    qtkeychain-qt6-dev gnome-keyring dbus libsecret-tools python3-dbus python3-gi
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
