#!/bin/sh
# Installs the build into a temporary prefix and checks what a desktop finds there: exactly the
# expected files, a desktop entry, metadata, file type and manual pages that their validators
# accept, and programs that start from the prefix.
#   install_test.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

id=org.lessora.Lessora
expected="bin/lessora
bin/lessora-say
share/applications/$id.desktop
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/lessora-say.1.gz
share/man/man1/lessora.1.gz
share/metainfo/$id.metainfo.xml
share/mime/packages/$id.xml"
actual=$(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files differ:
$actual"

desktop=$prefix/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$id.metainfo.xml" >&2 ||
  fail "metainfo"

# The entry names what is installed: the program, the icon, and the file types it opens.
grep -qx "Exec=lessora %f" "$desktop" || fail "Exec"
grep -qx "Icon=$id" "$desktop" || fail "Icon"
grep -qx "Categories=Education;Languages;" "$desktop" || fail "Categories"
grep -q "^MimeType=.*application/json;" "$desktop" || fail "application/json"
grep -q "^Name\[ja\]=" "$desktop" && grep -q "^Comment\[ja\]=" "$desktop" || fail "Japanese entry"

# The file type compiles into a MIME database, and a saved lesson is recognised by it.
mkdir -p "$prefix/mime-check"
cp -r "$prefix/share/mime" "$prefix/mime-check/"
update-mime-database "$prefix/mime-check/mime" || fail "MIME type"
grep -q "application/x-lessora-lesson" "$prefix/mime-check/mime/types" || fail "MIME type missing"

for page in lessora lessora-say; do
  warnings=$(gzip -dc "$prefix/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)
  [ -z "$warnings" ] || fail "manual page $page: $warnings"
done

"$prefix/bin/lessora" --version | grep -qx "lessora [0-9.]*" || fail "lessora --version"
"$prefix/bin/lessora-say" --reading "1" >/dev/null || fail "lessora-say"
echo "installed and valid: $(echo "$actual" | wc -l) files"
