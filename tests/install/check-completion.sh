#!/usr/bin/env bash
# bash completes what "pagewick help" lists: "pagewick <TAB>" offers every command, and
# "pagewick COMMAND [WORD] -<TAB>" every option its usage and its source name, so a command or option
# added to the tool without its completion fails here. Needs bash-completion (exit 77 without).
#   check-completion.sh PAGEWICK SOURCE_DIR
set -uo pipefail
pagewick=$1 source=$2
helpers=/usr/share/bash-completion/bash_completion
[ -r "$helpers" ] || { echo "bash-completion is not installed"; exit 77; }
# shellcheck disable=SC1090
source "$helpers"
source "$source/cli/pagewick.bash-completion"

complete_words() {  # complete_words WORD... : what TAB offers after them (the last may be partial)
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _pagewick pagewick "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}"
}

failures=0
help=$("$pagewick" help)
commands=$(sed -nE 's/^ +pagewick ([a-z]+).*/\1/p' <<<"$help" | sort -u)
offered=$(complete_words pagewick "")
for command in $commands; do
    grep -qx "$command" <<<"$offered" || { echo "pagewick <TAB> lacks $command"; failures=$((failures + 1)); }
done
[ "$(complete_words pagewick pa | sort | tr '\n' ' ')" = "paginate palm pawk " ] ||
    { echo "pagewick pa<TAB> does not give paginate, palm and pawk"; failures=$((failures + 1)); }

for command in $commands; do
    # The options of the command: its usage line and its source file (its --help prose also
    # speaks of other commands' options).
    named=$( (grep -E "^ +pagewick $command " <<<"$help"
              cat "$source/cli/cmd_$command.cpp" 2>/dev/null | grep -oE '"--?[a-z][a-z0-9-]*"') |
            grep -oE '(^|[^A-Za-z0-9-])--?[a-z][a-z0-9-]*' | sed -E 's/^[^-]*//' | sort -u)
    # Every option offered after the command or after one of its words (device install, ...).
    words=$(complete_words pagewick "$command" "" | grep -v '^-' | grep -E '^[a-z]+$')
    options=$( (complete_words pagewick "$command" -
                for word in $words; do complete_words pagewick "$command" "$word" -; done) | sort -u)
    for option in $named; do
        [ "$option" = "--help" ] && [ "$command" != paginate ] && [ "$command" != print ] &&
            [ "$command" != render ] && [ "$command" != toc ] && continue
        grep -qx -- "$option" <<<"$options" ||
            { echo "pagewick $command -<TAB> lacks $option"; failures=$((failures + 1)); }
    done
done

# Values and words: the encodings, the handheld builds, the LIT tools.
[ "$(complete_words pagewick text book.txt --encoding "" | tr '\n' ' ')" = "auto utf-8 cp1252 " ] ||
    { echo "--encoding <TAB> does not give the three encodings"; failures=$((failures + 1)); }
[ "$(complete_words pagewick device install "" | tr '\n' ' ')" = "pocketpc smartphone " ] ||
    { echo "device install <TAB> does not give the two builds"; failures=$((failures + 1)); }
[ "$(complete_words pagewick lit "" | tr '\n' ' ')" = "entries cat decode " ] ||
    { echo "lit <TAB> does not give its three tools"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] || { echo "$failures completions are missing"; exit 1; }
echo "bash completes every command and option of pagewick"
