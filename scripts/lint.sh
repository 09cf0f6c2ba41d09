#!/usr/bin/env bash
# The checks CI runs on the code itself, each failing on any finding:
# clang-format (.clang-format; hand-laid tables sit in "clang-format off"
# regions), shellcheck (.shellcheckrc) and clang-tidy (.clang-tidy) over
# the sources compiled in BUILD_DIR (its compile_commands.json).
#
#   scripts/lint.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: scripts/lint.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."

# Code and settings hold for clang-format and clang-tidy 14 (Debian 12) and
# 19 (Debian 13) alike: each is run as the distribution installs it.
echo "== clang-format $(clang-format --version | sed -n 's/.*version \([0-9.]*\).*/\1/p')"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "== shellcheck"
git ls-files '*.sh' .ci/run | xargs shellcheck
echo "== clang-tidy $(clang-tidy --version | sed -n 's/.*version \([0-9.]*\).*/\1/p')"
tidy=$(command -v run-clang-tidy || command -v run-clang-tidy-14)
# The compiler's own warnings (clang's -Wall sees a few GCC's does not)
# count as findings too, whatever flags the build was configured with.
status=0
"$tidy" -p "$build" -j "$(nproc)" -quiet -extra-arg=-Werror \
  "$(pwd)/(library|platform|offscreen|stimulus|tools|tests|bench|examples)/" >"$build/clang-tidy.log" 2>&1 || status=$?
# (run-clang-tidy's progress lines: "clang-tidy-14 ..." in 14, "[ 1/78][0.4s] clang-tidy-19 ..." in 19)
grep -v '^\(\[ *[0-9]*/[0-9]*\]\[[0-9.]*s\] \)\?clang-tidy-[0-9]* \|^Running clang-tidy for \|^[0-9]* warnings\? generated\.$\|^Suppressed \|^Use -header-filter\|^Enabled checks:\|^$' \
  "$build/clang-tidy.log" || true
[ "$status" = 0 ] && echo "clean" || echo "clang-tidy found the above"
exit "$status"
