#!/usr/bin/env bash
# Installs the Debian packages among the arguments that are missing, and those
# listed in files given as `-f FILE` (one package a line, # comments). Runs
# apt-get only when something is missing, through sudo when not root, and
# waits for another apt or dpkg run on this machine instead of failing on its
# lock.
set -euo pipefail
wanted=()
while (($#)); do
  if [[ $1 == -f ]]; then
    while read -r pkg; do
      [[ -z "$pkg" || "$pkg" == \#* ]] && continue
      wanted+=("$pkg")
    done <"$2"
    shift 2
  else
    wanted+=("$1")
    shift
  fi
done

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
((${#missing[@]})) || exit 0

sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
apt_get() {
  local try out
  for try in $(seq 1 60); do
    if out=$(DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 "$@" 2>&1); then
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
echo "installing: ${missing[*]}"
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
