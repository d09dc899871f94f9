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
cat > "$work/mingw.cmake" <<'CMAKE'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
CMAKE
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" -DTARVEX_BUILD_UI=OFF \
  -DTARVEX_BUILD_TESTS=OFF -DCMAKE_EXE_LINKER_FLAGS="-static" >/dev/null
cmake --build build-windows -j2 --target tarvex-cli tarvex_data
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
wine=$(command -v wine || echo /usr/lib/wine/wine64)
app="$work/app"
cp -r build-windows/program "$app"
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
