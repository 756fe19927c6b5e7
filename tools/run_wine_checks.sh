#!/usr/bin/env bash
# The Windows module's checks under Debian's wine64, after
# tools/build_windows.sh:
#   1. both passes of the x86-64 module (tools/rawhost) against the Linux
#      module on the same generated clips and settings: progressive,
#      interlaced and rolling-shutter video, 1 and 4 processors. The logs must
#      be byte-identical and the pass-2 frames identical (or, where the two C
#      runtimes' mathematics differ in the last bit, within 1 per channel);
#   2. frames with GDI's text saved as PNG pictures to look at: pass 1's
#      vectors and result line, pass 2's "delayed" message frame;
#   3. the progress dialog, and the settings dialog from both templates
#      (tests/windows/dialogs_test.cpp), with screenshots;
#   4. the same on the i686 module where the machine runs 32-bit Windows
#      programs (a 32-bit Wine); otherwise it says so.
# Pictures go to <windows build>/test-output. A throw-away Wine prefix lives in
# the build tree and is reused; GDI draws without a display (null driver).
# Usage: run_wine_checks.sh LINUX_BUILD [WINDOWS_BUILD_ROOT]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
linux="$(cd "${1:?usage: run_wine_checks.sh LINUX_BUILD [WINDOWS_BUILD_ROOT]}" && pwd)"
windowsRoot="${2:-$root/build-windows}"
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64="$(command -v wine64 || true)"
if [ -z "$wine64" ]; then echo "run_wine_checks.sh: wine64 not found (apt-get install wine64)" >&2; exit 1; fi
for tool in quiventa quiventa-clipgen quiventa-rawhost quiventa-framecompare Quiventa.vdf; do
  found="$(find "$linux" -maxdepth 3 -name "$tool" -type f | head -n 1)"
  if [ -z "$found" ]; then echo "run_wine_checks.sh: $tool missing in $linux" >&2; exit 1; fi
  declare "path_${tool//[-.]/_}=$found"
done

export WINEPREFIX="$windowsRoot/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/quiventa-prefix-ready" ]; then
  echo "== creating the Wine prefix $WINEPREFIX (once)"
  "$wine64" wineboot -i >/dev/null 2>&1 || true
  # The null graphics driver: windows and GDI without a display.
  "$wine64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  "$(dirname "$wine64")/wineserver" -w 2>/dev/null || true
  touch "$WINEPREFIX/quiventa-prefix-ready"
fi

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# settingsFor PASS CASE: the Config statement of a run, from the Linux host.
# The host's config command leaves the pass to its other commands; the pass
# is the second field of the settings string.
settingsFor() {
  local pass="$1" case="$2" sets=(--set logFilePath=run.log --set videoOutput=1)
  case "$case" in
    interlaced) sets+=(--set interlaced=1 --set upperFieldFirst=0) ;;
    rolling) sets+=(--set rollingShutter=1) ;;
    delayed) sets+=(--set usePreviousFrames=1 --set useFutureFrames=1 --set futureFrames=3) ;;
  esac
  "$path_quiventa" config "${sets[@]}" | sed -E "s/^Config\(\"([0-9]+)\|[0-9]+\|/Config(\"\1|$pass|/"
}

# Wine itself now and then hangs while it starts a program: the new process
# waits on the wine server for ever and uses no processor time. Such a run is
# stopped after two minutes and started once more; a program of ours that
# hangs does so twice and fails.
underWine() {
  local status=0
  timeout 120 "$wine" "$@" || status=$?
  if [ "$status" = 124 ]; then
    echo "note: Wine did not finish $1 within 120 s; starting it once more" >&2
    status=0
    timeout 120 "$wine" "$@" || status=$?
  fi
  return "$status"
}

# runBoth PLATFORM_DIR HOST MODULE CLIP SIZE PROCESSORS CASE [wine]
runPass() {
  local dir="$1" pass="$2" processors="$3" case="$4" size="$5"; shift 5
  (cd "$dir" && "$@" --module ./Quiventa.vdf --input ../clip.raw --size "$size" \
    --settings "$(settingsFor "$pass" "$case")" --processors "$processors" \
    --output "pass$pass.raw" --png 0="pass$pass-frame0.png" --png 10="pass$pass-frame10.png" >/dev/null)
}

compareArchitecture() {
  local arch="$1" winBuild="$windowsRoot/$1"
  local work="$winBuild/wine-compare" out="$winBuild/test-output"
  rm -rf "$work"
  mkdir -p "$work" "$out"
  for case in progressive interlaced rolling delayed; do
    local variant=shaky size=160x120
    [ "$case" = interlaced ] && variant=interlaced
    [ "$case" = rolling ] && variant=rolling
    mkdir -p "$work/$case"
    "$path_quiventa_clipgen" "$work/$case/clip.raw" --size "$size" --frames 20 \
      --variant "$variant" --threads 1 >/dev/null
    for processors in 1 4; do
      [ "$case" = delayed ] && [ "$processors" = 4 ] && continue
      local linuxDir="$work/$case/linux-$processors" winDir="$work/$case/windows-$processors"
      mkdir -p "$linuxDir" "$winDir"
      cp "$path_Quiventa_vdf" "$linuxDir/"
      cp "$winBuild/Quiventa.vdf" "$winBuild/quiventa-rawhost.exe" "$winDir/"
      for pass in 1 2; do
        runPass "$linuxDir" "$pass" "$processors" "$case" "$size" "$path_quiventa_rawhost"
        runPass "$winDir" "$pass" "$processors" "$case" "$size" underWine ./quiventa-rawhost.exe
      done
      local name="$arch $case, $processors processor(s)"
      if cmp -s "$linuxDir/run.log" "$winDir/run.log"; then
        echo "$name: log identical ($(wc -l <"$winDir/run.log") lines)"
      else
        fail "$name: the logs differ"; diff "$linuxDir/run.log" "$winDir/run.log" | head -n 6
      fi
      local outSize=160x130 pass2Size=160x120
      [ "$case" = interlaced ] && outSize=160x140
      local result=0 report
      report="$("$path_quiventa_framecompare" "$linuxDir/pass2.raw" "$winDir/pass2.raw" "$pass2Size")" ||
        result=$?
      case "$case:$result" in
        delayed:*) echo "$name: pass-2 frames: $report (the first 3 are GDI's message frames)" ;;
        *:0) echo "$name: pass-2 frames identical: $report" ;;
        *:3) echo "$name: pass-2 frames within 1 per channel: $report" ;;
        *) fail "$name: pass-2 frames differ: $report" ;;
      esac
      # Pass 1: the picture with GDI's vectors must match ours; only the text
      # lines, rasterised by two different font engines, are left out.
      local textRows=(--skip-rows 120-129)
      [ "$case" = interlaced ] && textRows=(--skip-rows 60-69 --skip-rows 130-139)
      result=0
      report="$("$path_quiventa_framecompare" "$linuxDir/pass1.raw" "$winDir/pass1.raw" "$outSize" \
        "${textRows[@]}")" || result=$?
      if [ "$result" = 0 ]; then
        echo "$name: pass-1 pictures and vectors identical (text lines aside): $report"
      else
        fail "$name: pass-1 pictures differ: $report"
      fi
    done
  done
  # Pictures drawn with GDI under Wine: pass 1's vectors and result lines,
  # pass 2's message frame while it waits for future frames.
  for case in progressive interlaced; do
    cp "$work/$case/windows-1/pass1-frame10.png" "$out/$case-pass1-frame10.png"
  done
  cp "$work/delayed/windows-1/pass2-frame0.png" "$out/delayed-pass2-message.png"
}

# The shipped module: a PE32 DLL for i386 that exports exactly the two
# entries, undecorated, and imports system DLLs only.
checkShippedModule() {
  local module="$windowsRoot/i686/Quiventa.vdf" header exports imports
  header="$(i686-w64-mingw32-objdump -p "$module")"
  exports="$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$header" | awk '/^\t\[ *[0-9]+\]/ {print $3}' | sort | tr '\n' ' ')"
  imports="$(awk '/DLL Name:/ {print toupper($3)}' <<<"$header" | sort | tr '\n' ' ')"
  grep -q 'file format pei-i386' <<<"$header" && grep -q 'Magic.*(PE32)' <<<"$header" &&
    grep -qx $'\tDLL' <<<"$header" || fail "$module is not a PE32 DLL for i386"
  [ "$exports" = "VirtualdubFilterModuleDeinit VirtualdubFilterModuleInit2 " ] ||
    fail "$module exports: $exports"
  for dll in $imports; do
    case "$dll" in
      ADVAPI32.DLL | COMCTL32.DLL | COMDLG32.DLL | GDI32.DLL | KERNEL32.DLL | MSVCRT.DLL | \
        SHELL32.DLL | USER32.DLL) ;;
      *) fail "$module imports $dll, not a system DLL" ;;
    esac
  done
  echo "i686 Quiventa.vdf: PE32 DLL for i386, exports: $exports; imports: $imports"
}
checkShippedModule

can32=no
if command -v wine >/dev/null && [ -d "$windowsRoot/i686" ] &&
  (cd "$windowsRoot/i686" && timeout 120 wine ./quiventa-rawhost.exe --help >/dev/null 2>&1 ||
    [ $? = 2 ]); then
  can32=yes
fi

wine="$wine64"
compareArchitecture x86_64
echo "== the progress and settings dialogs (x86_64)"
timeout 300 "$wine64" "$windowsRoot/x86_64/quiventa_dialogs_win32_test.exe" \
  "$(WINEDEBUG=-all "$wine64" winepath -w "$windowsRoot/x86_64/test-output" 2>/dev/null)" ||
  fail "the dialogs under Wine"
if [ "$can32" = yes ]; then
  wine="$(command -v wine)"
  compareArchitecture i686
else
  echo "== i686: this machine runs no 32-bit Windows programs (no 32-bit Wine); the i686 module is built, not run"
fi
if ((failures > 0)); then echo "$failures Wine check(s) failed"; exit 1; fi
echo "All Wine checks passed; pictures in $windowsRoot/x86_64/test-output"
