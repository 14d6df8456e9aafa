#!/bin/bash
# The layers of src/, lowest first: a file may include its own folder and any folder of a lower
# layer, never one beside or above it, so the include graph only points down.
#   0 platform   1 services   2 engine   3 settings   4 app history counters plan
#   5 gui/shell gui/theme   6 gui/usage gui/history gui/counters gui/plan   7 gui/settings
#   8 gui (the window) cli
# The accounting service (accountd) is a program of its own beside them: it includes only
# platform, and nothing includes it (Kestrio reaches it through its socket).
# Usage: include_layers_test.sh SRC_DIR
set -euo pipefail
src=${1:?usage: include_layers_test.sh SRC_DIR}
declare -A rank=(
  [platform]=0 [services]=1 [engine]=2 [settings]=3
  [app]=4 [history]=4 [counters]=4 [plan]=4
  [gui/shell]=5 [gui/theme]=5
  [gui/usage]=6 [gui/history]=6 [gui/counters]=6 [gui/plan]=6
  [gui/settings]=7 [gui]=8 [cli]=8 [accountd]=1
)
# The folder a path inside src/ belongs to: gui's tab folders count as folders of their own.
folder_of() {
  case $1 in
    gui/*/*) echo "${1%%/*}/$(cut -d/ -f2 <<<"$1")" ;;
    */*) echo "${1%%/*}" ;;
    *) echo "" ;;
  esac
}
bad=0
checked=0
while IFS= read -r file; do
  rel=${file#"$src"/}
  from=$(folder_of "$rel")
  [[ -n ${rank[$from]+set} ]] || continue
  while IFS= read -r target; do
    to=$(folder_of "$target")
    [[ -z $to || $to == "$from" ]] && continue
    checked=$((checked + 1))
    if [[ $from == accountd && $to != platform ]] || [[ $to == accountd ]]; then
      echo "$rel includes $target: the accounting service and the rest meet only at its socket" >&2
      bad=$((bad + 1))
    elif [[ -z ${rank[$to]+set} ]]; then
      echo "$rel includes $target: the folder $to has no layer" >&2
      bad=$((bad + 1))
    elif ((rank[$to] >= rank[$from])); then
      echo "$rel includes $target: $to is not below $from" >&2
      bad=$((bad + 1))
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find "$src" -name '*.h' -o -name '*.cpp' | sort)
# An unknown top folder is a layer nobody placed.
for dir in "$src"/*/; do
  name=$(basename "$dir")
  [[ -n ${rank[$name]+set} ]] || { echo "src/$name has no layer" >&2; bad=$((bad + 1)); }
done
((checked > 0)) || { echo "no include between folders was found under $src" >&2; exit 1; }
echo "$checked includes between folders checked, $bad pointing up or sideways"
((bad == 0))
