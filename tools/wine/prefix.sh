# A throwaway Wine prefix on a private X display, for the tools that run the
# Windows program under Wine (tools/wine-e2e, bench/startup-time). Sourced,
# not run:
#
#   source tools/wine/prefix.sh
#   private_display_begin    # Xvfb at 96 dpi (wine_prefix_begin starts it too)
#   wine_prefix_begin        # a fresh prefix on it, its wineserver
#   ... "$wine" PROGRAM ...
#   wineserver_restart       # the prefix's wineserver anew (programs ended)
#   wine_run LIMIT OUT ERR PROGRAM ARGS...   # "$wine" PROGRAM, tried again
#                                            # if Wine refused to start it
#
# The prefix, its wineserver and the X server are ended and removed on exit
# (an EXIT trap); only what was started here is ended, by its own pid or the
# prefix's own `wineserver -k`. Sets: wine (ORVAN_WINE, if set, instead of
# the one installed), wine_tmp (a folder for the caller's files too),
# WINEPREFIX, DISPLAY, WINEDEBUG (Wine's error channel only, on standard
# error: a failure of Wine's own is named there).

# How long each wait may take, in seconds, and how often a wait looks.
xvfb_limit=15     # until the X server names its display
wineboot_limit=300  # a new prefix, and each setting written into it
poll=0.05
# Starts of one Wine program in all, when Wine refuses to start it.
wine_tries=3

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

# Wine now and then fails to start a program at all: it logs through its
# error channel and exits with status 1 before the program has run (as when
# the address it maps its shared user data at is taken: "failed to map the
# shared user data", a line with no thread number, since none exists yet).
# Such a start is told from the program's own failure by what it wrote:
# nothing on OUT, and on ERR nothing but Wine's own lines (its debug
# channels, with or without a thread's number, its loader's "wine: ..."); a
# limit reached (timeout's 124) is not a refusal.
#   wine_refused STATUS OUT ERR
wine_refused() {
  [ "$1" -ne 0 ] && [ "$1" -ne 124 ] && [ ! -s "$2" ] || return 1
  # grep reads all (no -q): an early exit would fail tr, and with it the pipe.
  ! tr -d '\0\r' <"$3" | grep -Ev '^$|^([0-9a-f]+:)?(err|warn|fixme|trace):|^wine: ' >/dev/null
}

# Runs "$wine" PROGRAM ARGS for LIMIT seconds at most, its standard output to
# OUT and its error to ERR, and returns its status. A start Wine refused is
# said on standard error with Wine's words, and tried again on a new
# wineserver, $wine_tries times in all.
#   wine_run LIMIT OUT ERR PROGRAM ARGS...
wine_run() {
  local limit=$1 out=$2 err=$3 try rc
  shift 3
  for ((try = 1; ; try++)); do
    rc=0
    timeout "$limit" "$wine" "$@" >"$out" 2>"$err" || rc=$?
    if [ "$try" -ge "$wine_tries" ] || ! wine_refused "$rc" "$out" "$err"; then return "$rc"; fi
    wine_try_again "$(basename "$1")" "$rc" "$try" "$err"
  done
}

# Says that Wine refused to start WHAT (status STATUS, at try TRY), with
# what Wine wrote to ERR, and restarts the wineserver for the next try.
#   wine_try_again WHAT STATUS TRY ERR
wine_try_again() {
  {
    echo "$1: Wine did not start it (status $2, try $3 of $wine_tries); the wineserver restarts." \
      "Wine's words:"
    tr -d '\0\r' <"$4" | sed 's/^/  /'
  } >&2
  wineserver_restart
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
  wine=${ORVAN_WINE:-$(command -v wine64 || command -v wine || true)}
  if [ -z "$wine" ]; then
    echo "wine is not installed (scripts/install-deps installs it)" >&2
    return 1
  fi
  command -v wineserver >/dev/null || { echo "wineserver is not installed" >&2; return 1; }
  [ -n "${xvfb_pid:-}" ] || private_display_begin || return 1
  export WINEPREFIX=$wine_tmp/prefix WINEDEBUG=-all,err+all WINEDLLOVERRIDES="mscoree,mshtml="
  wine_run "$wineboot_limit" "$wine_tmp/wineboot.log" "$wine_tmp/wineboot.err" wineboot -i ||
    { cat "$wine_tmp/wineboot.log" "$wine_tmp/wineboot.err" >&2; return 1; }
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
  wine_run "$wineboot_limit" "$wine_tmp/regedit.out" "$wine_tmp/regedit.err" \
    regedit /S "$(winpath "$wine_tmp/desktop.reg")" || { cat "$wine_tmp/regedit.err" >&2; return 1; }
  wineserver_restart
}
