# bash completion for quirabel-batch: commands, their options (read from the program's own --help,
# so they never lag behind it), option values and file arguments.

_quirabel_batch_options() {
  # The usage lines of one command, from "  quirabel-batch COMMAND" to the next command's line.
  "$1" --help 2>/dev/null | awk -v command="$2" '
    $1 == "quirabel-batch" { inside = ($2 == command) }
    /^$/ { inside = 0 }
    inside { print }' | grep -o -E -- '(^|[ [(|])-(-[a-z][a-z-]*|o)\b' | tr -d ' [(|' | sort -u
}

_quirabel_batch_commands() {
  # The first word after the program's name in the usage lines.
  "$1" --help 2>/dev/null | awk '$1 == "quirabel-batch" && $2 ~ /^[a-z]/ { print $2 }' | sort -u
}

_quirabel_batch() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  local program=${COMP_WORDS[0]}
  local IFS=$'\n'
  COMPREPLY=()
  if ((COMP_CWORD == 1)); then
    COMPREPLY=($(compgen -W "$(_quirabel_batch_commands "$program")"$'\n--help\n--version' -- "$cur"))
    return
  fi
  local command=${COMP_WORDS[1]}
  case $prev in
    --din) COMPREPLY=($(compgen -W $'A4\nA5\nA6' -- "$cur")); return ;;
    --print-format)
      COMPREPLY=($(compgen -W "$("$program" new --list-print-formats 2>/dev/null | cut -d' ' -f1)" \
        -- "$cur"))
      return
      ;;
    --security) COMPREPLY=($(compgen -W $'none\nstarttls\nssl' -- "$cur")); return ;;
    --sheet | --duplex-test) COMPREPLY=($(compgen -W $'A4\nA3\nSRA3' -- "$cur")); return ;;
    --sheet-product)
      # The product numbers: the last word of each line's name, which ends at two spaces.
      COMPREPLY=($(compgen -W "$("$program" export --list-sheet-products 2>/dev/null |
        sed 's/  .*//' | awk '{ print $NF }' | sort -u)" -- "$cur"))
      return
      ;;
    --printer)
      COMPREPLY=($(compgen -W "$("$program" print --list-printers 2>/dev/null)" -- "$cur"))
      return
      ;;
    --duplex) COMPREPLY=($(compgen -W $'long\nshort\noff' -- "$cur")); return ;;
    --png) COMPREPLY=($(compgen -f -X '!*.png' -- "$cur") $(compgen -d -- "$cur")); return ;;
    --svg) COMPREPLY=($(compgen -f -X '!*.svg' -- "$cur") $(compgen -d -- "$cur")); return ;;
    --one-pdf) COMPREPLY=($(compgen -f -X '!*.pdf' -- "$cur") $(compgen -d -- "$cur")); return ;;
    --verify | --eml) COMPREPLY=($(compgen -d -- "$cur")); return ;;
    --link | --csv | --text) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    -o)
      if [[ $command == serial ]]; then
        COMPREPLY=($(compgen -d -- "$cur"))
      else
        COMPREPLY=($(compgen -f -- "$cur"))
      fi
      return
      ;;
    --mm | --map | --column | --prefix | --rows | --jobs | --sep | --to-column | --subject | \
      --server | --from | --from-name | --user | --gap | --grid | --margins | --pitch | --size | \
      --back-offset | --copies | --dpi | --page | --list-sheet-products)
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(_quirabel_batch_options "$program" "$command")"$'\n--help' -- "$cur"))
    return
  fi
  case $command in
    export | print | resave | info | link | serial)
      COMPREPLY=($(compgen -f -X '!*.kxp' -- "$cur") $(compgen -d -- "$cur"))
      ;;
    thumbnail)
      # The project, then the PNG image to write.
      local words=0 i
      for ((i = 2; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -* ]] || words=$((words + 1))
      done
      if ((words == 0)); then
        COMPREPLY=($(compgen -f -X '!*.kxp' -- "$cur") $(compgen -d -- "$cur"))
      else
        COMPREPLY=($(compgen -f -X '!*.png' -- "$cur") $(compgen -d -- "$cur"))
      fi
      ;;
    mail)
      COMPREPLY=($(compgen -f -- "$cur"))
      ;;
  esac
}
complete -o filenames -F _quirabel_batch quirabel-batch
