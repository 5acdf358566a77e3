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
# Lessons written as audio, with the voices of a settings file that is not there yet.
export HOME="$work/home"
lesson="$work/lesson.json"
printf '%s' '{"IntervalIndex":1,"Rows":[{"No":"1","Speaker":"A","Language":"English","Text":"Hello.","Interval":""},{"No":"2","Speaker":"B","Language":"English","Text":"Fine, thanks.","Interval":""},{"No":"3","Speaker":"Q","Language":"Japanese","Text":"\u3053\u3093\u306B\u3061\u306F\u3002","Interval":""}]}' >"$lesson"
expect_exit 2 "--out" --lesson "$lesson" --out "$work/lesson.txt"
expect_exit 2 "--mute" --lesson "$lesson" --out "$work/l.mp3" --mute X
expect_exit 2 "--repeat" --lesson "$lesson" --out "$work/l.mp3" --repeat 6
expect_exit 2 "--pause" --lesson "$lesson" --out "$work/l.mp3" --pause soon
expect_exit 2 "goes with --lesson" --voice "$voice" --passes 2 text
expect_exit 1 "$work/none.json" --lesson "$work/none.json" --out "$work/l.mp3"
expect_exit 1 "" --lesson "$lesson" --out "$work/missing/l.mp3"
[ -e "$work/l.mp3" ] && fail "an audio file was left after a failed export"
"$say" --lesson "$lesson" --out "$work/l.mp3" --mute B --passes 2 --clips "$work/clips" \
    >"$work/out" || fail "writing a lesson failed"
grep -q "4 lines" "$work/out" || fail "two passes of two spoken lines: $(cat "$work/out")"
[ "$(wc -c <"$work/l.mp3")" -gt 4000 ] || fail "the MP3 file is too short"
[ "$(wc -l <"$work/clips/index.tsv")" -eq 3 ] || fail "index.tsv has not one line per line"
grep -q "0003_Q.mp3" "$work/clips/index.tsv" || fail "index.tsv lacks the Japanese clip"
echo "lessora-say: all checks passed"
