#!/usr/bin/env bash
# Makes the Debian packages of the native build (amd64) and of the cross build
# (arm64) and checks them as a device image takes them: unpacked into a
# scratch root with dpkg -x, the plug-in in the host's plug-in folder under
# its SONAME (a link to the file that carries its major number), stripped,
# with the expected ELF identity, exports and needed libraries; and the other
# architecture's packaged plug-in is refused by the stand-in host's loader
# with a one-line reason naming both machines.
# Expects build/default and build/cross-arm64 to be built (scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

declare -A preset=([amd64]=default [arm64]=cross-arm64)
declare -A machine=([amd64]=x86-64 [arm64]=AArch64)
plugin_dir=usr/lib/upgradeviewmodel/plugins
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

for arch in amd64 arm64; do
  build=build/${preset[$arch]}
  rm -rf "$build/packages"
  if ! cpack --config "$build/CPackConfig.cmake" -B "$build/packages" >"$scratch/cpack-$arch.log" 2>&1; then
    cat "$scratch/cpack-$arch.log" >&2
    fail "cpack failed for $arch"
    continue
  fi
  debs=("$build"/packages/upgradeviewmodel_*_"$arch".deb)
  deb=${debs[0]}
  if [[ ! -f $deb ]]; then
    fail "no upgradeviewmodel package for $arch in $build/packages"
    continue
  fi
  echo "--- $deb"
  dpkg-deb -f "$deb" Package Version Architecture Depends
  [[ $(dpkg-deb -f "$deb" Architecture) == "$arch" ]] || fail "$deb: Architecture is not $arch"
  depends=$(dpkg-deb -f "$deb" Depends)
  for dep in libqt5core5a libstdc++6 libc6; do
    [[ $depends == *"$dep "* || $depends == *"$dep," || $depends == *"$dep" ]] || fail "$deb: Depends lacks $dep"
  done

  root=$scratch/root-$arch
  dpkg -x "$deb" "$root"
  # Only the plug-in's own folders.
  stray=$(cd "$root" && find . -mindepth 1 \( -type f -o -type l \) |
    grep -vE "^\./(usr/lib/upgradeviewmodel/plugins|usr/share/upgradeviewmodel/translations)/" || true)
  [[ -z $stray ]] && echo "files: $(cd "$root" && find . \( -type f -o -type l \) | sort | tr '\n' ' ')" ||
    fail "$deb: files outside the plug-in's folders: $stray"
  # The default build enforces no signatures: it ships no trust folder.
  [[ ! -e $root/etc ]] || fail "$deb: a trust folder in a build that enforces no signatures"
  plugin=$root/$plugin_dir/libupgradeviewmodel.so.1
  if [[ ! -L $plugin ]]; then
    fail "$deb: $plugin_dir/libupgradeviewmodel.so.1 is not the SONAME link"
  elif [[ ! -f $(readlink -f "$plugin") ]]; then
    fail "$deb: $plugin_dir/libupgradeviewmodel.so.1 points nowhere"
  fi
  scripts/check-plugin.sh --package "$plugin" "${machine[$arch]}" || fail "$deb: plug-in check"
  # Tools, where the build has them: one more package of the same architecture.
  for tools in "$build"/packages/upgradeviewmodel-tools_*_"$arch".deb; do
    [[ -f $tools ]] || continue
    echo "--- $tools"
    dpkg-deb -f "$tools" Package Architecture Depends
    [[ $(dpkg-deb -f "$tools" Architecture) == "$arch" ]] || fail "$tools: Architecture is not $arch"
  done
done

# Each build's stand-in loader refuses the other architecture's packaged
# plug-in (the arm64 one under the emulator); the test asserts the one-line
# reason.
foreign_check() {
  local preset=$1 foreign=$2
  echo "--- ${preset}: loading the ${foreign} package's plug-in"
  if ! UPGRADE_FOREIGN_PLUGIN=$scratch/root-$foreign/$plugin_dir/libupgradeviewmodel.so.1 \
    ctest --preset "$preset" -R '^ForeignPluginTest\.APluginForAnotherMachineIsRefusedWithAOneLineReason$' \
      --no-tests=error -V >"$scratch/foreign-$preset.log" 2>&1; then
    cat "$scratch/foreign-$preset.log" >&2
    fail "$preset: the $foreign plug-in was not refused as expected"
    return
  fi
  grep -o 'loader says: .*' "$scratch/foreign-$preset.log" | tail -1
}
if [[ -d $scratch/root-arm64 && -d $scratch/root-amd64 ]]; then
  foreign_check default arm64
  foreign_check cross-arm64 amd64
fi

# The simulator, where the builds have it: the native one's --plugin with the
# arm64 package's plug-in ends with that one-line reason, and the arm64 one
# under the emulator runs the default demo with that plug-in to the success box.
native_sim=build/default/tools/upgrade-sim/upgrade-sim
cross_sim=build/cross-arm64/tools/upgrade-sim/upgrade-sim
arm64_plugin=$scratch/root-arm64/$plugin_dir/libupgradeviewmodel.so.1
if [[ -x $native_sim && -x $cross_sim && -e $arm64_plugin ]]; then
  echo "--- native upgrade-sim --plugin <arm64 package's plug-in>"
  status=0
  "$native_sim" --plugin "$arm64_plugin" >"$scratch/sim.out" 2>"$scratch/sim.err" </dev/null || status=$?
  cat "$scratch/sim.err"
  if ((status == 0)); then
    fail "the native upgrade-sim loaded the arm64 plug-in"
  elif [[ $(wc -l <"$scratch/sim.err") -ne 1 ]] || ! grep -q 'is built for AArch64' "$scratch/sim.err"; then
    fail "the native upgrade-sim did not refuse the arm64 plug-in with one line naming AArch64"
  fi
  echo "--- arm64 upgrade-sim under qemu-aarch64 --plugin <arm64 package's plug-in>"
  status=0
  qemu-aarch64 -L / -E "LD_PRELOAD=$PWD/build/cross-arm64/emulator/libupgradeqemushim.so" \
    "$cross_sim" --plugin "$arm64_plugin" >"$scratch/sim.out" 2>"$scratch/sim.err" </dev/null || status=$?
  tail -n 3 "$scratch/sim.out"
  if ((status != 0)) || ! grep -qi 'success' "$scratch/sim.out"; then
    cat "$scratch/sim.err" >&2
    fail "the arm64 upgrade-sim did not run the demo to the success box (exit $status)"
  fi
fi

if ((failures)); then
  echo "package checks failed: $failures" >&2
  exit 1
fi
echo "package checks passed"
