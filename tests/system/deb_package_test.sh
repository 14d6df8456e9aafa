#!/usr/bin/env bash
# `cpack -G DEB` from the build: the three packages' files, their control fields and their
# dependencies (found by dpkg-shlibdeps), lintian's verdict when it is installed, then the command
# line's package unpacked into a scratch root, where it runs with a data directory of its own.
#   deb_package_test.sh BUILD_DIR APP_ID MODULE_DIR [ACCOUNTD]
# (MODULE_DIR: the place-name module's, under /usr; ACCOUNTD: 1 when kestrio-accountd is built)
# Exits 77 (skipped) without dpkg-deb or dpkg-shlibdeps.
set -euo pipefail

build=$(realpath "$1")
app_id=$2
module_dir=$3
accountd=${4:-0}
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
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb_of() { echo "$work/out/${1}_${version}_$(dpkg --print-architecture).deb"; }
for package in kestrio kestrio-gui kestrio-places; do
  [[ -f $(deb_of "$package") ]] || fail "cpack made no $package package: $(ls "$work/out")"
done
[[ $(ls "$work/out"/*.deb | wc -l) == 3 ]] || fail "cpack made other packages: $(ls "$work/out")"

# Each package holds its own files and none of another's.
holds() {  # PACKAGE FILE...
  local contents
  contents=$(dpkg-deb -c "$(deb_of "$1")" | awk '{print $NF}')
  local package=$1
  shift
  for file in "$@"; do
    grep -qxF "$file" <<<"$contents" || fail "$package lacks $file"
  done
  ! grep -q '^\./usr/local/\|/build/\|/tmp/' <<<"$contents" || fail "$package holds a stray path"
}
holds kestrio ./usr/bin/kestrio ./usr/lib/systemd/user/kestrio.service ./usr/share/man/man1/kestrio.1.gz \
  ./usr/share/bash-completion/completions/kestrio ./usr/share/kestrio/InAppSettings.bundle/Root.plist \
  ./usr/share/doc/kestrio/copyright ./usr/share/doc/kestrio/changelog.gz
holds kestrio-gui ./usr/bin/kestrio-gui "./usr/share/applications/$app_id.desktop" \
  "./usr/share/metainfo/$app_id.metainfo.xml" "./usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
  "./usr/share/icons/hicolor/48x48/apps/$app_id.png" ./usr/share/man/man1/kestrio-gui.1.gz \
  ./usr/share/doc/kestrio-gui/copyright
holds kestrio-places "./usr/$module_dir/kestrio-places.so" ./usr/share/doc/kestrio-places/copyright
if ((accountd)); then
  holds kestrio ./usr/sbin/kestrio-accountd ./usr/lib/systemd/system/kestrio-accountd.service
  grep -q libbpf <<<"$(dpkg-deb -f "$(deb_of kestrio)" Depends)" || fail "kestrio's Depends lacks libbpf"
  dpkg-deb -e "$(deb_of kestrio)" "$work/control-accountd"
  grep -q -- '--detach' "$work/control-accountd/prerm" || fail "removing kestrio leaves the program counting"
fi
! dpkg-deb -c "$(deb_of kestrio)" | grep -q 'kestrio-gui\|kestrio-places.so' ||
  fail "the command line's package holds the window's or the place names' files"

field() { dpkg-deb -f "$(deb_of "$1")" "$2"; }
for package in kestrio kestrio-gui kestrio-places; do
  [[ $(field "$package" Package) == "$package" ]] || fail "Package: $(field "$package" Package)"
  [[ $(field "$package" Section) == net ]] || fail "$package Section: $(field "$package" Section)"
  [[ -n $(field "$package" Maintainer) ]] || fail "$package has no Maintainer"
  # No private module is a shared library of the system: no ldconfig in maintainer scripts.
  dpkg-deb -e "$(deb_of "$package")" "$work/control-$package"
  ! grep -rqs ldconfig "$work/control-$package" || fail "$package runs ldconfig"
done
depends=$(field kestrio Depends)
for library in libc6 libstdc++6 libplist libicu libsystemd0 libuuid1; do
  grep -q "$library" <<<"$depends" || fail "kestrio's Depends lacks $library: $depends"
done
[[ $(grep -o 'libicu[0-9]*' <<<"$depends" | wc -l) == 1 ]] || fail "libicu more than once: $depends"
! grep -q 'libqt6\|libgweather\|libgtk' <<<"$depends" || fail "kestrio pulls in a desktop: $depends"
grep -q 'kestrio-places' <<<"$(field kestrio Suggests)" || fail "kestrio does not suggest the place names"
gui_depends=$(field kestrio-gui Depends)
for library in "kestrio (= $version)" libqt6core6 libqt6widgets6 libqcustomplot; do
  grep -qF "$library" <<<"$gui_depends" || fail "kestrio-gui's Depends lacks $library: $gui_depends"
done
grep -q 'kestrio-places' <<<"$(field kestrio-gui Recommends)" || fail "the window does not recommend the place names"
grep -q libgweather <<<"$(field kestrio-places Depends)" || fail "kestrio-places does not depend on libgweather"

# lintian finds no error in any of them.
if command -v lintian >/dev/null; then
  lintian --no-tag-display-limit "$work"/out/*.deb >"$work/lintian.txt" 2>&1 || true
  ! grep -q '^E:' "$work/lintian.txt" || fail "lintian: $(grep '^E:' "$work/lintian.txt")"
fi
deb=$(deb_of kestrio)

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
echo "$(ls "$work/out"); kestrio Depends: $depends"
