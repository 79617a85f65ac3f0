#!/usr/bin/env bash
# The tools as a release engineer installs them: the build installed into a
# staging root (DESTDIR, prefix /usr) and run from there. Nothing installed
# names the build folder; nothing but upgrade-sim (whose --storage-fault
# rehearses a failing card) defines read(), and its layer cannot cut a file;
# the installed upgrade-pack ignores
# the tests' fault variable; upgrade-sim finds its plug-ins inside the root,
# says nothing of a signer the plug-in did not check, and without the
# rehearsal plug-in refuses --signed in one line.
#
#   install-check.sh CMAKE BUILD_DIR NM
set -euo pipefail
cmake=$1 build=$2 nm=$3

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

DESTDIR=$stage "$cmake" --install "$build" --prefix /usr >/dev/null
bin=$stage/usr/bin
[[ -x $bin/upgrade-pack && -x $bin/upgrade-sim ]] || fail "the tools are not installed in $bin"
[[ ! -e $bin/upgrade-pack-faulty ]] || fail "the tests' upgrade-pack-faulty is installed"

# The build folder as UTF-8 and as UTF-16 text (a QStringLiteral), byte by byte.
utf16=$(printf '%s' "$build" | od -An -tx1 -v | tr -s ' \n' '\n' | sed '/^$/d; s/.*/\\x&\\x00/' | tr -d '\n')
while IFS= read -r -d '' file; do
  if grep -qF -- "$build" "$file" || LC_ALL=C grep -qaP -- "$utf16" "$file"; then
    fail "${file#"$stage"} holds the build folder's path $build"
  fi
  # upgrade-sim's --storage-fault is an interposed read() by design.
  [[ $file == "$bin/upgrade-sim" ]] && continue
  if "$nm" -D --defined-only "$file" 2>/dev/null | awk '$NF == "read" { found = 1 } END { exit !found }'; then
    fail "${file#"$stage"} defines read()"
  fi
done < <(find "$stage" -type f -print0)
# Its layer only fails reads: it cannot cut a user's package.
! "$nm" -D --undefined-only "$bin/upgrade-sim" | grep -qwE 'truncate|ftruncate|truncate64' ||
  fail "upgrade-sim's storage layer can truncate files"

cd "$stage"
head -c 70000 /dev/zero >image.img
"$bin/upgrade-pack" create -o good.upg --main-version 1.2.0 --data-version 1.2.0 image.img >/dev/null
UPGRADE_PACK_STORAGE_FAULT=100 "$bin/upgrade-pack" verify good.upg >/dev/null ||
  fail "the installed upgrade-pack failed a good package under UPGRADE_PACK_STORAGE_FAULT"

# The plug-in line of a run that must succeed.
plugin_of() {
  local out
  out=$("$bin/upgrade-sim" --pace 0 "$@" </dev/null) || fail "upgrade-sim $* failed"
  sed -n 's|^plug-in  *\(/[^ ]*\) .*|\1|p' <<<"$out"
}
[[ $(plugin_of --demo-size 64K) == "$stage/usr/lib/upgradeviewmodel/plugins/libupgradeviewmodel.so.1" ]] ||
  fail "upgrade-sim did not load the plug-in installed beside it"
[[ $(plugin_of --demo-size 64K --signed) == "$stage/usr/lib/upgradeviewmodel/rehearsal/libupgradeviewmodel.so.1" ]] ||
  fail "upgrade-sim --signed did not load the rehearsal plug-in installed beside it"

# The default plug-in trusts no key: a signed package's record is not a signer.
openssl genpkey -algorithm ed25519 -out maker.pem 2>/dev/null
"$bin/upgrade-pack" create -o signed.upg --main-version 1.2.0 --data-version 1.2.0 --sign maker.pem \
  image.img >/dev/null
out=$("$bin/upgrade-sim" --pace 0 signed.upg </dev/null) || fail "upgrade-sim signed.upg failed"
grep -q '^verify .*not checked: the plug-in trusts no key' <<<"$out" && ! grep -q 'signed by' <<<"$out" ||
  fail "upgrade-sim's verify line with the default plug-in: $(grep '^verify' <<<"$out")"

rm -r "$stage/usr/lib/upgradeviewmodel/rehearsal"
status=0
"$bin/upgrade-sim" --pace 0 --signed >/dev/null 2>err.txt </dev/null || status=$?
((status == 3)) && [[ $(wc -l <err.txt) -eq 1 ]] && grep -q 'rehearsal build of the plug-in' err.txt ||
  fail "--signed without the rehearsal plug-in: exit $status, $(cat err.txt)"
echo "installed tree checked: $stage"
