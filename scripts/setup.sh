#!/usr/bin/env bash
# Installs what building and testing the plug-in needs: the i686 mingw-w64 cross compiler, Wine
# (32-bit), Xvfb, fonts (Wine's own for Marlett, IPA Gothic and P Gothic for Japanese), the
# Japanese locale, nasm and dpkg-dev for kvhost's image libraries (libjpeg-turbo, zlib, libpng and
# libtiff, built from Debian's sources by build_libjpeg.sh and build_image_libs.sh), libjpeg-turbo's
# reference decoder for the tests, the image
# libraries of the native build (libjpeg-turbo, libpng, libtiff, libwebp, libheif), a metadata
# reader that is not kvhost (exiftool) for the tests, the native test and benchmark libraries,
# the Python module's pybind11, NumPy, pytest and Dask's distributed scheduler (with psutil,
# fsspec, and what pip needs to install the package into a venv), and clang with libFuzzer for
# the fuzz targets.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
    cmake g++ make pkg-config python3 clang-14 libclang-rt-14-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev libstb-dev libcxxopts-dev locales
    g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-i686-dev dpkg-dev
    wine wine32:i386 fonts-wine xvfb xauth fonts-ipafont-gothic
    nasm libjpeg-turbo-progs libimage-exiftool-perl
    libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev libtiff-dev libwebp-dev
    libheif-dev
    python3-dev python3-pybind11 python3-numpy python3-pytest python3-psutil
    python3-distributed python3-dask python3-fsspec python3-setuptools python3-wheel
    python3-pip python3-venv
)

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
        missing+=("$p")
    fi
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}" >&2
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        sudo_if_needed dpkg --add-architecture i386
    fi
    export DEBIAN_FRONTEND=noninteractive
    # A mirror caught mid-sync fails one index of many; the install below still fails when a
    # package it needs is really missing.
    sudo_if_needed apt-get update -qq >/dev/null ||
        echo "setup: apt-get update could not fetch every index; going on with what it has" >&2
    install() { sudo_if_needed apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >/dev/null; }
    # Without one architecture's security index, the two architectures' versions of a shared
    # library disagree: the release's own versions then agree.
    install || { . /etc/os-release &&
        echo "setup: installing the release's own versions ($VERSION_CODENAME)" >&2 &&
        install -t "$VERSION_CODENAME"; }
fi

# Wine reports the Japanese language id and code page 932 only when the glibc locale exists.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    sudo_if_needed localedef -i ja_JP -c -f UTF-8 ja_JP.UTF-8 || true
fi

"$(dirname "$0")/build_libjpeg.sh"
"$(dirname "$0")/build_image_libs.sh"
