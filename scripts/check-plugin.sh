#!/usr/bin/env bash
# Checks a built plug-in file the way the device's host sees it:
#   check-plugin.sh [--package] [--sanitized] PLUGIN MACHINE
# MACHINE is readelf's name of the target machine: x86-64 or AArch64.
#  - a 64-bit ELF shared object for MACHINE,
#  - SONAME libupgradeviewmodel.so.1, and a file (after links) named by it or
#    by it and a minor and patch number (libupgradeviewmodel.so.1.0.0),
#  - exactly two exported symbols, pluginfo and pluginit,
#  - needed libraries limited to Qt 5 Core, OpenSSL's libcrypto (package
#    signatures) and the C/C++ runtime.
# With --package (a file from a Debian package): also no RPATH/RUNPATH and no
# debug information or static symbol table left. With --sanitized (a build
# with -fsanitize=...): the sanitizers' runtime libraries may be needed too.
# readelf reads the ELF files of every machine, so the native one serves for
# the arm64 plug-in too (READELF overrides it).
set -euo pipefail

package=0
sanitized=0
while [[ ${1:-} == --* ]]; do
  case $1 in
    --package) package=1 ;;
    --sanitized) sanitized=1 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
if (($# != 2)); then
  echo "usage: $0 [--package] [--sanitized] PLUGIN x86-64|AArch64" >&2
  exit 2
fi
plugin=$1
machine=$2
readelf=${READELF:-readelf}
failures=0

fail() {
  echo "FAIL: $plugin: $*" >&2
  failures=$((failures + 1))
}

[[ -f $plugin ]] || { echo "FAIL: $plugin: no such file" >&2; exit 1; }

header=$(LC_ALL=C "$readelf" -h "$plugin")
field() { sed -n "s/^ *$1: *//p" <<<"$header"; }
[[ $(field Class) == ELF64 ]] || fail "ELF class is '$(field Class)', expected ELF64"
[[ $(field Type) == DYN* ]] || fail "ELF type is '$(field Type)', expected a shared object (DYN)"
case $machine in
  x86-64) expected_machine="Advanced Micro Devices X86-64" ;;
  AArch64) expected_machine="AArch64" ;;
  *) expected_machine=$machine ;;
esac
[[ $(field Machine) == "$expected_machine" ]] || fail "machine is '$(field Machine)', expected '$expected_machine'"

dynamic=$(LC_ALL=C "$readelf" -d -W "$plugin")
soname=$(sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p' <<<"$dynamic")
[[ $soname == libupgradeviewmodel.so.1 ]] || fail "SONAME is '$soname', expected libupgradeviewmodel.so.1"
# ldconfig and the packages expect the real file to carry the SONAME's major
# number; a file named by another version would look like a different ABI.
file_name=$(basename "$(readlink -f "$plugin")")
[[ $file_name == "$soname" || $file_name == "$soname".* ]] ||
  fail "file is named '$file_name', expected $soname or $soname.<minor>.<patch>"

allowed_needed=(libQt5Core.so.5 libcrypto.so.3 libstdc++.so.6 libgcc_s.so.1 libc.so.6 libm.so.6)
mapfile -t needed < <(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$dynamic")
for lib in "${needed[@]}"; do
  ((sanitized)) && [[ $lib =~ ^lib(asan|ubsan|lsan|tsan|hwasan)\.so\.[0-9]+$ ]] && continue
  [[ " ${allowed_needed[*]} " == *" $lib "* ]] || fail "needs $lib; allowed: ${allowed_needed[*]}"
done
for lib in libQt5Core.so.5 libc.so.6; do
  [[ " ${needed[*]} " == *" $lib "* ]] || fail "does not need $lib"
done

# Defined dynamic symbols that another object can bind to: not UND, not
# LOCAL, default or protected visibility.
exported=$(LC_ALL=C "$readelf" --dyn-syms -W "$plugin" |
  awk '$1 ~ /^[0-9]+:$/ && $7 != "UND" && $5 != "LOCAL" && ($6 == "DEFAULT" || $6 == "PROTECTED") && $8 != "" {
         name = $8; sub(/@.*/, "", name); print name }' | sort -u)
if [[ $exported != $'pluginfo\npluginit' ]]; then
  fail "exports [$(tr '\n' ' ' <<<"$exported")], expected exactly [pluginfo pluginit]"
fi

if ((package)); then
  grep -qE '\((RPATH|RUNPATH)\)' <<<"$dynamic" && fail "has an RPATH/RUNPATH: $(grep -E '\((RPATH|RUNPATH)\)' <<<"$dynamic")"
  sections=$(LC_ALL=C "$readelf" -S -W "$plugin")
  grep -qE '\.debug_info|\.symtab' <<<"$sections" && fail "is not stripped (debug information or .symtab left)"
fi

if ((failures)); then
  echo "plug-in check failed: $plugin ($failures problems)" >&2
  exit 1
fi
echo "plug-in check passed: $plugin: ELF64 $machine, SONAME $soname, file $file_name, exports pluginfo pluginit, needs ${needed[*]}"
