#!/usr/bin/env bash
# kvhost's PNG and TIFF codecs and what they need: zlib, libpng and libtiff from Debian's source
# packages (through apt-get source, which verifies their checksums; unpacked by dpkg-source, so
# Debian's own patches, security fixes among them, are applied), cross-built once as static
# i686 libraries into build/image-libs/. Debian packages no mingw-w64 build of libpng or libtiff.
# libtiff decodes LZW, Deflate, PackBits, CCITT and JPEG-in-TIFF (through build_libjpeg.sh's
# libjpeg-turbo) here. A second run finds the stamp of this script's content and does nothing;
# a changed script builds again.
set -euo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/.."

# Those of the stable release itself: the security archive keeps its files only while they are
# the newest there.
packages=(zlib=1:1.2.13.dfsg-1 libpng1.6=1.6.39-2+deb12u5 tiff=4.5.0-6+deb12u4)
prefix=$PWD/build/image-libs
jpeg=$PWD/build/libjpeg-turbo
stamp=$prefix/built-$(sha256sum "$script" | cut -c1-16)
[ -f "$stamp" ] && exit 0

work=$PWD/build/image-libs-src
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/include" "$prefix/lib"
echo "setup: building zlib, libpng and libtiff for kvhost" >&2
for package in "${packages[@]}"; do
    name=${package%%=*}
    scripts/apt_source.sh "$package" "$work/$name-package"
    dpkg-source --no-check -x "$work/$name-package"/*.dsc "$work/$name" >/dev/null
done

# The same flags for every library: release code, unwind tables so that kvhost's error handlers
# may throw through the libraries' frames, no source paths in the objects.
flags="-O2 -fexceptions -ffile-prefix-map=$work=."
cmake_build() {  # cmake_build NAME TARGET OPTION...
    local name=$1 target=$2
    shift 2
    cmake -S "$work/$name" -B "$work/$name/out" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$flags" -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG \
        -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$work/$name.log" 2>&1 ||
        { cat "$work/$name.log" >&2; exit 1; }
    cmake --build "$work/$name/out" -j"$(nproc)" --target "$target" >>"$work/$name.log" 2>&1 ||
        { tail -40 "$work/$name.log" >&2; exit 1; }
}

cmake_build zlib zlibstatic
cp "$work/zlib/out/libzlibstatic.a" "$prefix/lib/libz.a"
cp "$work/zlib/zlib.h" "$work/zlib/out/zconf.h" "$prefix/include/"
zlib=(-DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a")

cmake_build libpng1.6 png_static -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF "${zlib[@]}"
cp "$work/libpng1.6/out/libpng16.a" "$prefix/lib/libpng.a"
cp "$work/libpng1.6"/{png.h,pngconf.h} "$work/libpng1.6/out/pnglibconf.h" "$prefix/include/"

# libtiff with the codecs of the files kvhost has always read (and zlib's and libjpeg's): no
# LZMA, ZSTD, WebP, JBIG or LERC, which would each need another library cross-built.
cmake_build tiff tiff -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF \
    -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dtiff-deprecated=OFF -Dcxx=OFF -Dzlib=ON -Djpeg=ON \
    -Dpixarlog=ON -Dold-jpeg=ON -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Djbig=OFF -Dlerc=OFF \
    -Dlibdeflate=OFF -Djpeg12=OFF "${zlib[@]}" -DJPEG_INCLUDE_DIR="$jpeg/include" \
    -DJPEG_LIBRARY="$jpeg/lib/libjpeg.a" -DCMAKE_DISABLE_FIND_PACKAGE_Deflate=ON
cp "$work/tiff/out/libtiff/libtiff.a" "$prefix/lib/"
cp "$work/tiff/libtiff"/{tiff.h,tiffio.h,tiffvers.h} "$work/tiff/out/libtiff/tiffconf.h" \
    "$prefix/include/"

# Their licence texts, for the release's notices.
mkdir -p "$prefix/licences"
cp "$work/libpng1.6/LICENSE" "$prefix/licences/libpng.txt"
cp "$work/tiff/LICENSE.md" "$prefix/licences/libtiff.txt"
cp "$work/zlib/LICENSE" "$prefix/licences/zlib.txt"
rm -rf "$work"
touch "$stamp"
