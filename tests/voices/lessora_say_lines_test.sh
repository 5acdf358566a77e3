#!/bin/sh
# Many lines on standard input, read in batches on two threads, come back whole and in order:
# lessora_say_lines_test.sh PATH-TO-LESSORA-SAY
say=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# 一, 二, 三 over and over: a cycle of three that no half of a batch (a power of two) keeps when
# the halves change places, a line is lost or one is written twice.
seq 10000 | awk '{ print ($1 % 3 == 1 ? "一" : $1 % 3 == 2 ? "二" : "三") }' >"$work/lines"
check() { # HOW
    [ "$(wc -l <"$work/readings")" -eq 10000 ] ||
        fail "$1: $(wc -l <"$work/readings") readings for 10000 lines"
    awk '$0 != ((NR % 3 == 1) ? "イチ" : (NR % 3 == 2) ? "ニ" : "サン") { exit 1 }' \
        "$work/readings" || fail "$1: the readings are not those of the lines in order"
}
"$say" --reading - <"$work/lines" >"$work/readings" || fail "reading a file failed"
check "from a file"
cat "$work/lines" | "$say" --reading - >"$work/readings" || fail "reading a pipe failed"
check "from a pipe"
echo "lessora-say --reading -: all checks passed"
