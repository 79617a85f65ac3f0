#!/usr/bin/env bash
# Line and branch coverage of the plug-in's core: installs what is missing,
# builds the coverage preset, runs the whole test suite and prints the figures
# per folder and in total; the HTML report lands in
# build/coverage/coverage-html/index.html.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/coverage
# The core's folders. Files count by the folder they are in today, so sources
# moving or splitting between them need no change here.
folders=(upgrade json message plugin protomodel host constants)

scripts/install-missing.sh -f scripts/packages.txt gcovr

cmake --preset coverage >/dev/null
cmake --build --preset coverage
# Counters of an earlier run would add up with this one's.
find "$build" -name '*.gcda' -delete
tests_ok=1
ctest --preset coverage --no-tests=ignore || tests_ok=0

filters=()
for f in "${folders[@]}"; do filters+=(--filter "$f/"); done
rm -rf "$build/coverage-html"
mkdir -p "$build/coverage-html"
# Branches that only exceptions take, or that the compiler proves dead, are
# not decisions of our code; CMake's compiler check (CMakeFiles/<version>/)
# is no source of ours.
gcovr --root "$root" --object-directory "$build" "${filters[@]}" \
  --exclude-directories "$build/CMakeFiles/[0-9]" \
  --exclude-throw-branches --exclude-unreachable-branches -j 2 \
  --json-summary "$build/coverage-summary.json" \
  --txt "$build/coverage-files.txt" \
  --html-details "$build/coverage-html/index.html" --html-title "upgradeviewmodel core"

python3 - "$build/coverage-summary.json" "${folders[@]}" <<'PY'
import json
import sys

summary = json.load(open(sys.argv[1]))
folders = sys.argv[2:]
totals = {f: [0, 0, 0, 0] for f in folders}
for entry in summary["files"]:
    folder = entry["filename"].split("/", 1)[0]
    if folder in totals:
        for i, key in enumerate(("line_covered", "line_total", "branch_covered", "branch_total")):
            totals[folder][i] += entry[key]

def pct(covered, total):
    return f"{100.0 * covered / total:6.1f} %" if total else "     - "

print(f"{'folder':<12} {'lines covered':<26} {'branches covered':<26}")
everything = [0, 0, 0, 0]
for folder in folders:
    lc, lt, bc, bt = totals[folder]
    everything = [a + b for a, b in zip(everything, totals[folder])]
    print(f"{folder + '/':<12} {lc:>7} / {lt:<7} {pct(lc, lt)} {bc:>7} / {bt:<7} {pct(bc, bt)}")
lc, lt, bc, bt = everything
print(f"{'total':<12} {lc:>7} / {lt:<7} {pct(lc, lt)} {bc:>7} / {bt:<7} {pct(bc, bt)}")
PY
echo "per file: $build/coverage-files.txt"
echo "report:   $build/coverage-html/index.html"
if ((!tests_ok)); then
  echo "coverage: some tests failed; the figures are of the run as it went" >&2
  exit 1
fi
