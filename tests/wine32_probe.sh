# Sourced by tests/run_all.sh and its test: whether Wine can start a 32-bit Windows program.
# Without its 32-bit loader Wine still exits 0 from a 32-bit program, silently where WINEDEBUG
# is -all, so the loader counts only when a tiny i686 program it starts prints the line expected.

# wine32_loader_runs [LOADER [WINE [COMPILER]]]: 0 when it runs; otherwise 1, with the reason in
# `why_no_wine32`. The defaults are Debian's: the loader wine32:i386 installs and the `wine`
# command that picks it, in the Wine prefix of the environment.
wine32_loader_runs() {
  local loader=${1:-/usr/lib/wine/wine} wine=${2:-wine} compiler=${3:-i686-w64-mingw32-gcc-posix}
  local probe printed
  why_no_wine32=""
  if [[ ${ABSBENCH_NO_WINE32:-} == 1 ]]; then
    why_no_wine32="Wine's 32-bit loader is not installed, as ABSBENCH_NO_WINE32=1 asks to assume"
    return 1
  fi
  if [[ ! -x $loader ]]; then
    why_no_wine32="Wine's 32-bit loader is not installed ($loader is missing)"
    return 1
  fi
  probe=$(mktemp -d)
  printf '#include <stdio.h>\nint main(void) { puts("wine32 probe"); return 0; }\n' >"$probe/probe.c"
  if ! "$compiler" "$probe/probe.c" -o "$probe/probe.exe" 2>"$probe/errors"; then
    why_no_wine32="the 32-bit Windows probe could not be built: $(head -n 1 "$probe/errors")"
  else
    printed=$(timeout 120 "$wine" "$probe/probe.exe" </dev/null 2>/dev/null | tr -d '\r')
    [[ $printed == "wine32 probe" ]] ||
      why_no_wine32="Wine's 32-bit loader is installed but did not run a 32-bit program (it printed '${printed:0:60}')"
  fi
  rm -rf "$probe"
  [[ -z $why_no_wine32 ]]
}
