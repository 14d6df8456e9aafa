#!/usr/bin/env bash
# `cpack -G DEB` from the build: the package's files, its control fields and its dependencies
# (found by dpkg-shlibdeps), then the package unpacked into a scratch root, where the command line
# runs with a data directory of its own.
#   deb_package_test.sh BUILD_DIR APP_ID
# Exits 77 (skipped) without dpkg-deb or dpkg-shlibdeps.
set -euo pipefail

build=$(realpath "$1")
app_id=$2
command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null || {
  echo "skipped: needs dpkg-deb and dpkg-shlibdeps (dpkg-dev)"
  exit 77
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/out/*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || fail "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for file in ./usr/bin/kestrio ./usr/bin/kestrio-gui ./usr/lib/systemd/user/kestrio.service \
  ./usr/lib/kestrio/kestrio-places.so \
  "./usr/share/applications/$app_id.desktop" "./usr/share/metainfo/$app_id.metainfo.xml" \
  "./usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
  "./usr/share/icons/hicolor/48x48/apps/$app_id.png" ./usr/share/man/man1/kestrio.1 \
  ./usr/share/man/man1/kestrio-gui.1 ./usr/share/bash-completion/completions/kestrio \
  ./usr/share/kestrio/InAppSettings.bundle/Root.plist; do
  grep -qxF "$file" <<<"$contents" || fail "the package lacks $file"
done
! grep -q '^\./usr/local/\|/build/\|/tmp/' <<<"$contents" || fail "the package holds a stray path"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == kestrio ]] || fail "Package: $(field Package)"
[[ $(field Section) == net ]] || fail "Section: $(field Section)"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ -n $(field Description) ]] || fail "no Description"
depends=$(field Depends)
for library in libc6 libstdc++6 libqt6core6 libqt6widgets6 libplist libicu libsystemd0 \
  libuuid1 libqcustomplot; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

# Unpacked, the command line runs from the package's own files and finds its schema there.
dpkg -x "$deb" "$work/root"
home=$work/home
mkdir -p "$home"
printf 'Inter-|\n face |\nwwan0: 1000 1 0 0 0 0 0 0 500 1 0 0 0 0 0 0\n' >"$work/net_dev"
run() {
  env -i PATH="$work/root/usr/bin:/usr/bin:/bin" HOME="$home" KESTRIO_HOME="$home/data" \
    KESTRIO_COUNTERS="$work/net_dev" XDG_CONFIG_HOME="$home/config" kestrio "$@"
}
run status >"$work/status.txt" 2>&1 || fail "kestrio status from the package: $(cat "$work/status.txt")"
[[ -f $home/data/app_data_cellular.plist ]] || fail "kestrio status stored no record"
grep -q "Start with the desktop" <<<"$(run settings)" || fail "the packaged kestrio lacks its schema"
grep -qx "ExecStart=/usr/bin/kestrio daemon --interval 15" \
  "$work/root/usr/lib/systemd/user/kestrio.service" || fail "the packaged unit's ExecStart"
echo "$(basename "$deb"): $(wc -l <<<"$contents") entries; Depends: $depends"
