#!/usr/bin/env bash
# Slow-storage bench: verifies a 1 GiB single-image package on a throttled
# ext4 device at several bandwidths, each with bandwidth alone and with a
# fixed cost per request, and on fast local storage, and prints one table row
# per storage. Needs root; see README.md beside this script.
#
#   bench/storage/run.sh [--repeat N] [--rates "200 100 40"] [--no-local]
#                        [--request-cost US] [--read-ahead-kb N] [--max-sectors-kb N]
#                        [--backing-dir DIR] [--work-dir DIR] [--data-mib N]
#                        [--wait-load LOAD [--wait-max SECONDS]]
set -euo pipefail

repeat=3
rates="200 100 40"
local_run=1
backing_dir=/var/tmp
work_dir=/var/tmp/upgrade-storagebench
data_mib=1024
wait_load=
wait_max=1800
request_cost=100
read_ahead_kb=128
max_sectors_kb=512
while (($#)); do
  case "$1" in
    --repeat) repeat=$2; shift 2 ;;
    --rates) rates=$2; shift 2 ;;
    --no-local) local_run=0; shift ;;
    --backing-dir) backing_dir=$2; shift 2 ;;
    --work-dir) work_dir=$2; shift 2 ;;
    --data-mib) data_mib=$2; shift 2 ;;
    --wait-load) wait_load=$2; shift 2 ;;
    --wait-max) wait_max=$2; shift 2 ;;
    --request-cost) request_cost=$2; shift 2 ;;
    --read-ahead-kb) read_ahead_kb=$2; shift 2 ;;
    --max-sectors-kb) max_sectors_kb=$2; shift 2 ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done

if [[ $(id -u) -ne 0 ]]; then
  echo "run.sh needs root: it mounts FUSE, sets up a loop device and drops the page cache" >&2
  exit 1
fi

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
cd "$source_dir"

# What the bench needs beyond the project's own packages.
needed=()
for pkg in fuse3 libfuse3-dev e2fsprogs util-linux; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || needed+=("$pkg")
done
if ((${#needed[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${needed[@]}"
fi
scripts/bootstrap.sh

# libfuse3 may have arrived just now: configure again so throttlefs builds.
cmake --preset default >/dev/null
cmake --build --preset default --target storagebench throttlefs
bin=$source_dir/build/default/bench/storage
bench=$bin/storagebench

backing=$backing_dir/upgrade-storagebench-$$.img
fuse_dir=$work_dir/fuse
mount_dir=$work_dir/ext4
local_dir=$work_dir/local
fuse_pid=
loop_dev=
child=

# Runs a step in the background so that a signal reaches the script at once;
# cleanup then stops the step before it takes the device away.
step() {
  "$@" &
  child=$!
  local status=0
  wait "$child" || status=$?
  child=
  return "$status"
}

cleanup() {
  set +e
  if [[ -n $child ]]; then
    kill "$child" 2>/dev/null
    wait "$child" 2>/dev/null
  fi
  mountpoint -q "$mount_dir" && umount "$mount_dir"
  [[ -n $loop_dev ]] && losetup -d "$loop_dev"
  mountpoint -q "$fuse_dir" && fusermount3 -u "$fuse_dir"
  if [[ -n $fuse_pid ]]; then
    kill "$fuse_pid" 2>/dev/null
    wait "$fuse_pid" 2>/dev/null
  fi
  rm -f "$backing" "$local_dir/pkg.bin"
  rmdir "$fuse_dir" "$mount_dir" "$local_dir" "$work_dir" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# A run killed outright (SIGKILL skips cleanup) leaves its mounts behind.
for dir in "$mount_dir" "$fuse_dir"; do
  if grep -qs " $dir " /proc/mounts; then umount -l "$dir"; fi
done
mkdir -p "$fuse_dir" "$mount_dir" "$local_dir"

# The throttled device: a paced FUSE file, a loop device over it, ext4 on
# that. The backing file sits on local disk, read with O_DIRECT, so the pace
# set here stays the device's only limit. Not in RAM: every page-cache drop
# walks all of a tmpfs file's pages, and a 1.2 GiB one made each of the
# walk's 20 drops take 60-90 ms instead of 10. The loop device uses direct I/O so that it keeps
# several requests in flight, as a card's controller does.
device_mib=$((data_mib + data_mib / 8 + 64))
truncate -s "${device_mib}M" "$backing"
"$bin/throttlefs" --backing="$backing" --rate=0 -f "$fuse_dir" &
fuse_pid=$!
for _ in $(seq 50); do
  [[ -e $fuse_dir/disk.img ]] && break
  sleep 0.1
done
[[ -e $fuse_dir/disk.img ]] || { echo "throttlefs did not come up" >&2; exit 1; }
# The pacing must not wait for a processor the builds around it are using:
# real storage does not slow down when the CPU is busy.
renice -n -10 -p "$fuse_pid" >/dev/null
loop_dev=$(losetup --find --show --direct-io=on "$fuse_dir/disk.img")
# The queue of an eMMC or SD host: one scheduler merging what it can, a small
# read-ahead window, requests of at most 512 KiB.
queue=/sys/block/$(basename "$loop_dev")/queue
echo mq-deadline >"$queue/scheduler"
echo "$read_ahead_kb" >"$queue/read_ahead_kb"
echo "$max_sectors_kb" >"$queue/max_sectors_kb"
echo "throttled device $loop_dev: read_ahead_kb $(<"$queue/read_ahead_kb"), max_sectors_kb $(<"$queue/max_sectors_kb"), scheduler $(<"$queue/scheduler")" >&2
mkfs.ext4 -F -q -E lazy_itable_init=0,lazy_journal_init=0 "$loop_dev"
mount -o noatime "$loop_dev" "$mount_dir"

echo "writing the ${data_mib} MiB packages..." >&2
step "$bench" make-package "$mount_dir/pkg.bin" --data-mib "$data_mib"
((local_run)) && step "$bench" make-package "$local_dir/pkg.bin" --data-mib "$data_mib"
sync

# On a shared machine, waits until the one-minute load average is below
# --wait-load before each row, for at most --wait-max seconds in all.
waited=0
quiet() {
  [[ -z $wait_load ]] && return 0
  while awk -v limit="$wait_load" '{ exit !($1 >= limit) }' /proc/loadavg && ((waited < wait_max)); do
    sleep 10
    waited=$((waited + 10))
  done
  echo "load: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
}

echo "load before the run: $(uptime)" >&2
header=--header
if ((local_run)); then
  quiet
  step "$bench" run "$local_dir/pkg.bin" --repeat "$repeat" --label "fast local storage" $header
  header=
fi
# Each bandwidth on both models: bandwidth alone, and a fixed cost per request
# before its bytes, served one request at a time as a card does.
costs=0
[[ $request_cost != 0 ]] && costs="0 $request_cost"
for rate in $rates; do
  for cost in $costs; do
    echo "$rate" >"$fuse_dir/rate"
    echo "$cost" >"$fuse_dir/cost"
    label="$rate MB/s"
    [[ $cost != 0 ]] && label="$label + $cost µs/request"
    quiet
    step "$bench" run "$mount_dir/pkg.bin" --repeat "$repeat" --label "$label" --stats "$fuse_dir/stats" \
      $header
    header=
  done
done
echo 0 >"$fuse_dir/rate"
echo 0 >"$fuse_dir/cost"
echo "load after the run: $(uptime)" >&2
