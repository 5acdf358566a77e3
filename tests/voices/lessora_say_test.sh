#!/bin/sh
# Exit codes and files of lessora-say: lessora_say_test.sh PATH-TO-LESSORA-SAY
say=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

expect_exit() { # CODE MESSAGE-PATTERN ARGS...
    code=$1 pattern=$2
    shift 2
    "$say" "$@" >"$work/out" 2>"$work/err"
    actual=$?
    [ "$actual" -eq "$code" ] || fail "lessora-say $* exited $actual, not $code"
    grep -q -- "$pattern" "$work/err" || fail "lessora-say $* did not say '$pattern': $(cat "$work/err")"
}

expect_exit 2 "Usage" --reading one two
expect_exit 2 "Usage" --list --reading x
expect_exit 2 "Usage" --voice x
expect_exit 2 "--rate" --voice x --rate fast text
expect_exit 2 "--rate" --voice x --rate 11 text
expect_exit 2 "Usage" --rate 1 --reading x
expect_exit 1 "unknown voice" --voice "No Such Voice" text
expect_exit 1 "unknown voice" --voice "No Such Voice" --wav "$work/x.wav" text
[ -e "$work/x.wav" ] && fail "a WAV file was left for an unknown voice"

voice=$("$say" --list 2>/dev/null | head -n 1 | cut -f 1)
[ -n "$voice" ] || fail "--list printed no voice"
expect_exit 1 "cannot write" --voice "$voice" --wav "$work/missing/x.wav" text

"$say" --voice "$voice" --rate -2 --wav "$work/line.wav" "This is a voice test." ||
    fail "writing a WAV file failed"
[ "$(head -c 4 "$work/line.wav")" = RIFF ] || fail "the WAV file has no RIFF header"
[ "$(wc -c <"$work/line.wav")" -gt 22050 ] || fail "the WAV file is too short"
echo "lessora-say: all checks passed"
