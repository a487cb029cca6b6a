#!/usr/bin/env bash
# Installs the Debian packages Vantor builds and tests with. Idempotent: it
# installs only what is missing. As root it runs apt-get itself, otherwise
# through sudo when that is available; failing both it prints the command to
# run and fails.
set -euo pipefail

packages=(
    build-essential
    cmake
    pkg-config
    qtbase5-dev
    qtmultimedia5-dev
    libkissfft-dev
    googletest
    libgtest-dev
    libbenchmark-dev
    libsndfile1-dev
    libqt5svg5
    libqt5multimedia5-plugins
    pulseaudio
    pulseaudio-utils
    xvfb
    xauth
    sox
    libsox-fmt-mp3
    python3
    musescore3
    aubio-tools
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

command=(apt-get install -y --no-install-recommends "${missing[@]}")
as_root=()
if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null 2>&1; then
        as_root=(sudo)
    else
        echo "Vantor needs these packages: ${missing[*]}" >&2
        echo "Install them as root with:" >&2
        echo "    apt-get update && ${command[*]}" >&2
        exit 1
    fi
fi

echo "Installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive "${command[@]}"
