#!/usr/bin/env bash
# The Windows program folder, built here: Qt 6 and libzip for x86_64-w64-mingw32
# from Debian's own sources (once per machine, cached outside the repository),
# then tarvex.exe, tarvex-cli.exe and the window tests with MinGW, and the
# folder a user unpacks: build-windows/tarvex/ and build-windows/tarvex-windows.zip,
# and the installer of the same folder, build-windows/tarvex-setup-VERSION.exe.
#   bash tools/windows-build.sh        (then bash tools/windows-check.sh to try it under Wine)
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh zip >&2
qt=$(bash tools/windows-qt.sh)
libzip=$(bash tools/windows-libzip.sh)
"$qt/bin/qt-cmake" -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -Dlibzip_DIR="$libzip/lib/cmake/libzip" -DTARVEX_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build-windows -j"${TARVEX_JOBS:-2}"

# The folder as windeployqt would lay it out: the programs, what they load, the data.
folder=build-windows/tarvex
rm -rf "$folder" build-windows/tarvex-windows.zip
mkdir -p "$folder"/{platforms,imageformats,styles}
cp -r build-windows/program/. "$folder/"
cp "$qt"/bin/Qt6{Core,Gui,Widgets}.dll "$folder/"
cp "$qt/plugins/platforms/qwindows.dll" "$folder/platforms/"
cp "$qt"/plugins/imageformats/{qgif,qjpeg,qico}.dll "$folder/imageformats/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
mingw=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
cp "$mingw/libstdc++-6.dll" "$mingw/libgcc_s_seh-1.dll" /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll \
  /usr/x86_64-w64-mingw32/lib/zlib1.dll "$libzip/bin/libzip.dll" "$folder/"
(cd build-windows && zip -qr tarvex-windows.zip tarvex)
echo "build-windows/tarvex-windows.zip: $(du -h build-windows/tarvex-windows.zip | cut -f1), folder $(du -sh "$folder" | cut -f1)"
setup=$(bash tools/windows-installer.sh "$folder" build-windows)
echo "${setup#"$PWD/"}: $(du -h "$setup" | cut -f1)"
