#!/usr/bin/env bash
# The Debian package as an operator gets it: built by CPack, checked by
# lintian, installed with dpkg, used as a normal user (a replay of the
# installed sample plan, a saved system parameter, a plan opened the way a
# double-click opens it, through xdg-open under Xvfb) and removed again.
# Needs root (or sudo) because it installs into the system; without either it
# says so and stops with success. Run after tools/build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then SUDO="sudo"; else
    echo "SKIP package test: needs root or sudo to install the package"; exit 0
  fi
fi
fail() { echo "FAIL: $*" >&2; exit 1; }

need=()
for p in dpkg-dev lintian xdg-utils libfile-mimeinfo-perl; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

rm -f "$BUILD_DIR"/tarnwick_*.deb
(cd "$BUILD_DIR" && cpack -G DEB --config CPackConfig.cmake >/dev/null)
deb=$(ls "$BUILD_DIR"/tarnwick_*_*.deb)
echo "package: $deb"

# lintian: no errors (warnings are printed, not fatal).
lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" || fail "lintian reports errors"

$SUDO dpkg -i "$deb" >/dev/null || fail "dpkg -i"
user=twpkgtest
cleanup() {
  $SUDO dpkg -r tarnwick >/dev/null 2>&1 || true
  $SUDO userdel -r "$user" >/dev/null 2>&1 || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
id "$user" >/dev/null 2>&1 || $SUDO useradd -m "$user"
as_user() {
  local run=(sudo -u "$user")
  [ "$(id -u)" -eq 0 ] && run=(runuser -u "$user" --)
  "${run[@]}" env HOME="/home/$user" QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$@"
}
plan=/usr/share/tarnwick/演习示例.pln

[ "$(as_user tarnwick --version)" = "tarnwick $(dpkg-query -W -f='${Version}' tarnwick)" ] || fail "tarnwick --version"
as_user tarnwick-replay --until 60 --units - "$plan" >/tmp/twpkg-units.txt || fail "installed replay"
grep -qP '^\d+\t' /tmp/twpkg-units.txt || fail "installed replay printed no units"

# A normal user cannot write the module folder: a save goes to the user's copy.
as_user test -w /usr/lib/tarnwick && fail "module folder writable by a normal user"
as_user tarnwick-replay --until 1 "$plan" >/dev/null || fail "replay as a normal user"

# Double-click: xdg-open on a plan starts the installed program on that plan.
if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
  $SUDO update-mime-database /usr/share/mime >/dev/null 2>&1 || true
  $SUDO update-desktop-database /usr/share/applications >/dev/null 2>&1 || true
  [ "$(as_user xdg-mime query filetype "$plan")" = "application/x-tarnwick-plan" ] || fail "xdg-mime filetype of $plan"
  [ "$(as_user xdg-mime query default application/x-tarnwick-plan)" = "tarnwick.desktop" ] ||
    fail "no default application for plans"
  cp "$plan" "/home/$user/双击.pln" && $SUDO chown "$user" "/home/$user/双击.pln"
  as_user xvfb-run -a -s "-screen 0 1280x800x24" bash -c 'unset QT_QPA_PLATFORM
    xdg-open "$HOME/双击.pln" >/dev/null 2>&1 &
    for i in $(seq 1 60); do
      # With a plan open the title carries its map after "Tarnwick - ".
      if w=$(xdotool search --name "^Tarnwick - " 2>/dev/null | head -1) && [ -n "$w" ]; then
        echo "window: $(xdotool getwindowname "$w")"
        # System parameters saved by a normal user land in the user folder.
        sleep 1
        xdotool windowfocus --sync "$w" key alt+t; sleep 0.5; xdotool key v
        for j in $(seq 1 20); do
          d=$(xdotool search --name "^系统参数设置" 2>/dev/null | head -1) && [ -n "$d" ] && break; sleep 0.5
        done
        [ -n "$d" ] && xdotool windowfocus --sync "$d" key Return
        sleep 1
        kill "$(xdotool getwindowpid "$w")"; wait
        [ -s "$HOME/.config/tarnwick/SysConfig.cfg" ] || { echo "system parameters not saved in the user folder" >&2; exit 1; }
        echo "saved: $HOME/.config/tarnwick/SysConfig.cfg"; exit 0
      fi
      sleep 0.5
    done
    echo "no window with a plan open" >&2; kill %1; exit 1' </dev/null || fail "xdg-open did not open the plan, or its system parameters were not saved"
else
  echo "SKIP double-click test: xvfb-run or xdotool missing"
fi

$SUDO dpkg -r tarnwick >/dev/null || fail "dpkg -r"
[ ! -e /usr/lib/tarnwick/tarnwick ] && [ ! -e /usr/bin/tarnwick ] || fail "files left after removal"
echo "package test OK"
