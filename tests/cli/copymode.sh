#!/bin/bash
# Copy mode of the real binary: standard output is not a terminal, so every
# file (or standard input) is copied, byte for byte, in order.
. "$(dirname "$0")/setup.bash" "$@"

cd "$tmp" || exit 1
printf 'first\n' > a
printf 'second\nline\n' > b
printf 'third' > c
mkdir dir

# expect NAME STATUS STDERR: checks $status, out against the file NAME.exp
# and err against STDERR.
expect() {
    [ "$status" -eq "$2" ] || fail "$1: status $status"
    cmp -s out "$1.exp" || fail "$1: output differs: $(od -c out | head -4)"
    [ "$(cat err)" = "$3" ] || fail "$1: stderr: $(cat err)"
}

cat a b c > order.exp
"$vorn" a b c > out 2> err; status=$?
expect order 0 ""

# What cannot be opened is skipped with its message, the rest is copied,
# and the status tells that not everything was: 1, as with cat.
cat a c > missing.exp
"$vorn" a missing dir c > out 2> err; status=$?
expect missing 1 "missing: No such file or directory
dir is a directory"
: > nothing.exp
"$vorn" missing > out 2> err; status=$?
expect nothing 1 "missing: No such file or directory"
"$vorn" dir > out 2> err; status=$?
expect nothing 1 "dir is a directory"

cat b > stdin.exp
"$vorn" < b > out 2> err; status=$?
expect stdin 0 ""
cat b | "$vorn" > out 2> err; status=$?
expect stdin 0 ""

cat a b c > second_dash.exp
"$vorn" a - - c < b > out 2> err; status=$?
expect second_dash 1 "can view standard input only once"

# Squeezing: at most two newlines in a row reach the output; the count
# starts afresh with each file.  Fields: input | expected (printf formats).
n=0
while IFS='|' read -r input squeezed; do
    n=$((n + 1))
    # shellcheck disable=SC2059
    printf "$input" > "s$n.in"
    # shellcheck disable=SC2059
    printf "$squeezed" > "s$n.exp"
    "$vorn" -s "s$n.in" > out 2> err; status=$?
    expect "s$n" 0 ""
done <<'CASES'
a\n\n\n\nb\n|a\n\nb\n
\n\n\n\na\n|\n\na\n
a\n\n|a\n\n
a\nb\n|a\nb\n
\n|\n
|
a\r\n\r\n\r\n|a\r\n\r\n\r\n
x\0\n\n\n\0\n|x\0\n\n\0\n
\n\n\n|\n\n
CASES

printf 'a\n\n' > end1
printf '\n\nb\n' > end2
printf 'a\n\n\n\nb\n' > per_file.exp
"$vorn" -s end1 end2 > out 2> err; status=$?
expect per_file 0 ""

# Runs of newlines across the boundaries of large reads.
{ head -c 131070 /dev/zero | tr '\0' x; printf '\n\n\n\n\n\ny'; } > boundary.in
{ head -c 131070 /dev/zero | tr '\0' x; printf '\n\ny'; } > boundary.exp
"$vorn" -s boundary.in > out 2> err; status=$?
expect boundary 0 ""
{ printf 'w'; head -c 400000 /dev/zero | tr '\0' '\n'; printf 'z'; } > long_run.in
printf 'w\n\nz' > long_run.exp
"$vorn" -s < long_run.in > out 2> err; status=$?
expect long_run 0 ""

# Binary data, NUL bytes included, and a large file: byte for byte, from a
# named file and through a pipe.
{ head -c 300000 /dev/urandom; head -c 5000 /dev/zero; printf 'end'; } > binary.exp
"$vorn" binary.exp > out 2> err; status=$?
expect binary 0 ""
head -c $((40 * 1024 * 1024 + 77)) /dev/urandom > large.exp
"$vorn" large.exp > out 2> err; status=$?
expect large 0 ""
cat large.exp | "$vorn" - > out 2> err; status=$?
expect large 0 ""

# A read that fails (the unmapped start of the program's own memory) ends
# the copy with its message; the copy is incomplete, so the status is 1.
: > read_error.exp
"$vorn" /proc/self/mem > out 2> err; status=$?
expect read_error 1 "read error"

# A reader that goes away ends the copy quietly (SIGPIPE ignored, so the
# write fails with EPIPE); not everything was copied, so the status is 1,
# as it is non-zero when SIGPIPE ends the program.  The guard only keeps a
# fault from hanging the run.
(trap '' PIPE; timeout 60 "$vorn" large.exp a 2> err | head -c 10 > /dev/null; exit "${PIPESTATUS[0]}")
status=$?
[ "$status" -eq 1 ] || fail "closed pipe: status $status"
[ -s err ] && fail "closed pipe: stderr: $(cat err)"

# A device that takes nothing: the data is not silently lost.  The copy
# stops at the first failed write, with the system's reason, status 1.
# Fields: files given | stdin from.
while IFS='|' read -r files input; do
    # shellcheck disable=SC2086
    "$vorn" $files < "$input" > /dev/full 2> err; status=$?
    [ "$status" -eq 1 ] || fail "full device ($files): status $status"
    [ "$(cat err)" = "write error: No space left on device" ] ||
        fail "full device ($files): stderr: $(cat err)"
done <<'CASES'
a|/dev/null
large.exp b c|/dev/null
-|b
CASES

# Compressed files: copied as their text, as paging shows them (recognised
# by their first bytes, whatever the name), or with -Z (also in VORN) as
# the bytes they are.  A stream cut short is copied up to the cut, then
# the message, status 1.  gzip is part of every Debian system; the other
# formats' tools are used where they are installed (the unit tests make
# every format with its library).
seq 1 20000 | sed 's/$/ compressed line/' > text.exp
formats="gzip"
for tool in xz zstd bzip2; do
    command -v "$tool" > /dev/null && formats="$formats $tool"
done
for tool in $formats; do
    "$tool" -c < text.exp > "packed.$tool" 2> /dev/null || fail "$tool: cannot compress"
    "$vorn" "packed.$tool" > out 2> err; status=$?
    expect text 0 ""
    cp "packed.$tool" "$tool.exp"
    "$vorn" -Z "packed.$tool" > out 2> err; status=$?
    expect "$tool" 0 ""
    VORN=-Z "$vorn" "packed.$tool" > out 2> err; status=$?
    expect "$tool" 0 ""
    cat text.exp a text.exp > mixed.exp
    "$vorn" "packed.$tool" a "packed.$tool" > out 2> err; status=$?
    expect mixed 0 ""
    size=$(wc -c < "packed.$tool")
    head -c $((size / 2)) "packed.$tool" > cut
    "$vorn" cut > out 2> err; status=$?
    [ "$status" -eq 1 ] || fail "$tool cut: status $status"
    [ "$(cat err)" = "truncated $tool data at byte $((size / 2))" ] || fail "$tool cut: stderr: $(cat err)"
    [ -s out ] && cmp -s out text.exp 2> /dev/null && fail "$tool cut: all of the text"
    head -c "$(wc -c < out)" text.exp | cmp -s - out || fail "$tool cut: not the text's beginning"
done
# standard input is copied as it comes
cat packed.gzip > stdin_packed.exp
"$vorn" < packed.gzip > out 2> err; status=$?
expect stdin_packed 0 ""

finish
