#!/bin/sh
# Runs a Windows program of the cross build under wine, in the build's own
# wine prefix, with the compiler's runtime DLLs on the search path.
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/build/windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
runtime="Z:$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
runtime="$runtime;Z:/usr/x86_64-w64-mingw32/lib"
export WINEPATH="${KORVEX_WINEPATH:+$KORVEX_WINEPATH;}$runtime"
if [ ! -d "$WINEPREFIX" ]; then
  mkdir -p "$WINEPREFIX" && wineboot -i >/dev/null 2>&1
fi
# Arguments naming existing files become Windows paths on drive Z:, which
# wine maps to /; a Unix path would read as a switch ("/S") to some programs.
for arg in "$@"; do
  shift
  if [ -e "$arg" ]; then
    arg="Z:$(realpath "$arg" | sed 's|/|\\|g')"
  fi
  set -- "$@" "$arg"
done
exec wine "$@"
