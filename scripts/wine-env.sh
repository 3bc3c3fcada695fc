# Sourced by the scripts that run Wine: one private prefix per build directory,
# never ~/.wine, no Mono or Gecko prompts, quiet unless asked. The prefix is a
# 32-bit one, named so: with Debian's wine64 installed, Wine would make a new
# prefix 64-bit. The installer's test makes a 64-bit prefix of its own (win64);
# the test suite runs half of its tests in a second 32-bit prefix (second),
# so that two tests that each set the prefix's registry can run at once.
# Usage: . scripts/wine-env.sh BUILD_DIR [win64|second]
_build=$(cd "${1:?build directory}" && pwd)
if [ "${2:-}" = win64 ]; then
  export WINEPREFIX="$_build/wineprefix64"
  export WINEARCH=win64
elif [ "${2:-}" = second ]; then
  export WINEPREFIX="$_build/wineprefix2"
  export WINEARCH=win32
else
  export WINEPREFIX="$_build/wineprefix"
  export WINEARCH=win32
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;${WINEDLLOVERRIDES:-}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
# Wine's own fonts (Debian's fonts-wine, /usr/share/wine/fonts) make frames,
# close boxes and dialogs look as on Windows; Debian's Wine looks for them
# elsewhere, so they are linked into the prefix's Fonts folder, which Wine
# reads first.
_fonts=/usr/share/wine/fonts
if [ -f "$_fonts/marlett.ttf" ] && [ ! -e "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  ln -sf "$_fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/"
fi
unset _fonts
# Wine leaves the frames of its windows to a window manager, and Xvfb has
# none: every hidden window would wait two seconds for one to answer, and
# screen grabs would show no title bars. Let Wine draw its own frames.
if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  wineserver -w
fi
unset _build
# Screen grabs need Wine's own fonts (Debian's fonts-wine): without them a
# close box is drawn as the letter "r" and dialogs take a stand-in face.
require_wine_fonts() {
  local fonts=/usr/share/wine/fonts
  [ -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ] && [ -f "$WINEPREFIX/drive_c/windows/Fonts/tahoma.ttf" ] && return 0
  echo "Wine's own fonts are missing in $fonts (Debian package fonts-wine): the pictures would not" \
       "look as on Windows. scripts/install-deps.sh installs it." >&2
  exit 1
}
