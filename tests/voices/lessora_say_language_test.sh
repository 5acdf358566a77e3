#!/bin/sh
# lessora-say's messages from the libraries (here the lesson file's) in the language of --lang,
# else of the environment: English for another language than Japanese, Japanese for Japanese
# and the C locale. Its own usage messages are English either way.
say=$1
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
printf 'not json' > "$work/bad.json"
failures=0

# check ENVIRONMENT EXPECTED ARGS...: stderr holds EXPECTED, the exit code is 1 (2 for usage).
check() {
  environment=$1 expected=$2
  shift 2
  message=$(env -u LC_ALL -u LC_MESSAGES -u LANGUAGE $environment "$say" "$@" 2>&1 >/dev/null)
  case $message in
    *"$expected"*) ;;
    *) echo "FAIL: $environment $*: expected \"$expected\", got: $message"; failures=$((failures + 1)) ;;
  esac
}

out="--out $work/out.wav"
check "LANG=C.UTF-8" "JSONファイルを読み込めませんでした。" --lesson "$work/bad.json" $out
check "LANG=ja_JP.UTF-8" "JSONファイルを読み込めませんでした。" --lesson "$work/bad.json" $out
check "LANG=en_US.UTF-8" "The JSON file could not be read." --lesson "$work/bad.json" $out
check "LANG=de_DE.UTF-8" "The JSON file could not be read." --lesson "$work/bad.json" $out
check "LANG=ja_JP.UTF-8 LANGUAGE=en" "The JSON file could not be read." --lesson "$work/bad.json" $out
check "LANG=C.UTF-8" "The file does not exist" --lang en --lesson "$work/none.json" $out
check "LANG=en_US.UTF-8" "ファイルが見つかりません" --lang ja --lesson "$work/none.json" $out
check "LANG=C.UTF-8" "--lang needs ja or en" --lang fr --list

[ "$failures" -eq 0 ] && echo "all lessora-say language cases pass"
