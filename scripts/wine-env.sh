# Sourced by the scripts that run Wine: one private prefix per build directory,
# never ~/.wine, no Mono or Gecko prompts, quiet unless asked.
# Usage: . scripts/wine-env.sh BUILD_DIR
_build=$(cd "${1:?build directory}" && pwd)
export WINEPREFIX="$_build/wineprefix"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;${WINEDLLOVERRIDES:-}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
# Wine leaves the frames of its windows to a window manager, and Xvfb has
# none: every hidden window would wait two seconds for one to answer, and
# screen grabs would show no title bars. Let Wine draw its own frames.
if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  wineserver -w
fi
unset _build
