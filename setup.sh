#!/usr/bin/env bash
# Sets Kestrio up on a Debian machine: installs the packages it needs (only those missing),
# configures and builds, then runs what was asked:
#   ./setup.sh run    build, then open the window (kestrio-gui), or without a display show the
#                     usage screens on the terminal (kestrio status)
#   ./setup.sh test   build, then run every test
#   ./setup.sh build  build only
# BUILD_DIR (default: build) and CMAKE_ARGS (extra configure arguments) may be set.
set -euo pipefail
cd "$(dirname "$0")"

mode="${1:-build}"
build_dir="${BUILD_DIR:-build}"

packages=(
  g++ cmake ninja-build pkgconf
  libicu-dev libplist-dev uuid-dev libsystemd-dev libcli11-dev libfmt-dev
  qt6-base-dev libqcustomplot-dev libqcustomplot2.1-qt6
  libgtest-dev libgmock-dev libbenchmark-dev
  xdg-utils fonts-dejavu-core xvfb xauth dbus-daemon
  python3 faketime x11-apps iproute2
  clang libbpf-dev bpftool
  libgweather-4-dev python3-dbus python3-gi python3-dbusmock
  librsvg2-bin desktop-file-utils appstream man-db dpkg-dev file bash-completion lintian
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}" >&2
  sudo=()
  ((EUID == 0)) || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [[ ! -f "$build_dir/build.ninja" ]]; then
  # shellcheck disable=SC2086
  cmake -S . -B "$build_dir" -G Ninja ${CMAKE_ARGS:-} >/dev/null
fi
cmake --build "$build_dir"

case "$mode" in
  run)
    if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
      exec "$build_dir/src/gui/kestrio-gui"
    fi
    exec "$build_dir/src/cli/kestrio" status
    ;;
  test) exec ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" ;;
  build) ;;
  *) echo "usage: $0 [run|test|build]" >&2; exit 2 ;;
esac
