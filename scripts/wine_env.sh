# Sourced by the scripts that run Windows programs: a private 32-bit Wine prefix under build/,
# created on first use, with settings that make windows on a bare X server fast and complete.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# The version of the set-up below: a prefix set up by an older one is set up again, so that a
# change here reaches every existing prefix.
prefix_version=2

wine_prefix_ready() {
    local marker="$WINEPREFIX/.trapezoid-ready"
    [ "$(cat "$marker" 2>/dev/null)" = "$prefix_version" ] && return 0
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    local x11='HKCU\Software\Wine\X11 Driver'
    local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
    local replace='HKCU\Software\Wine\Fonts\Replacements'
    wine reg add "$x11" /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
    wine reg add "$x11" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    # Captions use Tahoma, which has no Japanese glyphs: link it to the IPA Gothic font.
    wine reg add "$link" /v Tahoma /t REG_MULTI_SZ /d "ipag.ttf,IPAGothic" /f >/dev/null 2>&1
    wine reg add "$link" /v "Tahoma Bold" /t REG_MULTI_SZ /d "ipag.ttf,IPAGothic" /f >/dev/null 2>&1
    # The Japanese template's font is proportional; left to itself Wine picks the fixed-pitch
    # IPAGothic, whose wider kana cut labels short ("プレビュー(P)" shows as "プレビュー(").
    # Wine reads the command line in the charset of LC_CTYPE, so the name goes as UTF-8.
    for name in "ＭＳ Ｐゴシック" "MS PGothic"; do
        LC_ALL=C.UTF-8 wine reg add "$replace" /v "$name" /t REG_SZ /d IPAPGothic /f \
            >/dev/null 2>&1
    done
    # Wine draws the caption buttons with Marlett, and this Wine does not load the fonts of its
    # own data directory: without the font in the prefix the close box shows the letter "r".
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    wineserver -w
    echo "$prefix_version" >"$marker"
}
