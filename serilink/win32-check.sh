#!/usr/bin/env bash
# Cross-compiles the Windows serilink DLL and checks that its export table
# holds exactly the library's undecorated names, and that a program links
# against its import library.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
cc=i686-w64-mingw32-gcc
objdump=i686-w64-mingw32-objdump
for tool in "$cc" "$objdump" i686-w64-mingw32-dlltool; do
  command -v "$tool" >/dev/null || { echo "win32-check: $tool not found (package g++-mingw-w64-i686)" >&2; exit 1; }
done
tmp="$(mktemp -d "${TMPDIR:-/tmp}/serilink-win32.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT

"$cc" -std=c11 -O2 -Wall -Wextra -Werror -shared -DSERILINK_BUILD -I"$root" \
  "$here/serilink.c" "$here/win32.c" \
  -Wl,--kill-at -Wl,--output-def,"$tmp/exports.def" -static-libgcc -o "$tmp/serilink.dll"
# The import library maps the callers' decorated __stdcall names onto the
# plain exported ones.
sed -E 's/^([[:space:]]*)[A-Za-z_][A-Za-z0-9_]* = ([^ ]+)/\1\2/' "$tmp/exports.def" >"$tmp/serilink.def"
i686-w64-mingw32-dlltool -D serilink.dll -d "$tmp/serilink.def" -k -l "$tmp/libserilink.dll.a"

want="errCode errText scAddChkSum scChkSum scDone scErrCode scErrText scInit scRead scTimeOut scWrite"
got="$("$objdump" -p "$tmp/serilink.dll" | awk '
  /^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
  on && /^[[:space:]]*\[[[:space:]]*[0-9]+\]/ { print $NF; next }
  on && NF == 0 { on = 0 }' | sort | tr '\n' ' ' | sed 's/ $//')"
if [ "$got" != "$want" ]; then
  echo "win32-check: export table differs" >&2
  echo "  want: $want" >&2
  echo "  got:  $got" >&2
  exit 1
fi

cat >"$tmp/use.c" <<'C'
#include "serilink/serilink.h"
int main(void)
{
    unsigned char f[5] = {0xF4, 0x57, 0x01, 0x00, 0};
    scAddChkSum(f, 4);
    if (scInit(1, "baud=8192 parity=N data=8 stop=1") == 0) {
        scTimeOut(20, 10, 50);
        scWrite(f, 5);
        scRead(f, 5);
        scDone();
    }
    return scChkSum(f, 5) + scErrCode() + errCode + errText[0] + (scErrText() == errText);
}
C
"$cc" -std=c11 -Wall -Wextra -Werror -I"$root" "$tmp/use.c" -L"$tmp" -lserilink -o "$tmp/use.exe"
imports="$("$objdump" -p "$tmp/use.exe" | awk '/DLL Name: serilink.dll/ { on = 1; next } on && /DLL Name:/ { on = 0 } on && /^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+[A-Za-z]/ { print $NF }' | sort | tr '\n' ' ')"
for name in scInit scTimeOut scWrite scRead scDone scAddChkSum scChkSum scErrCode scErrText errCode errText; do
  case " $imports " in
    *" $name "*) ;;
    *) echo "win32-check: a program does not import $name by its plain name (imports: $imports)" >&2; exit 1 ;;
  esac
done
echo "win32-check: serilink.dll exports exactly: $got"
