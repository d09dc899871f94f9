#!/usr/bin/env bash
# Every C++ file of the repository as its .clang-format lays it out (Debian's
# clang-format); lists each file that differs and fails. To mend them:
#   git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh clang-format >&2
differ=()
while IFS= read -r file; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || differ+=("$file")
done < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests app bench fuzz -name '*.cpp' -o -name '*.h')
if [ ${#differ[@]} -gt 0 ]; then
  echo "not as .clang-format lays them out: ${differ[*]}"
  exit 1
fi
echo "every C++ file is formatted"
