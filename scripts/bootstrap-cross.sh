#!/usr/bin/env bash
# Prepares a Debian 12 machine for the aarch64 cross build and its tests under
# qemu-aarch64: enables the arm64 architecture in dpkg and installs what is
# missing from scripts/packages.txt and scripts/packages-cross.txt. Runs
# apt-get update at most once and does nothing when all is in place.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)

# apt-get, waiting for another apt or dpkg run on this machine to finish
# instead of failing on its lock.
apt_get() {
  local try out
  for try in $(seq 1 60); do
    if out=$(DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 "$@" 2>&1); then
      [[ -n "$out" ]] && printf '%s\n' "$out"
      return 0
    fi
    if grep -q 'Could not get lock\|Unable to lock' <<<"$out"; then
      sleep 10
      continue
    fi
    printf '%s\n' "$out" >&2
    return 1
  done
  printf '%s\n' "$out" >&2
  return 1
}

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  echo "adding dpkg architecture arm64"
  "${sudo_cmd[@]}" dpkg --add-architecture arm64
  need_update=1 # the package lists know no arm64 packages yet
fi

missing=()
for list in "$here/packages.txt" "$here/packages-cross.txt"; do
  while read -r pkg; do
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done < "$list"
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  need_update=1
fi
if ((need_update)); then
  apt_get update -qq
fi
if ((${#missing[@]})); then
  # The arm64 halves of Multi-Arch: same libraries must have the very version
  # of their amd64 halves, so apt may upgrade some native packages here.
  apt_get install -y -qq --no-install-recommends "${missing[@]}"
fi
