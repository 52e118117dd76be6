#!/usr/bin/env python3
"""Writes the bash completion of tulvaa-cli from what `tulvaa-cli --help-all` prints.

    python3 scripts/make-completion.py PROGRAM OUTPUT

The help is the one source: a command added to the CLI's command table, an option added to its
help, is completed without an edit here. What is read from the help:

- a command: an indented line "  WORDS OPERANDS  summary", the words in lower case
  ("accounts export FILE"), the operands in upper case ("DB", "[DB...]", "MFN...");
- choices of an operand: a line of the command's text "OPERAND: a|b|c";
- an option: an indented line "  [-x, ]--name [METAVAR]  text"; when the text starts with
  "a|b|c", those are the values of the option.

Operands named DB are database names (asked from the server only when the user sets
TULVAA_CLI_COMPLETE_DATABASES=1), FILE a file name; others are not completed.
"""

import os
import re
import subprocess
import sys

WORD = re.compile(r"^[a-z][a-z0-9-]*$")
CHOICES = re.compile(r"^[a-z0-9-]+(?:\|[a-z0-9-]+)+")
# The metavar is upper case ("FILE", "NAME|HOST[:PORT]") or a list of choices ("text|tsv|json").
OPTION = re.compile(r"^  (?:(-[A-Za-z]), )?(--[a-z][a-z0-9-]*)"
                    r"(?: ([A-Z][A-Z0-9_|\[\]:.]*|[a-z0-9-]+(?:\|[a-z0-9-]+)+))?(?: +(.*))?$")
COMMAND = re.compile(r"^  ([a-z]\S*(?: \S+)*?)(?:  +\S.*)?$")
OPERAND_CHOICES = re.compile(r"^\s+([A-Z][A-Z0-9_]*): (" + CHOICES.pattern[1:] + r")\s*$")


def parse(help_text):
    commands = {}  # "accounts export" -> [operand tokens]
    operand_choices = {}  # ("check", "FIGURE") -> [choices]
    options = []  # (names, takes_value, metavar, choices)
    current = None
    for line in help_text.splitlines():
        m = OPTION.match(line)
        if m:
            short, name, metavar, text = m.groups()
            names = [n for n in (short, name) if n]
            choices = []
            if metavar and text:
                c = CHOICES.match(text)
                if c:
                    choices = c.group(0).split("|")
            options.append((names, bool(metavar), metavar or "", choices))
            current = None
            continue
        m = COMMAND.match(line)
        if m:
            tokens = m.group(1).split(" ")
            words = []
            while tokens and WORD.match(tokens[0]):
                words.append(tokens.pop(0))
            if words and all(not WORD.match(t) for t in tokens):
                current = " ".join(words)
                commands.setdefault(current, tokens)
                continue
        m = OPERAND_CHOICES.match(line)
        if m and current:
            operand_choices[(current, m.group(1))] = m.group(2).split("|")
            continue
        if not line.startswith("    "):
            current = None
    return commands, operand_choices, options


def operand_kinds(tokens):
    """"[DB...]" -> "DB..."; brackets go, the repetition mark stays."""
    return [t.strip("[]") for t in tokens]


def quote(words):
    return "'" + " ".join(words) + "'"


def render(commands, operand_choices, options):
    first_words = []
    second_words = {}
    for name in commands:
        parts = name.split(" ")
        if parts[0] not in first_words:
            first_words.append(parts[0])
        if len(parts) > 1:
            second_words.setdefault(parts[0], []).append(parts[1])

    all_options = [n for names, _, _, _ in options for n in names if n.startswith("--")]
    valued = [n for names, takes, _, _ in options if takes for n in names]
    value_cases = []
    for names, takes, metavar, choices in options:
        if not takes:
            continue
        pattern = "|".join(names)
        if choices:
            value_cases.append(f"        {pattern})\n"
                               f"            COMPREPLY=($(compgen -W {quote(choices)} -- \"$cur\"))\n"
                               f"            return ;;")
        elif metavar == "FILE":
            value_cases.append(f"        {pattern})\n"
                               f"            _tulvaa_cli_files\n"
                               f"            return ;;")
        else:
            value_cases.append(f"        {pattern})\n            return ;;")

    operand_cases = []
    for name, tokens in commands.items():
        if tokens:
            operand_cases.append(f"        {quote([name])}) operands={quote(operand_kinds(tokens))} ;;")
    second_cases = [f"        {first})\n"
                    f"            if ((${{#positional[@]}} == 1)); then\n"
                    f"                COMPREPLY=($(compgen -W {quote(words)} -- \"$cur\"))\n"
                    f"                return\n"
                    f"            fi\n"
                    f"            command+=\" ${{positional[1]}}\"\n"
                    f"            taken=2 ;;"
                    for first, words in second_words.items()]
    choice_cases = [f"        {quote([name + ':' + operand])})\n"
                    f"            COMPREPLY=($(compgen -W {quote(choices)} -- \"$cur\")) ;;"
                    for (name, operand), choices in operand_choices.items()]

    return f"""# bash completion for tulvaa-cli                                   -*- shell-script -*-
# Made from `tulvaa-cli --help-all` by scripts/make-completion.py when tulvaa-cli is built.
#
# Database names are asked from the server only when TULVAA_CLI_COMPLETE_DATABASES=1 is set: the
# completion then runs `tulvaa-cli databases` with the --server, --user and --config of the line
# being typed, a short time-out and the password of TULVA_PASSWORD (it never asks for one).

_tulvaa_cli_files()
{{
    local IFS=$'\\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
}}

_tulvaa_cli_databases()
{{
    [[ ${{TULVAA_CLI_COMPLETE_DATABASES-}} == 1 ]] || return 0
    local args=() i
    for ((i = 1; i < cword; i++)); do
        case ${{words[i]}} in
            --server | --user | --config)
                args+=("${{words[i]}}" "${{words[i + 1]}}")
                ((i++)) ;;
            --server=* | --user=* | --config=*)
                args+=("${{words[i]}}") ;;
        esac
    done
    "${{words[0]}}" "${{args[@]}}" --timeout 5 --quiet --format tsv databases </dev/null 2>/dev/null \\
        | tail -n +2 | cut -f1
}}

_tulvaa_cli()
{{
    local cur prev words cword split=false
    if declare -F _init_completion >/dev/null 2>&1; then
        # "host:port" stays one word.
        _init_completion -s -n : || return
    else
        # The words as typed, blanks apart (bash's own words also break at "=" and ":").
        local line=${{COMP_LINE:0:COMP_POINT}}
        read -ra words <<<"$line"
        [[ -z $line || $line == *[[:blank:]] ]] && words+=("")
        cword=$((${{#words[@]}} - 1))
        cur=${{words[cword]}}
        prev=${{words[cword - 1]-}}
        if [[ $cur == -*=* ]]; then
            prev=${{cur%%=*}}
            cur=${{cur#*=}}
            split=true
        fi
    fi

    case $prev in
{chr(10).join(value_cases)}
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W {quote(all_options)} -- "$cur"))
        return
    fi

    # The words typed so far that are neither options nor their values.
    local positional=() i skip=false ended=false
    for ((i = 1; i < cword; i++)); do
        if $skip; then
            skip=false
            continue
        fi
        case ${{words[i]}} in
            --) $ended && positional+=("${{words[i]}}") || ended=true ;;
            {"|".join(valued)})
                $ended && positional+=("${{words[i]}}") || skip=true ;;
            -*) $ended && positional+=("${{words[i]}}") ;;
            *) positional+=("${{words[i]}}") ;;
        esac
    done

    if ((${{#positional[@]}} == 0)); then
        COMPREPLY=($(compgen -W {quote(first_words)} -- "$cur"))
        return
    fi
    # A command of two words ("accounts export") takes its operands after the second.
    local command=${{positional[0]}} taken=1
    case $command in
{chr(10).join(second_cases)}
    esac

    local operands=
    case $command in
{chr(10).join(operand_cases)}
    esac
    local kinds=($operands) at=$((${{#positional[@]}} - taken)) kind
    ((${{#kinds[@]}})) || return
    if ((at < ${{#kinds[@]}})); then
        kind=${{kinds[at]}}
    else
        kind=${{kinds[-1]}}
        [[ $kind == *... ]] || return
    fi
    kind=${{kind%...}}

    case $command:$kind in
{chr(10).join(choice_cases)}
        *:DB) COMPREPLY=($(compgen -W "$(_tulvaa_cli_databases)" -- "$cur")) ;;
        *:FILE) _tulvaa_cli_files ;;
    esac
}} &&
    complete -F _tulvaa_cli tulvaa-cli
"""


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__.splitlines()[2].strip())
    program, output = sys.argv[1:]
    env = dict(os.environ, LC_ALL="C.UTF-8", LANGUAGE="")
    help_text = subprocess.run([program, "--help-all"], check=True, capture_output=True, env=env,
                               text=True, encoding="utf-8").stdout
    commands, operand_choices, options = parse(help_text)
    problems = []
    if len(commands) < 2:
        problems.append("no list of commands found")
    if not any("--help" in names for names, _, _, _ in options):
        problems.append("no list of options found")
    for (name, operand) in operand_choices:
        if operand not in " ".join(commands[name]):
            problems.append(f"{name}: choices for {operand}, which it does not take")
    if problems:
        raise SystemExit(f"{program} --help-all: " + "; ".join(problems))
    text = render(commands, operand_choices, options)
    tmp = output + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(tmp, output)


if __name__ == "__main__":
    main()
