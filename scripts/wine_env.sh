# Sourced by the scripts that run Windows programs: a private 32-bit Wine prefix under build/,
# created on first use, with settings that make windows on a bare X server fast and complete.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

wine_prefix_ready() {
    [ -f "$WINEPREFIX/.trapezoid-ready" ] && return 0
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    local x11='HKCU\Software\Wine\X11 Driver'
    local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
    wine reg add "$x11" /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
    wine reg add "$x11" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    # Captions use Tahoma, which has no Japanese glyphs: link it to the IPA Gothic font.
    wine reg add "$link" /v Tahoma /t REG_MULTI_SZ /d "ipag.ttf,IPAGothic" /f >/dev/null 2>&1
    wine reg add "$link" /v "Tahoma Bold" /t REG_MULTI_SZ /d "ipag.ttf,IPAGothic" /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.trapezoid-ready"
}
