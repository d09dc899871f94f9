#!/usr/bin/env bash
# Cross-compiles the core, the platform layer and tarvex-cli for Windows with
# MinGW and runs tarvex-cli under Wine on a stand-in game folder in a scratch
# Wine prefix: a check of the Windows code paths (backslash folders, the
# registry API, CreateProcess) without a Windows machine. Debian packages:
# g++-mingw-w64-x86-64-posix wine64.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
libzip=$(bash tools/windows-libzip.sh)  # also writes the toolchain file beside it
cmake -S . -B build-windows-cli -DCMAKE_TOOLCHAIN_FILE="$(dirname "$libzip")/mingw-toolchain.cmake" -DTARVEX_BUILD_UI=OFF \
  -DTARVEX_BUILD_TESTS=OFF -Dlibzip_DIR="$libzip/lib/cmake/libzip" >/dev/null
cmake --build build-windows-cli -j2 --target tarvex-cli tarvex_data
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
wine=$(command -v wine || echo /usr/lib/wine/wine64)
app="$work/app"
cp -r build-windows-cli/program "$app"
cp "$libzip/bin/libzip.dll" /usr/x86_64-w64-mingw32/lib/zlib1.dll /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libstdc++-6.dll \
  /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libgcc_s_seh-1.dll /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$app/"
mkdir -p "$WINEPREFIX/drive_c/Games/EF/BaseEF"
"$wine" cmd /c exit >/dev/null 2>&1 || true  # creates the prefix
touch "$WINEPREFIX/drive_c/Games/EF/BaseEF/pak0.pk3"
cp "$WINEPREFIX/drive_c/windows/system32/hostname.exe" "$WINEPREFIX/drive_c/Games/EF/stvoyHM.exe"
printf 'C:\\Games\\EF\\\r\n' > "$app/path.ini"
cp demo/demo.sav "$app/"
cd "$app"
"$wine" ./tarvex-cli.exe maps --save demo.sav | head -3
"$wine" ./tarvex-cli.exe render --save demo.sav > rendered.cfg
"$wine" ./tarvex-cli.exe launch --save demo.sav
cmp rendered.cfg "$WINEPREFIX/drive_c/Games/EF/BaseEF/tarvex.cfg"
echo "Windows build: maps, render and launch work; the script has CR LF line ends and matches the render."
