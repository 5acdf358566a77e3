#!/bin/sh
# lessora-say --accent: the text form of the accent, its usage errors, voices without an accent
# analysis. lessora_say_accent_test.sh PATH-TO-LESSORA-SAY; exit 77 (skipped) without Open JTalk.
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
    [ "$code" -eq 0 ] || [ ! -s "$work/out" ] || fail "lessora-say $* printed: $(cat "$work/out")"
}

expect_exit 2 "Usage" --accent one two
expect_exit 2 "Usage" --accent x --reading y
expect_exit 2 "Usage" --list --accent x
expect_exit 2 "--rate" --rate 1 --accent x
expect_exit 1 "unknown voice" --voice "No Such Voice" --accent x

"$say" --list >"$work/voices" 2>/dev/null || fail "--list failed"
other=$(grep -v '^OpenJTalk' "$work/voices" | head -n 1 | cut -f 1)
[ -n "$other" ] || fail "no voice besides Open JTalk's"
expect_exit 1 "has no accent analysis" --voice "$other" --accent "箸"
openjtalk=$(grep '^OpenJTalk' "$work/voices" | head -n 1 | cut -f 1)
if [ -z "$openjtalk" ]; then
    expect_exit 1 "no accent analysis" --accent "箸"
    echo "Open JTalk is not installed: its accent is not checked"
    exit 77
fi

# Words told apart by the accent alone, with the default voice and with one given.
[ "$("$say" --accent "箸が好きです。")" = "ハ＼シガ スキ＼デス。" ] ||
    fail "箸が好きです。: $("$say" --accent "箸が好きです。" 2>&1)"
[ "$("$say" --voice "$openjtalk" --accent "橋が好きです。")" = "ハシ＼ガ スキ＼デス。" ] ||
    fail "橋が好きです。 with $openjtalk"
# One line out for each line in, empty ones too, in order.
printf '端が好きです。\n\n箸が好きです。\n' | "$say" --accent - >"$work/out" ||
    fail "--accent - failed"
printf 'ハシガ スキ＼デス。\n\nハ＼シガ スキ＼デス。\n' | cmp -s - "$work/out" ||
    fail "--accent - printed: $(cat "$work/out")"
echo "lessora-say --accent: all checks passed"
