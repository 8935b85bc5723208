# A throwaway Wine prefix on a private X display, for the tools that run the
# Windows program under Wine (tools/wine-e2e, bench/startup-time). Sourced,
# not run:
#
#   source tools/wine/prefix.sh
#   private_display_begin    # Xvfb at 96 dpi (wine_prefix_begin starts it too)
#   wine_prefix_begin        # a fresh prefix on it, its wineserver
#   ... "$wine" PROGRAM ...
#   wineserver_restart       # the prefix's wineserver anew (programs ended)
#
# The prefix, its wineserver and the X server are ended and removed on exit
# (an EXIT trap); only what was started here is ended, by its own pid or the
# prefix's own `wineserver -k`. Sets: wine, wine_tmp (a folder for the
# caller's files too), WINEPREFIX, DISPLAY.

# How long each wait may take, in seconds, and how often a wait looks.
xvfb_limit=15     # until the X server names its display
poll=0.05

# Runs COMMAND until it succeeds, for LIMIT seconds at most; false if it never did.
#   wait_until LIMIT COMMAND...
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep "$poll"
  done
}

# Unix path -> the same file through Wine's Z: drive.
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

wine_prefix_cleanup() {
  if [ -d "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  if [ -n "${wine_tmp:-}" ]; then rm -rf "$wine_tmp"; fi
}

# The folder everything goes in, removed with all the rest on exit.
work_folder_begin() {
  [ -z "${wine_tmp:-}" ] || return 0
  wine_tmp=$(mktemp -d "${TMPDIR:-/tmp}/orvan-wine.XXXXXX")
  xvfb_pid=""
  trap wine_prefix_cleanup EXIT
}

# The prefix's wineserver anew: every program in the prefix ends with it.
wineserver_restart() {
  wineserver -k 2>/dev/null || true
  wineserver -w
  # One server for the whole run rather than one per program.
  wineserver -p
}

# A private X display at 96 dpi; Xvfb names it once it is listening.
private_display_begin() {
  command -v Xvfb >/dev/null || { echo "Xvfb is not installed" >&2; return 1; }
  work_folder_begin
  Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$wine_tmp/display" \
    2>"$wine_tmp/xvfb.log" &
  xvfb_pid=$!
  xvfb_settled() { [ -s "$wine_tmp/display" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; }
  wait_until "$xvfb_limit" xvfb_settled || true
  if [ ! -s "$wine_tmp/display" ]; then
    cat "$wine_tmp/xvfb.log" >&2
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=:$(head -n1 "$wine_tmp/display")
}

# A fresh prefix on the private display (started here if it is not yet),
# Wine's own fonts (Debian's Wine does not find them), and a virtual desktop
# (without a window manager a closing window lingers ~2 s).
wine_prefix_begin() {
  wine=$(command -v wine64 || command -v wine || true)
  if [ -z "$wine" ]; then
    echo "wine is not installed (scripts/install-deps installs it)" >&2
    return 1
  fi
  command -v wineserver >/dev/null || { echo "wineserver is not installed" >&2; return 1; }
  [ -n "${xvfb_pid:-}" ] || private_display_begin || return 1
  export WINEPREFIX=$wine_tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  "$wine" wineboot -i >"$wine_tmp/wineboot.log" 2>&1 || { cat "$wine_tmp/wineboot.log" >&2; return 1; }
  wineserver -w
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  cat >"$wine_tmp/desktop.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="800x600"
EOF
  "$wine" regedit /S "$(winpath "$wine_tmp/desktop.reg")" >/dev/null 2>&1
  wineserver_restart
}
