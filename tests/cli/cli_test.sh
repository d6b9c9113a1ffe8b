#!/usr/bin/env bash
# traklin-cli from outside: exit codes and the texts a user sees. Runs in build/bin.
# Usage: cli_test.sh PATH-TO-traklin-cli
set -u
cli="$1"
failures=0

# expect CODE PATTERN ARGS...: the exit code and a line of the combined output.
expect() {
  local code="$1" pattern="$2"
  shift 2
  local out rc
  out=$("$cli" "$@" 2>&1)
  rc=$?
  if [ "$rc" -ne "$code" ] || ! grep -qE -- "$pattern" <<< "$out"; then
    echo "FAILED: traklin-cli $* -> exit $rc (want $code, /$pattern/)"
    echo "$out" | head -5
    failures=$((failures + 1))
  fi
}

expect 0 'Usage' --help
expect 2 'subcommand is required'
expect 2 'DIR is required' run
expect 2 'not a span' run 1 --for 5x
expect 2 'not a time' run 1 --start yesterday
expect 2 'answer' run 1 --answer maybe
expect 2 'SECTION/KEY=VALUE' run 1 --set LEVEL=1
expect 2 'Illegal setting value LEVEL/CREATEDEPENDANTTRAINS: yes' \
  run 1 --for 1s --set LEVEL/CREATEDEPENDANTTRAINS=yes
expect 2 'No district directory' run 99
expect 2 'No district directory' check 99
expect 0 'steps: 120$' run 1 --for 1m --seed 5 --start "2024-03-15 06:00"
expect 0 '^end: 2024-03-15 06:01:00.0$' run 1 --for 1m --seed 5 --start "2024-03-15 06:00"

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "command-line cases passed"
