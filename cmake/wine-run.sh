#!/bin/sh
# Runs a Windows executable under Wine with the project's own prefix inside the
# build tree (never the user's ~/.wine), the Japanese locale (ANSI and OEM code
# page 932, as on the users' machines) and font replacements for Japanese glyphs.
#   wine-run.sh --init       create the prefix if it does not exist yet
#   wine-run.sh PROGRAM ARGS run PROGRAM
set -e
here=$(cd "$(dirname "$0")" && pwd)
: "${ORVETTA_BUILD_DIR:=$(pwd)}"
export WINEPREFIX="${ORVETTA_WINEPREFIX:-$ORVETTA_BUILD_DIR/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=ja_JP.UTF-8
export WINEARCH=win64

init_prefix() {
    # mkdir is atomic: the first caller creates the prefix, the others wait for it.
    if [ -f "$WINEPREFIX/.orvetta-ready" ]; then return; fi
    if mkdir "$WINEPREFIX.lock" 2>/dev/null; then
        wineboot -i >/dev/null 2>&1 || true
        # The UI fonts become DejaVu Sans with IPA Gothic linked in for Japanese glyphs:
        # IPA Gothic alone draws "_" below the line, outside a tree or list item's cell.
        for f in "MS UI Gothic" "ＭＳ ゴシック" "ＭＳ Ｐゴシック" "MS Gothic" "MS PGothic" \
                 "MS Shell Dlg" "MS Shell Dlg 2" "Meiryo" "Meiryo UI" "Yu Gothic UI" "Tahoma"; do
            wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$f" /t REG_SZ \
                /d "DejaVu Sans" /f >/dev/null 2>&1 || true
        done
        for f in "DejaVu Sans" "DejaVu Sans Bold"; do
            wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$f" \
                /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f >/dev/null 2>&1 || true
        done
        # A crashing test must end with a failure, not wait in the debugger.
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ \
            /d "" /f >/dev/null 2>&1 || true
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ \
            /d "0" /f >/dev/null 2>&1 || true
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
        # Xvfb runs no window manager: a managed top-level window waits about 2 s for one
        # each time it is shown or destroyed. Unmanaged windows are mapped at once.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
        wineserver -w || true
        touch "$WINEPREFIX/.orvetta-ready"
        rmdir "$WINEPREFIX.lock"
    else
        while [ ! -f "$WINEPREFIX/.orvetta-ready" ]; do sleep 1; done
    fi
}

mkdir -p "$(dirname "$WINEPREFIX")"
init_prefix
if [ "$1" = "--init" ]; then exit 0; fi
exec wine "$@"
