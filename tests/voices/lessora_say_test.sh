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

# Refusals that leave every file as it was.
expect_exit 2 "--pause" --lesson "$lesson" --out "$work/l.mp3" --pause nan
cp "$lesson" "$work/lesson.wav"
ln -s lesson.wav "$work/link.wav"
expect_exit 1 "" --lesson "$work/lesson.wav" --out "$work/lesson.wav"
expect_exit 1 "" --lesson "$work/lesson.wav" --out "$work/link.wav"
cmp -s "$lesson" "$work/lesson.wav" || fail "the lesson was overwritten by its export"
printf '%s' '{"Rows":[{"No":"1","Speaker":"","Language":"English","Text":"","Interval":""}]}' \
    >"$work/empty.json"
expect_exit 1 "" --lesson "$work/empty.json" --out "$work/empty.mp3"
[ -e "$work/empty.mp3" ] && fail "an audio file was written for a lesson without lines"
latin1=$(printf 'caf\351.json')
cp "$lesson" "$work/$latin1"
"$say" --lesson "$work/$latin1" --out "$work/latin1.wav" >/dev/null ||
    fail "a lesson whose name is not UTF-8 was not read"
mkfifo "$work/fifo.json"
timeout 10 "$say" --lesson "$work/fifo.json" --out "$work/f.mp3" >/dev/null 2>&1
[ $? -eq 1 ] || fail "a FIFO as the lesson was not refused at once"

# A file size limit is a failure with a message, not a silent kill by SIGXFSZ.
(ulimit -f 40; "$say" --lesson "$lesson" --out "$work/big.wav" --passes 10 >/dev/null 2>"$work/err")
code=$?
[ $code -eq 1 ] || fail "over the file size limit lessora-say exited $code, not 1"
[ -s "$work/err" ] || fail "over the file size limit lessora-say said nothing"
[ -n "$(ls -A "$work" | grep 'big.wav')" ] && fail "files were left over the file size limit"

# Stopped by a signal, it removes what it wrote and ends by that signal; a temporary file a
# killed export left is removed by the next export to the same place.
waitfor_part() {
    i=0
    while [ $i -lt 200 ] && [ -z "$(ls -A "$work" | grep '^\.long\.wav\..*\.part$')" ]; do
        sleep 0.05
        i=$((i + 1))
    done
}
for signal in TERM INT HUP KILL; do
    "$say" --lesson "$lesson" --out "$work/long.wav" --passes 10 --clips "$work/long_clips" \
        >/dev/null 2>&1 &
    pid=$!
    waitfor_part
    kill -s $signal $pid
    wait $pid
    code=$?
    [ $code -gt 128 ] || fail "after SIG$signal lessora-say exited $code"
    [ $signal = KILL ] && break
    left=$(ls -A "$work" | grep 'long')
    [ -z "$left" ] || fail "SIG$signal left: $left"
done
"$say" --lesson "$lesson" --out "$work/long.wav" --clips "$work/long_clips" >/dev/null ||
    fail "export after a kill failed"
left=$(ls -A "$work" | grep '^\.long')
[ -z "$left" ] || fail "a killed export's files stayed: $left"
echo "lessora-say: all checks passed"
