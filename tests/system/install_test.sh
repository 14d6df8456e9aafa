#!/usr/bin/env bash
# `cmake --install` into a scratch root: every file a desktop needs is there and nothing else,
# the desktop entry and the metainfo pass their validators, the manual pages render without
# warnings and name every command and option `kestrio --help` shows, the user unit runs the
# installed program, one application id names everything, the installed programs find their
# settings schema, and bash completes the commands.
#   install_test.sh BUILD_DIR APP_ID MODULE_DIR [ACCOUNTD]
# (MODULE_DIR: the place-name module's, under the prefix; ACCOUNTD: 1 when kestrio-accountd and
# its system unit are built)
set -euo pipefail

build=$(realpath "$1")
app_id=$2
module_dir=$3
accountd=${4:-0}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" ||
  fail "cmake --install: $(cat "$work/install.log")"
usr=$root/usr

# The file list, complete and without strays.
expected=(
  bin/kestrio
  bin/kestrio-gui
  "$module_dir/kestrio-places.so"
  lib/systemd/user/kestrio.service
  share/applications/$app_id.desktop
  share/bash-completion/completions/kestrio
  share/icons/hicolor/scalable/apps/$app_id.svg
  share/kestrio/InAppSettings.bundle/CustomCycle.plist
  share/kestrio/InAppSettings.bundle/CustomCycleWiFi.plist
  share/kestrio/InAppSettings.bundle/Root.plist
  share/man/man1/kestrio-gui.1.gz
  share/man/man1/kestrio.1.gz
  share/metainfo/$app_id.metainfo.xml
)
((accountd)) && expected+=(sbin/kestrio-accountd lib/systemd/system/kestrio-accountd.service)
for package in kestrio kestrio-gui kestrio-places; do
  expected+=("share/doc/$package/changelog.gz" "share/doc/$package/copyright")
done
for size in 16 22 24 32 48 64 128 256 512; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$usr" && find . -type f | sed 's|^\./||' | sort) ||
  fail "the installed files differ from the expected list (< missing, > unexpected)"

# Each PNG is the size its directory names.
for size in 16 22 24 32 48 64 128 256 512; do
  file "$usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png" |
    grep -q "PNG image data, $size x $size," || fail "the ${size}x${size} icon is not $size pixels"
done

desktop-file-validate "$usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "appstreamcli validate"

# One id: the desktop file's name, its icon, the metainfo's id and launchable, and what the
# programs tell the desktop (the window's desktop-file name, the notifications' desktop entry
# and the launcher badge's application URI).
grep -qx "Icon=$app_id" "$usr/share/applications/$app_id.desktop" || fail "the desktop entry's icon"
grep -q "<id>$app_id</id>" "$usr/share/metainfo/$app_id.metainfo.xml" || fail "the metainfo id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
  "$usr/share/metainfo/$app_id.metainfo.xml" || fail "the metainfo's launchable"
grep -qaF "application://$app_id.desktop" "$usr/bin/kestrio" || fail "kestrio's launcher URI"
# libgweather and its libraries are the place names module's alone: every refresh would load them.
# Output is searched whole (not through a pipe): `grep -q` stops reading at the first match, and
# with pipefail the writer's broken pipe would count as a failure.
! grep -q gweather <<<"$(ldd "$usr/bin/kestrio")" || fail "kestrio links libgweather itself"
grep -qaF "$app_id" "$usr/bin/kestrio-gui" || fail "kestrio-gui's desktop-file name"

# The user unit runs the installed program (not the build tree's, not the scratch root's) and
# asks for nothing only the system manager has.
unit=$usr/lib/systemd/user/kestrio.service
grep -qx "ExecStart=/usr/bin/kestrio daemon --interval 15" "$unit" || fail "the unit's ExecStart"
! grep -E '^(After|Wants|Requires|BindsTo)=.*(network|multi-user|sysinit)' "$unit" ||
  fail "the user unit names a system unit"
if command -v systemd-analyze >/dev/null; then
  sed "s|ExecStart=/usr/bin/kestrio|ExecStart=$usr/bin/kestrio|" "$unit" >"$work/kestrio.service"
  mkdir -m 700 "$work/run"
  # The manual page it names is checked below, not in the system's manual.
  XDG_RUNTIME_DIR=$work/run systemd-analyze verify --man=no --user "$work/kestrio.service" ||
    fail "systemd-analyze verify"
fi

# The accounting service's system unit runs the installed service with only its capabilities.
if ((accountd)); then
  unit=$usr/lib/systemd/system/kestrio-accountd.service
  grep -qx "ExecStart=/usr/sbin/kestrio-accountd" "$unit" || fail "the service unit's ExecStart"
  grep -qx "CapabilityBoundingSet=CAP_BPF CAP_NET_ADMIN CAP_PERFMON" "$unit" ||
    fail "the service unit's capabilities"
  if command -v systemd-analyze >/dev/null; then
    sed "s|ExecStart=/usr/sbin|ExecStart=$usr/sbin|" "$unit" >"$work/kestrio-accountd.service"
    systemd-analyze verify --man=no "$work/kestrio-accountd.service" ||
      fail "systemd-analyze verify of the service unit"
  fi
fi

# The manual pages render without a warning and cover every command and option.
for page in kestrio kestrio-gui; do
  warnings=$(MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "man $page: $warnings"
done
manual=$(MANWIDTH=200 man -l "$usr/share/man/man1/kestrio.1.gz" 2>/dev/null)
options() { "$@" --help 2>/dev/null | grep -oE '(^|[ ,])--[a-z][a-z-]*' | sed 's/^[ ,]//' | sort -u; }
commands=$("$usr/bin/kestrio" --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && NF {print $1}')
[[ -n $commands ]] || fail "kestrio --help lists no commands"
for command in $commands; do
  grep -qE "^ +$command( |$)" <<<"$manual" || fail "kestrio(1) lacks the command $command"
  for option in $(options "$usr/bin/kestrio" "$command"); do
    grep -qF -- "$option" <<<"$manual" || fail "kestrio(1) lacks $command $option"
  done
done
for option in $(options "$usr/bin/kestrio"); do
  grep -qF -- "$option" <<<"$manual" || fail "kestrio(1) lacks $option"
done

# The installed programs find the installed settings schema.
home=$work/home
mkdir -p "$home"
printf 'Inter-|\n face |\n' >"$work/net_dev"
settings=$(env -i PATH=/usr/bin:/bin HOME="$home" KESTRIO_HOME="$home/data" \
  KESTRIO_COUNTERS="$work/net_dev" XDG_CONFIG_HOME="$home/config" "$usr/bin/kestrio" settings) ||
  fail "the installed kestrio settings failed"
grep -q "Start with the desktop" <<<"$settings" || fail "the installed kestrio lacks its schema"

# "Start with the desktop" adds and removes the autostart entry, which runs the installed window
# in the tray; a change that cannot be made says so and fails.
kestrio_in() {
  local config=$1
  shift
  env -i PATH=/usr/bin:/bin HOME="$home" KESTRIO_HOME="$home/data" \
    KESTRIO_COUNTERS="$work/net_dev" XDG_CONFIG_HOME="$config" "$usr/bin/kestrio" "$@"
}
entry=$home/config/autostart/$app_id.desktop
[[ $(kestrio_in "$home/config" settings set startWithDesktop true) == "startWithDesktop = true" ]] ||
  fail "settings set startWithDesktop true"
grep -qx "Exec=$usr/bin/kestrio-gui --tray" "$entry" || fail "the autostart entry's Exec: $(cat "$entry")"
desktop-file-validate "$entry" || fail "the autostart entry does not validate"
grep -q '"startWithDesktop": true' <<<"$(kestrio_in "$home/config" settings --json)" ||
  fail "kestrio settings does not show the entry"
kestrio_in "$home/config" settings set startWithDesktop false >/dev/null
[[ ! -e $entry ]] || fail "the autostart entry stayed"
mkdir -p "$home/broken" && echo >"$home/broken/autostart"
if kestrio_in "$home/broken" settings set startWithDesktop on 2>"$work/err"; then
  fail "a failed autostart change was reported as done"
fi
grep -q "startWithDesktop was not changed: cannot create" "$work/err" || fail "the failure: $(cat "$work/err")"

# bash completes commands and options from the installed completion.
if [[ -f /usr/share/bash-completion/bash_completion ]]; then
  complete_words() {
    bash -c 'source /usr/share/bash-completion/bash_completion
             source "$0"
             COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
             _kestrio kestrio "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
             printf "%s\n" "${COMPREPLY[@]}"' \
      "$usr/share/bash-completion/completions/kestrio" "$@"
  }
  [[ $(complete_words kestrio sta) == status ]] || fail "completing kestrio sta"
  grep -qx -- --oneline <<<"$(complete_words kestrio status --o)" || fail "completing status --o"
  [[ $(complete_words kestrio counters add x --network b) == both ]] ||
    fail "completing counters add --network"
  [[ $(complete_words kestrio reset w) == wifi ]] || fail "completing kestrio reset w"
fi
echo "installed and checked $(printf '%s\n' "${expected[@]}" | wc -l) files"
