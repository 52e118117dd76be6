#!/usr/bin/env bash
# The bash completion and the manual page of tulvaa-cli as a user meets them: every command of
# the help is in both, Tab offers what the line allows, and database names come from the server
# only when asked for.
#   tst_cli_shellfiles.sh TULVAA_CLI COMPLETION_FILE MANUAL_PAGE TULVA_SIM
set -uo pipefail
cli=$1 completion=$2 manual=$3 sim=$4
unset TULVAA_CLI_COMPLETE_DATABASES
tmp=$(mktemp -d)
simpid=
trap '[ -n "$simpid" ] && kill "$simpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"' EXIT
results=$tmp/results # one line per check, also from subshells

expect() { # expect NAME ACTUAL EXPECTED
    if [ "$2" = "$3" ]; then
        echo pass >>"$results"
    else
        printf 'FAIL: %s\n   got:      %s\n   expected: %s\n' "$1" "'$2'" "'$3'"
        echo fail >>"$results"
    fi
}

# The commands as the general help lists them, usage and all ("accounts export FILE").
mapfile -t usages < <(LC_ALL=C.UTF-8 "$cli" --help | sed -n '/^Commands:/,/^$/s/^  \(.*[^ ]\)   *[A-Z].*$/\1/p')
[ "${#usages[@]}" -gt 10 ] || { echo "FAIL: no commands read from $cli --help"; exit 1; }

options=$(LC_ALL=C.UTF-8 "$cli" --help | sed -n 's/^  \(-[a-z], \)\{0,1\}\(--[a-z][a-z-]*\).*/\2/p' | sort)

# Every command in the manual page, with its usage as the tag of its paragraph.
page=$(gzip -dc "$manual" | sed 's/\\-/-/g')
for u in "${usages[@]}"; do
    expect "manual page has \"$u\"" "$(grep -xF -- "$u" <<<"$page")" "$u"
done

# Completes LINE (the cursor at its end) and prints the offers sorted, on one line. The words
# are cut as bash cuts them: at blanks, and at "=" and ":", which stand as words of their own.
offers() {
    local line=$1
    read -ra COMP_WORDS <<<"$(sed 's/[=:]/ & /g' <<<"$line")"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _tulvaa_cli tulvaa-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
}

run_completion_checks() {
    local mode=$1
    # shellcheck source=/dev/null
    source "$completion"
    first_words=$(printf '%s\n' "${usages[@]}" | cut -d' ' -f1 | sort -u | xargs)
    expect "$mode: commands" "$(offers 'tulvaa-cli ')" "$first_words"
    expect "$mode: commands after options" "$(offers 'tulvaa-cli --server h:1 --format tsv re')" \
        "reorganize-dictionary reorganize-master restart"
    expect "$mode: options" "$(offers 'tulvaa-cli --for')" "--format"
    # Every option of the help, and the values of the ones that take one are skipped.
    expect "$mode: every option" "$(offers 'tulvaa-cli --' | tr ' ' '\n' | sort)" "$options"
    expect "$mode: option values are no command" "$(offers 'tulvaa-cli --job-timeout 5 --timeout 9 ver')" "version"
    expect "$mode: --format values" "$(offers 'tulvaa-cli --format ')" "json text tsv"
    expect "$mode: --format= values" "$(offers 'tulvaa-cli --format=t')" "text tsv"
    expect "$mode: second word" "$(offers 'tulvaa-cli accounts ')" "export import"
    expect "$mode: check figures" "$(offers 'tulvaa-cli check ')" "locked processes response-time unactualized"
    expect "$mode: no operand after the last" "$(offers 'tulvaa-cli version ')" ""
    expect "$mode: no database names unless asked" "$(offers 'tulvaa-cli stats ')" ""
    expect "$mode: files" "$(cd "$tmp" && offers 'tulvaa-cli accounts export acc')" "accounts.txt"
    expect "$mode: files of --output" "$(cd "$tmp" && offers 'tulvaa-cli metrics --output acc')" "accounts.txt"
    expect "$mode: database names when asked" \
        "$(TULVAA_CLI_COMPLETE_DATABASES=1 TULVA_PASSWORD=admin offers "$cli --server 127.0.0.1:$port --user ADMIN stats ")" \
        "ARCHIV BIGCAT IBIS NEWBOOKS PERIO RDR"
    expect "$mode: database names of check" \
        "$(TULVAA_CLI_COMPLETE_DATABASES=1 TULVA_PASSWORD=admin offers "$cli --server 127.0.0.1:$port --user ADMIN check locked IBIS P")" \
        "PERIO"
}

touch "$tmp/accounts.txt"
"$sim" --port 0 --quiet --state "$tmp/state" --seed-from-sample >"$tmp/sim.out" &
simpid=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/^listening 127\.0\.0\.1://p' "$tmp/sim.out" 2>/dev/null)
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "FAIL: the emulator did not start"; exit 1; }

# Without bash-completion's helpers, and with them where they are installed.
(run_completion_checks plain)
if [ -r /usr/share/bash-completion/bash_completion ]; then
    (
        # shellcheck source=/dev/null
        source /usr/share/bash-completion/bash_completion
        run_completion_checks bash-completion
    )
fi

passed=$(grep -c pass "$results")
failed=$(grep -c fail "$results")
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
