#!/bin/bash
# Options of the real binary, from VORN and from the command line.  Standard
# output is a file, so the program copies; what it copies (and -s) shows
# which options took effect.
. "$(dirname "$0")/setup.bash" "$@"
usage='usage: vorn [-ceinsu] [-t tag] [-x tabs] [-/ pattern] [file ...]'

printf 'a\n\n\n\nb\n' > "$tmp/gaps"
printf 'a\n\nb\n' > "$tmp/squeezed"
printf 'dash file\n' > "$tmp/-s"
mkdir "$tmp/+" && printf 'plus\n' > "$tmp/+/x"
printf 'plus name\n' > "$tmp/+name"

# run VORN-VALUE ARGS...: runs in $tmp ("unset" leaves VORN unset); the
# status goes to $status, the outputs to $tmp/out and $tmp/err.
run() {
    local value=$1
    shift
    if [ "$value" = unset ]; then
        (cd "$tmp" && env -u VORN "$vorn" "$@" > out 2> err < /dev/null)
    else
        (cd "$tmp" && VORN="$value" "$vorn" "$@" > out 2> err < /dev/null)
    fi
    status=$?
}

# Bad options: the scanner's own line, then the usage line; status 1.
while IFS='|' read -r value args; do
    # shellcheck disable=SC2086
    run "$value" $args
    what="VORN=$value args=$args"
    [ "$status" -eq 1 ] || fail "$what: status $status, wanted 1"
    [ "$(tail -n 1 "$tmp/err")" = "$usage" ] || fail "$what: last line of stderr: $(tail -n 1 "$tmp/err")"
    [ "$(wc -l < "$tmp/err")" -eq 2 ] || fail "$what: wanted a diagnostic and the usage line: $(cat "$tmp/err")"
    [ -s "$tmp/out" ] && fail "$what: copied something"
done <<'CASES'
unset|-z gaps
unset|-x
unset|-t
unset|-/
unset|-e -q gaps
-e -s|gaps
-z|gaps
CASES

# A bad option byte is the user's input: the diagnostic shows it in its
# visible form, never as the raw byte (an escape, an 8-bit CSI or a bell
# would act on the terminal that standard error is).  The scanner's wording
# stays, and VORN names the program "vorn".
for byte in '\x9b' '\x1b' '\x07' '\x85'; do
    option="-$(printf "$byte")"
    for where in args vorn; do
        if [ "$where" = args ]; then run unset "$option" gaps; else run "$option" gaps; fi
        what="bad option byte $byte in $where"
        [ "$status" -eq 1 ] || fail "$what: status $status, wanted 1"
        [ "$(wc -l < "$tmp/err")" -eq 2 ] || fail "$what: stderr: $(od -c "$tmp/err" | head -3)"
        LC_ALL=C grep -q "$(printf '[\001-\011\013-\037\177-\237]')" "$tmp/err" &&
            fail "$what: a raw control byte on stderr: $(od -c "$tmp/err" | head -3)"
        head -n 1 "$tmp/err" | grep -q "^.*vorn: invalid option -- '..*'$" ||
            fail "$what: diagnostic: $(head -n 1 "$tmp/err" | od -c | head -2)"
    done
done
run unset -x
[ "$(head -n 1 "$tmp/err")" = "$vorn: option requires an argument -- 'x'" ] ||
    fail "-x without its argument: $(head -n 1 "$tmp/err")"

# Options that take effect: VORN-VALUE | ARGS | file whose copy is expected.
while IFS='|' read -r value args expected; do
    # shellcheck disable=SC2086
    run "$value" $args
    what="VORN=$value args=$args"
    [ "$status" -eq 0 ] || fail "$what: status $status"
    [ -s "$tmp/err" ] && fail "$what: unexpected stderr: $(cat "$tmp/err")"
    cmp -s "$tmp/out" "$tmp/$expected" || fail "$what: output is not $expected: $(od -c "$tmp/out" | head -3)"
done <<'CASES'
unset|gaps|gaps
unset|-s gaps|squeezed
-s|gaps|squeezed
-cs|gaps|squeezed
s|gaps|gaps
-e|gaps|gaps
-f|-s gaps|squeezed
-s|-f gaps|squeezed
-e|-n -u -i -c gaps|gaps
unset|-f gaps|gaps
unset|-x 0 gaps|gaps
unset|-x -4 gaps|gaps
unset|-x abc gaps|gaps
unset|-x3 gaps|gaps
unset|+/pattern gaps|gaps
unset|-/ pattern -s gaps|squeezed
unset|-- -s|-s
unset|+G gaps|gaps
unset|+100 -s gaps|squeezed
unset|-x -- +G -s gaps|squeezed
unset|-S gaps|gaps
unset|-N gaps|gaps
-S|-s gaps|squeezed
+G|gaps|gaps
unset|-- +name|+name
unset|./+name|+name
CASES

# A plus-slash word after the first file name is rewritten too, so it names
# a file that begins with a minus sign.
run unset gaps +/x
[ "$status" -eq 1 ] || fail "late plus-slash: status $status (the second file is missing)"
cmp -s "$tmp/out" "$tmp/gaps" || fail "late plus-slash: output"
[ "$(cat "$tmp/err")" = "-/x: No such file or directory" ] || fail "late plus-slash: stderr: $(cat "$tmp/err")"

# -t looks the tag up while the options are parsed; its message goes to
# standard error and the copy is unchanged.
run unset -t no_such_tag gaps
[ "$status" -eq 0 ] || fail "-t: status $status"
cmp -s "$tmp/out" "$tmp/gaps" || fail "-t: output"
[ -s "$tmp/err" ] || fail "-t: no message on stderr"

# --help and --version among the options: the answer on standard output,
# nothing on standard error, status 0, nothing copied.  After a file name or
# "--", or as the argument of -x, they are words like any other.
help_out=$(printf '%s\n' 'usage: vorn [-abcefFiMnNRsSuWZ] [-H lines] [-t tag] [-x tabs] [-/ pattern] [-& filter] [+command] [file ...]'; cat <<'HELP'
  -a          searches go on into the other files of the list
  -b          text byte by byte, also in a UTF-8 locale
  -c          moves of a screenful or more repaint from the top
  -e          stay at the end of the last file instead of ending
  -f          accepted and ignored
  -F          follow the first file: show text as it arrives
  -H lines    keep the first lines of the file on top as a header
  -i          searches ignore case
  -M          scroll by the mouse wheel, three lines a notch
  -n          no line numbers
  -N          line numbers in a column left of the text
  -R          show the colour sequences of the text as colours
  -s          squeeze runs of empty lines into one
  -S          start with long lines cut at the right edge, not wrapped
  -t tag      start at the tag
  -u          show overstruck text as it is, not as underline and bold
  -W          follow a file by name: reopen it when it was replaced
  -x tabs     tab stops every tabs columns (8 when below 1)
  -Z          compressed files as their bytes, not their text
  -/ pattern  start at the first line matching pattern (or +/pattern)
  -& filter   show only the lines matching filter (!filter: not matching)
  +command    keys run once the first screen is shown (+G, +100, +F)
  --help      show this summary and exit
  --version   show the version and exit
HELP
)
while IFS='|' read -r args answer; do
    # shellcheck disable=SC2086
    run unset $args
    what="args=$args"
    [ "$status" -eq 0 ] || fail "$what: status $status"
    [ -s "$tmp/err" ] && fail "$what: unexpected stderr: $(cat "$tmp/err")"
    case $answer in
    help) [ "$(cat "$tmp/out")" = "$help_out" ] || fail "$what: printed: $(cat "$tmp/out")" ;;
    version) grep -qx 'vorn [0-9][0-9.]*' "$tmp/out" || fail "$what: printed: $(cat "$tmp/out")" ;;
    esac
done <<'CASES'
--help|help
--version|version
-e --help gaps|help
-es -x 4 --version|version
-t no_such_tag --help|help
+G --help gaps|help
CASES
while IFS='|' read -r args; do
    # shellcheck disable=SC2086
    run unset $args
    [ "$(cat "$tmp/out")" = "$(cat "$tmp/gaps")" ] || fail "args=$args: did not copy gaps"
    grep -q -- '--help: No such file or directory' "$tmp/err" ||
        fail "args=$args: stderr: $(cat "$tmp/err")"
done <<'CASES'
gaps --help
-- --help gaps
CASES
run unset -x --help gaps
[ "$status" -eq 0 ] && cmp -s "$tmp/out" "$tmp/gaps" || fail "-x --help: status $status, output not gaps"

# --help's usage line and the manual page's synopsis name every option the
# program takes, and nothing else.  The options are found by asking the
# program about every letter: a flag copies (status 0), an option that
# takes an argument complains that it has none.
flags="" takes_argument=""
for letter in {a..z} {A..Z} /; do
    run unset "-$letter"
    if [ "$status" -eq 0 ]; then
        flags+=$letter
    elif grep -q 'requires an argument' "$tmp/err"; then
        takes_argument+=$letter
    fi
done
[ -n "$flags" ] && [ -n "$takes_argument" ] || fail "no options found: flags '$flags', with argument '$takes_argument'"
sorted() { grep -o . <<< "$1" | sort | tr -d '\n'; }
# check_synopsis WHAT FLAG-GROUP TEXT: the group holds the flags, and TEXT
# has a bracket for each option with an argument.
check_synopsis() {
    [ "$(sorted "$2")" = "$(sorted "$flags")" ] || fail "$1: flags '$2', the program takes '$flags'"
    local letter
    for letter in $(grep -o . <<< "$takes_argument"); do
        grep -qF -- "[-$letter " <<< "$3" || fail "$1: no [-$letter ...]"
    done
}
usage_line=$(env -u VORN "$vorn" --help | head -n 1)
check_synopsis "--help" "$(sed -n 's/^usage: vorn \[-\([A-Za-z]*\)\].*/\1/p' <<< "$usage_line")" "$usage_line"
manual=$(dirname "$0")/../../doc/vorn.1
synopsis=$(sed -n '/^\.SH SYNOPSIS/,/^\.SH DESCRIPTION/p' "$manual" | sed 's/^\.RB \[ \\-/[-/')
check_synopsis "the manual page" "$(sed -n 's/^\[-\([A-Za-z]*\) \]$/\1/p' <<< "$synopsis")" \
    "$(tr '\n' ' ' <<< "$synopsis")"

finish
