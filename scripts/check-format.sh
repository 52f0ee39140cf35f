#!/usr/bin/env bash
# Fails when clang-format would change any C++ file of the project.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.h' '*.cpp')
if [ "${#files[@]}" -eq 0 ]; then
  exit 0
fi
clang-format --dry-run --Werror "${files[@]}"
echo "clang-format: ${#files[@]} files clean"
