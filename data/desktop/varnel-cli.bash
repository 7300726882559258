# bash completion for varnel-cli. The commands and their options are read from the tool's own
# --help, so new commands complete without touching this file.

_varnel_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  if [[ -z ${_varnel_cli_help-} ]]; then
    _varnel_cli_help=$("${COMP_WORDS[0]}" --help 2>/dev/null) || return 0
  fi
  COMPREPLY=()
  if ((COMP_CWORD == 1)); then
    # Command lines are indented by two spaces; their descriptions by six.
    local commands
    commands=$(awk '/^  [a-z]/ { print $1 }' <<<"$_varnel_cli_help")
    mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$cur")
    return 0
  fi

  local command=${COMP_WORDS[1]}
  case $prev in
    --component) mapfile -t COMPREPLY < <(compgen -W "rgb hue saturation lightness" -- "$cur"); return 0 ;;
    --mode) mapfile -t COMPREPLY < <(compgen -W "foreground brush clear" -- "$cur"); return 0 ;;
    --method) mapfile -t COMPREPLY < <(compgen -W "0 1 2 3 4 5" -- "$cur"); return 0 ;;
    --tool-state | --preset | --curve | --dest)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return 0 ;;
    --*)
      # A valued option wants a number or a list, which nothing can guess; a flag does not.
      if grep -q -- "$prev [A-Z\"]" <<<"$_varnel_cli_help"; then return 0; fi ;;
  esac

  if [[ $cur == -* ]]; then
    local synopsis options
    synopsis=$(awk -v c="$command" '$1 == c { $1 = ""; print; exit }' <<<"$_varnel_cli_help")
    options=$(grep -o -- '--[a-z-]*' <<<"$synopsis" | sort -u)
    mapfile -t COMPREPLY < <(compgen -W "$options --quiet" -- "$cur")
    return 0
  fi
  if [[ $command == region && COMP_CWORD -eq 2 ]]; then
    mapfile -t COMPREPLY < <(compgen -W "grow shrink trim flip-vertical flip-horizontal invert feather union subtract" -- "$cur")
    return 0
  fi
  if [[ $command == turn && COMP_CWORD -eq 4 ]]; then
    mapfile -t COMPREPLY < <(compgen -W "right left flip-vertical flip-horizontal" -- "$cur")
    return 0
  fi
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}
complete -F _varnel_cli varnel-cli
