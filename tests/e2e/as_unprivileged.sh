#!/usr/bin/env bash
# Runs the read-only cases as an ordinary user, for whom a read-only folder is really
# read-only (root writes anyway). Skipped (77) where no such user can reach the build.
#   as_unprivileged.sh CORE_TESTS GUI_TESTS
set -uo pipefail
core=$1; gui=$2
run() { "$@"; }
if [ "$(id -u)" = 0 ]; then
  command -v runuser >/dev/null || { echo "no runuser: skipped"; exit 77; }
  runuser -u nobody -- test -x "$core" || { echo "the build is not reachable for nobody: skipped"; exit 77; }
  run() { runuser -u nobody -- env HOME=/tmp XDG_RUNTIME_DIR=/tmp "$@"; }
fi
cd /tmp
run "$core" --gtest_filter='*ReadOnly*' --gtest_brief=1 || exit 1
QT_QPA_PLATFORM=offscreen run "$gui" --gtest_filter='FileSafety.AReadOnly*' --gtest_brief=1 || exit 1
