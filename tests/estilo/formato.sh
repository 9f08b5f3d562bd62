#!/usr/bin/env bash
# Every C++ file of the program, its tests and its benchmarks as clang-format leaves it (the repository's
# .clang-format). To fix: make format.
set -euo pipefail
cd "$1"
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror "${files[@]}"
