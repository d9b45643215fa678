#!/usr/bin/env bash
# kvhost's JPEG codec: libjpeg-turbo from Debian's source package (through apt-get source, which
# verifies its checksums; the upstream tarball pinned besides), cross-built once as a static
# i686 library with its SIMD code (nasm) into build/libjpeg-turbo/. Debian packages no mingw-w64
# build of it, and the imaging component's JPEG codec under Wine is several times slower and
# ignores the quality it is given. A second run finds the stamp of this script's content and does
# nothing; a changed script builds again.
set -euo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/.."

version=2.1.5
package=libjpeg-turbo=1:2.1.5-2  # Debian's source package of that release
sha256=254f3642b04e309fee775123133c6464181addc150499561020312ec61c1bf7c  # its upstream tarball
prefix=$PWD/build/libjpeg-turbo
stamp=$prefix/built-$(sha256sum "$script" | cut -c1-16)
[ -f "$stamp" ] && exit 0

work=$PWD/build/libjpeg-turbo-src
rm -rf "$work" "$prefix"
mkdir -p "$work"
echo "setup: building libjpeg-turbo $version for kvhost" >&2
scripts/apt_source.sh "$package" "$work/package"
orig=$(echo "$work"/package/libjpeg-turbo_*.orig.tar.gz)
echo "$sha256  $orig" | sha256sum --check --quiet
tar -xzf "$orig" -C "$work" --strip-components=1
# Only the static library with the libjpeg interface: no shared library, TurboJPEG or tools.
# Unwind tables (-fexceptions) let kvhost's error handler throw through the library's frames.
cmake -S "$work" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS=-fexceptions -DENABLE_SHARED=OFF \
    -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
    -DCMAKE_ASM_NASM_COMPILER=nasm -DCMAKE_INSTALL_PREFIX="$prefix" >"$work/configure.log" ||
    { cat "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" -j"$(nproc)" --target jpeg-static >"$work/build.log" ||
    { tail -40 "$work/build.log" >&2; exit 1; }
mkdir -p "$prefix/include" "$prefix/lib"
cp "$work/build/libjpeg.a" "$prefix/lib/"
cp "$work/build/jconfig.h" "$work"/{jpeglib.h,jmorecfg.h,jerror.h} "$prefix/include/"
# Its licence texts, for the release's notices.
cp "$work"/{LICENSE.md,README.ijg} "$prefix/"
rm -rf "$work"
touch "$stamp"
