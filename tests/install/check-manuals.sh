#!/usr/bin/env bash
# The manual pages say what the programs' help says: every command of "pagewick help" has its
# entry in pagewick.1, and every option and word that "pagewick help", "pagewick COMMAND --help"
# and the tool's sources name, and that "wickstand --help" and "wickpad --help" name, is in the
# program's page. A command or option added without its manual entry fails here.
#   check-manuals.sh PAGEWICK WICKSTAND WICKPAD SOURCE_DIR
set -uo pipefail
pagewick=$1 wickstand=$2 wickpad=$3 source=$4
failures=0
fail() {
    echo "$1"
    failures=$((failures + 1))
}

# The page as text: font changes and escapes gone, so "\fB\-\-title\fR" reads "--title".
page_text() {
    sed -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' -e 's/\\(lq/"/g' -e 's/\\(rq/"/g' -e 's/\\&//g' "$1"
}
# Options named in a text: -o, --font-size, --profile=keys (as --profile).
options_in() {
    grep -oE '(^|[^A-Za-z0-9-])--?[a-z][a-z0-9-]*' | sed -E 's/^[^-]*//' | sort -u
}
has_word() {  # has_word TEXT WORD: WORD stands alone (not inside a longer option or word)
    grep -qE -- "(^|[^A-Za-z0-9-])$(sed 's/[.[\*^$]/\\&/g' <<<"$2")([^A-Za-z0-9-]|$)" <<<"$1"
}

check_program() {  # check_program NAME PAGE HELP_TEXT
    local name=$1 page=$2 help=$3 text
    text=$(page_text "$page")
    for option in $(options_in <<<"$help"); do
        has_word "$text" "$option" || fail "$name: $option is in the help but not in $(basename "$page")"
    done
    # The words of the usage lines ("regserver", "installpocketpc", ...).
    for word in $(grep -E "^(usage: +)?$name |^ +$name " <<<"$help" |
                  sed -E "s/^(usage: +)? *$name//" | grep -oE '(^|[ |])[a-z][a-z0-9-]*[a-z0-9]' |
                  tr -d ' |' | sort -u); do
        has_word "$text" "$word" || fail "$name: \"$word\" is in the help but not in $(basename "$page")"
    done
}

# pagewick: the commands, each with an entry of its own (a tag line starting with it in bold).
help=$("$pagewick" help) || fail "pagewick help failed"
commands=$(sed -nE 's/^ +pagewick ([a-z]+).*/\1/p' <<<"$help" | sort -u)
[ -n "$commands" ] || fail "pagewick help lists no command"
source_page="$source/cli/pagewick.1"
all_help="$help"
for command in $commands; do
    grep -qE "^(\\.B[IR]? +\"?|\\\\fB)$command([ \"\\\\]|$)" "$source_page" ||
        fail "pagewick: the command \"$command\" has no entry in pagewick.1"
    all_help+=$'\n'$("$pagewick" "$command" --help 2>&1)
done
# Options the commands take that their one-line usage may not show.
all_help+=$'\n'$(cat "$source"/cli/*.cpp | grep -oE '"--?[a-z][a-z0-9-]*"' | tr -d '"')
check_program pagewick "$source_page" "$all_help"

check_program wickstand "$source/desktop/wickstand.1" "$("$wickstand" --help)"
check_program wickpad "$source/device/wickpad.1" "$("$wickpad" --help)"

# The files and the variable every page names.
for page in "$source/cli/pagewick.1" "$source/desktop/wickstand.1" "$source/device/wickpad.1"; do
    text=$(page_text "$page")
    for needed in "PAGEWICK_DEVICE_ROOT" ".pwk" "Pagewick.conf" "FILES" "ENVIRONMENT"; do
        grep -qF -- "$needed" <<<"$text" || fail "$(basename "$page") does not mention $needed"
    done
done
grep -qF "Wickstand.cfg" "$source/desktop/wickstand.1" || fail "wickstand.1 lacks Wickstand.cfg"
grep -qF "Wickpad.cfg" "$source/device/wickpad.1" || fail "wickpad.1 lacks Wickpad.cfg"
grep -qF "My eBooks" "$source/desktop/wickstand.1" || fail "wickstand.1 lacks My eBooks"

if [ "$failures" -ne 0 ]; then
    echo "$failures things are missing from the manual pages"
    exit 1
fi
echo "the manual pages cover every command, option and word of the help"
