#!/usr/bin/env bash
# scripts/install-deps enabling contrib, against a private apt tree (APT_CONFIG): the machine's
# own sources are never read or changed. The archive is a local file: one, so no network.
#   install_deps_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
[[ -n $codename ]] || { echo "SKIP: no release codename"; exit 0; }
arch=$(dpkg --print-architecture)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A local Debian archive for the release: main always, contrib when asked (or only listed in
# its Release file, which apt then fails to fetch).
make_archive() { # DIR CONTRIB(yes|listed)
  local dists=$1/dists/$codename component size
  for component in main contrib; do
    [[ $component == contrib && $2 == listed ]] && continue
    mkdir -p "$dists/$component/binary-$arch"
    : >"$dists/$component/binary-$arch/Packages"
  done
  {
    printf 'Origin: Debian\nLabel: Debian\nSuite: stable\nCodename: %s\n' "$codename"
    printf 'Date: %s\n' "$(LC_ALL=C date -u -R)"
    printf 'Architectures: %s\nComponents: main contrib\nSHA256:\n' "$arch"
    for component in main contrib; do
      size=0
      [[ $component == contrib && $2 == listed ]] && size=10
      printf ' e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855 %s %s\n' \
        "$size" "$component/binary-$arch/Packages"
    done
  } >"$dists/Release"
}

# A private apt configuration in $1, sources given as $2 (one-line) or $3 (deb822).
make_apt() { # DIR LIST SOURCES
  mkdir -p "$1/etc/sources.list.d" "$1/etc/apt.conf.d" "$1/etc/preferences.d" \
    "$1/state/lists/partial" "$1/cache/archives/partial"
  printf '%s\n' "$2" >"$1/etc/sources.list"
  [[ -z ${3:-} ]] || printf '%s\n' "$3" >"$1/etc/sources.list.d/debian.sources"
  cat >"$1/apt.conf" <<CONF
Dir::Etc "$1/etc";
Dir::Etc::sourcelist "$1/etc/sources.list";
Dir::Etc::sourceparts "$1/etc/sources.list.d";
Dir::Etc::parts "$1/etc/apt.conf.d";
Dir::Etc::preferencesparts "$1/etc/preferences.d";
Dir::State "$1/state";
Dir::Cache "$1/cache";
Acquire::Languages "none";
APT::Sandbox::User "root";
APT::Architectures { "$arch"; };
CONF
}

# Runs the script's enable_contrib in the private tree; prints its output, returns its status.
enable() { # DIR
  (
    export APT_CONFIG=$1/apt.conf
    sudo=()
    # shellcheck source=/dev/null
    source "$source_dir/scripts/install-deps"
    apt-get update -qq >/dev/null 2>&1 || true
    enable_contrib
  )
}

disc='deb cdrom:[Debian GNU/Linux 12.5.0 _Bookworm_ - Official amd64 DVD Binary-1 with firmware 20240210-11:28]/ bookworm main'

# 1. A disc and a real archive: the real one is copied, the disc's name never taken as options.
t=$work/disc-and-archive
make_archive "$t/archive" yes
make_apt "$t" "$disc
deb [trusted=yes] file:$t/archive $codename main"
if out=$(enable "$t" 2>&1); then
  added=$(grep -v '^#' "$t/etc/sources.list.d/lessora-contrib.list")
  [[ $added == "deb [trusted=yes] file:$t/archive $codename contrib" ]] ||
    fail "disc and archive: added '$added'"
else
  fail "disc and archive: enable_contrib failed: $out"
fi

# 2. Only a disc: nothing to copy, nothing written.
t=$work/disc-only
make_apt "$t" "$disc"
if out=$(enable "$t" 2>&1); then fail "disc only: succeeded: $out"; fi
[[ -z $(ls "$t/etc/sources.list.d") ]] || fail "disc only: wrote $(ls "$t/etc/sources.list.d")"

# 3. deb822 with folded Suites and Components: the continuation lines are not copied.
t=$work/deb822
make_archive "$t/archive" yes
make_apt "$t" "" "Types: deb
URIs: file:$t/archive
Suites: $codename
 $codename-updates
Components: main
 non-free-firmware
Trusted: yes"
if out=$(enable "$t" 2>&1); then
  added=$(grep -v '^#' "$t/etc/sources.list.d/lessora-contrib.sources")
  expected="Types: deb
URIs: file:$t/archive
Suites: $codename
Components: contrib
Trusted: yes"
  [[ $added == "$expected" ]] || fail "deb822: added '$added'"
else
  fail "deb822: enable_contrib failed: $out"
fi

# 4. An entry apt cannot update from is removed again, and said so.
t=$work/broken
make_archive "$t/archive" listed
make_apt "$t" "deb [trusted=yes] file:$t/archive $codename main"
if out=$(enable "$t" 2>&1); then fail "broken: succeeded: $out"; fi
[[ ! -e $t/etc/sources.list.d/lessora-contrib.list ]] || fail "broken: the entry stayed"
[[ $out == *"removed it again"* ]] || fail "broken: not said: $out"

((failures == 0)) && echo "all install-deps cases pass"
exit $((failures > 0))
