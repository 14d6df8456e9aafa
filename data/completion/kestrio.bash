# bash completion for kestrio, the command line of the Kestrio data-usage monitor.
# The words only the data and the settings schema know (setting keys and their values, the
# custom counters) come from `kestrio __complete`, which only reads: pressing Tab never creates
# the data directory or writes a file.
_kestrio_words() {
  kestrio __complete "$@" 2>/dev/null
}

_kestrio() {
  local cur prev words cword
  # "=" stays in the word, so --color=al completes as a whole.
  _init_completion -n = || return

  local commands="update status adjust reset daemon plan settings history counters notifications connections apps"
  local global="--help --version --verbose --color="

  # The command, its subcommand and the arguments after them; an option's value is none of them.
  local i command="" sub="" args=()
  for ((i = 1; i < cword; i++)); do
    case "${words[i]}" in
      --color | --network | --direction | --ends | --name | --from | --to | -o | --output | \
        --interval | --alert | --period)
        ((i++))
        ;;
      -*) ;;
      *)
        if [[ -z $command ]]; then
          command=${words[i]}
        elif [[ -z $sub ]]; then
          sub=${words[i]}
        else
          args+=("${words[i]}")
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
    --period)
      COMPREPLY=($(compgen -W "current all" -- "$cur"))
      return
      ;;
    --direction)
      COMPREPLY=($(compgen -W "sent received both" -- "$cur"))
      return
      ;;
    --color)
      COMPREPLY=($(compgen -W "auto always never" -- "$cur"))
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
    COMPREPLY=($(compgen -P "--color=" -W "auto always never" -- "${cur#--color=}"))
    return
  fi

  local words_here=""
  case "$command" in
    "") words_here="$commands $global" ;;
    update) words_here="--help" ;;
    status) words_here="--network --detail --oneline --json --alert --cached --help" ;;
    adjust)
      [[ -z $sub ]] && words_here="cellular wifi --help"
      ;;
    reset)
      if [[ -z $sub ]]; then
        words_here="cellular wifi --yes --help"
      else
        words_here="--yes"
      fi
      ;;
    daemon) words_here="--interval --help" ;;
    plan)
      case "$sub" in
        "") words_here="type start-day every custom-start quota daily-cap usage --wifi --help" ;;
        type) words_here="monthly weekly --wifi" ;;
        start-day)
          words_here="--wifi sunday monday tuesday wednesday thursday friday saturday"
          ;;
        quota | usage)
          [[ ${#args[@]} -eq 1 ]] && words_here="MB GB"
          [[ $sub == quota ]] && words_here+=" --wifi"
          ;;
        daily-cap)
          [[ ${#args[@]} -eq 1 ]] && words_here="KB MB GB"
          words_here+=" --wifi"
          ;;
        every | custom-start) words_here="--wifi" ;;
      esac
      ;;
    settings)
      case "$sub" in
        "") words_here="set --json --help" ;;
        set)
          if [[ ${#args[@]} -eq 0 ]]; then
            words_here=$(_kestrio_words keys)
          elif [[ ${#args[@]} -eq 1 ]]; then
            words_here=$(_kestrio_words values "${args[0]}")
          fi
          ;;
      esac
      ;;
    history)
      local span="--days --network --from --to"
      case "$sub" in
        "") words_here="export mail delete clear $span --json --help" ;;
        export) words_here="--csv --html $span -o --output" ;;
        mail) words_here="--csv --html $span" ;;
        delete) words_here="$span --yes" ;;
        clear) words_here="--yes" ;;
      esac
      ;;
    counters)
      local options="--network --direction --ends --alert --roaming"
      case "$sub" in
        "") words_here="add edit pause resume reset remove delete move --json --help" ;;
        add) words_here="$options" ;;
        edit)
          words_here="$options --name --no-end --no-alert --no-roaming"
          [[ ${#args[@]} -eq 0 ]] && words_here+=" $(_kestrio_words counters)"
          ;;
        pause | resume | move)
          [[ ${#args[@]} -eq 0 ]] && words_here=$(_kestrio_words counters)
          ;;
        reset | remove | delete)
          words_here="--yes"
          [[ ${#args[@]} -eq 0 ]] && words_here+=" $(_kestrio_words counters)"
          ;;
      esac
      ;;
    notifications) words_here="--json --help" ;;
    apps) words_here="--network --period --json --help" ;;
    connections)
      case "$sub" in
        "") words_here="metered --network --json --help" ;;
        metered)
          [[ ${#args[@]} -eq 0 ]] && words_here=$(_kestrio_words connections)
          [[ ${#args[@]} -eq 1 ]] && words_here="yes no auto"
          ;;
      esac
      ;;
  esac
  COMPREPLY=($(compgen -W "$words_here" -- "$cur"))
  [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
}
complete -F _kestrio kestrio
