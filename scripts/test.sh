#!/usr/bin/env bash
# Installs what is missing, configures, builds and tests: the normal build,
# the sanitizer build, the fuzz targets replaying their corpora; then the
# device build for aarch64 with the whole test suite under qemu-aarch64, and
# the Debian packages of both architectures.
set -euo pipefail
cd "$(dirname "$0")/.."
# scripts/packages.txt and the cross build's scripts/packages-cross.txt.
scripts/bootstrap-cross.sh
for preset in default sanitize fuzz cross-arm64; do
  echo "=== $preset ==="
  start=$SECONDS
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  built=$SECONDS
  ctest --preset "$preset" -j2 --no-tests=ignore
  echo "=== $preset: build $((built - start)) s, tests $((SECONDS - built)) s ==="
done

# The device build runs the same suite as the native one. Tests that exist
# only where an option builds them (a benchmark's smoke run) carry the label
# native-only.
test_names() {
  ctest --preset "$1" -N -LE native-only | sed -n 's/^ *Test *#[0-9]*: //p' | sort
}
native_tests=$(test_names default)
cross_tests=$(test_names cross-arm64)
echo "=== tests: native $(grep -c . <<<"$native_tests"), under qemu-aarch64 $(grep -c . <<<"$cross_tests") ==="
if [[ $native_tests != "$cross_tests" ]]; then
  echo "the suites differ (< native only, > cross only):" >&2
  diff <(echo "$native_tests") <(echo "$cross_tests") >&2 || true
  exit 1
fi

echo "=== packages ==="
scripts/check-packages.sh
echo "=== total: $SECONDS s ==="
