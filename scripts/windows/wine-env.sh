# The Wine side of the Windows runs; source it. Defines:
#   wine_env_up    a 32-bit Wine prefix in the cache (made once), code page 936 through a
#                  zh_CN.UTF-8 locale, an Xvfb display, a running wineserver
#   wine_env_down  stops the wineserver and the Xvfb this shell started
# Variables it exports: WINEPREFIX WINEARCH WINEDEBUG DISPLAY LC_ALL (LOCPATH when the locale
# had to be compiled), TW_WIN_CACHE.

TW_WIN_CACHE="${TW_WIN_CACHE:-$HOME/.cache/twcouponpay5}"
export TW_WIN_CACHE
_tw_xvfb_pid=""

_tw_locale() {
    # Wine takes its ANSI and OEM code pages from the Unix locale, not from the registry.
    if locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
        export LC_ALL=zh_CN.UTF-8
        return
    fi
    local dir="$TW_WIN_CACHE/locale"
    if [ ! -d "$dir/zh_CN.UTF-8" ]; then
        mkdir -p "$dir"
        localedef -i zh_CN -f UTF-8 "$dir/zh_CN.UTF-8" >/dev/null 2>&1 || true
    fi
    export LOCPATH="$dir"
    # This shell itself cannot switch to a locale compiled after it started: say nothing.
    { export LC_ALL=zh_CN.UTF-8; } 2>/dev/null
}

_tw_xvfb() {
    local n
    for n in $(seq 91 130); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            Xvfb ":$n" -screen 0 "${TW_XVFB_SCREEN:-1920x1080x24}" -nolisten tcp >/dev/null 2>&1 &
            _tw_xvfb_pid=$!
            for _ in $(seq 1 50); do
                [ -e "/tmp/.X11-unix/X$n" ] && break
                sleep 0.1
            done
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "wine-env: no free X display" >&2
    return 1
}

wine_env_up() {
    export WINEARCH=win32
    export WINEPREFIX="$TW_WIN_CACHE/wineprefix-win32"
    export WINEDEBUG=-all
    # No Mono or Gecko prompts: the tills' programs need neither.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    _tw_locale
    _tw_xvfb || return 1
    if [ ! -f "$WINEPREFIX/.tw-ready" ]; then
        echo "wine-env: making the Wine prefix $WINEPREFIX" >&2
        rm -rf "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        # Without a window manager a managed window that hides makes Wine wait 2 s.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        # A crash ends the process instead of waiting in a dialog.
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.tw-ready"
    fi
    # One server for the whole run: each program then starts in about a second.
    wineserver -p
}

wine_env_down() {
    wineserver -k 2>/dev/null || true
    if [ -n "$_tw_xvfb_pid" ]; then
        kill "$_tw_xvfb_pid" 2>/dev/null || true
        wait "$_tw_xvfb_pid" 2>/dev/null || true
        _tw_xvfb_pid=""
    fi
}
