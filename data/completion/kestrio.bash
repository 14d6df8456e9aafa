# bash completion for kestrio, the command line of the Kestrio data-usage monitor.
_kestrio() {
  local cur prev words cword
  _init_completion || return

  local commands="update status adjust reset daemon plan settings history counters notifications"
  local global="--help --version --verbose --color="

  # The command and, for those that have them, the subcommand.
  local i command="" sub=""
  for ((i = 1; i < cword; i++)); do
    case "${words[i]}" in
      -*) ;;
      *)
        if [[ -z $command ]]; then
          command=${words[i]}
        elif [[ -z $sub ]]; then
          sub=${words[i]}
        fi
        ;;
    esac
  done

  case "$prev" in
    --network)
      if [[ $command == counters ]]; then
        COMPREPLY=($(compgen -W "cellular wifi both" -- "$cur"))
      else
        COMPREPLY=($(compgen -W "cellular wifi" -- "$cur"))
      fi
      return
      ;;
    --direction)
      COMPREPLY=($(compgen -W "sent received both" -- "$cur"))
      return
      ;;
    -o | --output)
      _filedir
      return
      ;;
    --interval | --alert | --from | --to | --ends | --name)
      return
      ;;
  esac
  if [[ $cur == --color=* ]]; then
    COMPREPLY=($(compgen -W "auto always never" -- "${cur#--color=}"))
    return
  fi

  local words_here=""
  case "$command" in
    "") words_here="$commands $global" ;;
    update) words_here="--help" ;;
    status) words_here="--network --detail --oneline --json --alert --help" ;;
    adjust | reset)
      if [[ -z $sub ]]; then
        words_here="cellular wifi"
      elif [[ $command == reset ]]; then
        words_here="--yes"
      fi
      ;;
    daemon) words_here="--interval --help" ;;
    plan)
      case "$sub" in
        "") words_here="type start-day every custom-start quota usage --help" ;;
        type) words_here="monthly weekly" ;;
        start-day) words_here="1 15 sunday monday tuesday wednesday thursday friday saturday" ;;
        quota | usage) words_here="MB GB" ;;
        custom-start) words_here="--wifi" ;;
      esac
      ;;
    settings)
      case "$sub" in
        "") words_here="set --json --help" ;;
        set)
          # The keys as `kestrio settings --json` lists them, once per completion.
          if [[ ${words[cword - 1]} == set ]]; then
            words_here=$(kestrio settings --json 2>/dev/null |
              grep -o '"key": "[A-Za-z0-9_]*"\|^    "[A-Za-z0-9_]*":' |
              sed 's/"key": //; s/[": ]//g' | sort -u)
          fi
          ;;
      esac
      ;;
    history)
      case "$sub" in
        "") words_here="export mail delete clear --days --network --from --to --json --help" ;;
        export) words_here="--csv --html --days --network --from --to -o --output" ;;
        mail) words_here="--csv --html --days --network --from --to" ;;
        clear) words_here="--yes" ;;
      esac
      ;;
    counters)
      local options="--network --direction --ends --alert"
      case "$sub" in
        "") words_here="add edit pause resume reset remove move --json --help" ;;
        add) words_here="$options" ;;
        edit) words_here="$options --name --no-end --no-alert" ;;
        reset | remove) words_here="--yes" ;;
      esac
      ;;
    notifications) words_here="--json --help" ;;
  esac
  COMPREPLY=($(compgen -W "$words_here" -- "$cur"))
  [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
}
complete -F _kestrio kestrio
