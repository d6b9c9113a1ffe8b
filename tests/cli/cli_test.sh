#!/usr/bin/env bash
# traklin-cli from outside: exit codes and the texts a user sees.
# Usage: cli_test.sh PATH-TO-traklin-cli PATH-TO-traklin-districtgen RUNTIME-DIR
#
# It runs in a runtime tree of its own: the generated districts 1 (Data.dat, Pult.bmp) and 2
# (Data.dat) and the pictures of RUNTIME-DIR (the build tree), with the starting Traklin.ini.
# The user's files there (saves, config/Traklin.ini, NGDP.bmp) are never read or written.
set -u
cli="$1"
districtgen="$2"
runtime="$3"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
failures=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
root="$tmp/root"
mkdir -p "$root/bin" "$root/district/1" "$root/district/2" "$root/config"
cp "$runtime/district/1/Data.dat" "$runtime/district/1/Pult.bmp" "$root/district/1/" &&
  cp "$runtime/district/2/Data.dat" "$root/district/2/" &&
  cp -r "$runtime/image" "$root/image" &&
  QT_QPA_PLATFORM=offscreen "$districtgen" config "$source_dir/data/districts/1/line.json" \
    --out "$root/config/Traklin.ini" > /dev/null || {
  echo "FAILED: cannot make the test's runtime tree from $runtime"
  exit 1
}
cd "$root/bin" || exit 1

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
expect 2 'KIND: bogus not in' report bogus 1
expect 2 'No district directory' report train 99
expect 0 '^ Всего на участке: [0-9]+$' report train 1 --for 30m --seed 5 --start "2024-03-15 06:00"
expect 0 '^   СПРАВКА О ПОДХОДАХ НА 15.03  6:00$' report approaches 1 --start "2024-03-15 06:00"

# render: the same run, then a window as PNG (only when traklin-cli was built with the console).
png="$tmp/picture.png"
if ! "$cli" render panel 99 --out "$png" 2>&1 | grep -q 'built without the console'; then
  expect 2 'WINDOW is required' render
  expect 2 'WINDOW' render screen 1 --out "$png"
  expect 2 'No district directory' render panel 99 --out "$png"
  expect 2 'cannot write' render desk 1 --for 1s --out /nonexistent/dir/x.png
  expect 0 '^time: 2024-03-15 06:01:00.0$' render panel 1 --for 1m --seed 5 \
    --start "2024-03-15 06:00" --out "$png"
  if [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    echo "FAILED: render panel wrote no PNG"
    failures=$((failures + 1))
  fi
  expect 0 '^picture: [0-9]+x[0-9]+$' render desk 1 --for 1m --seed 5 --out "$png"
  for window in gid ngdp trains; do
    expect 0 '^picture: [0-9]+x[0-9]+$' render $window 1 --for 10m --seed 5 --out "$png"
  done
fi
rm -f "$png"

# A golden event log of a short seeded run of the demo district. After a deliberate change of
# what the demo does, update it with UPDATE_GOLDEN=1 ctest -R CommandLine and review the diff.
golden="$source_dir/tests/cli/golden/run_demo_0500_3h_seed1.jsonl"
events="$tmp/golden-run.jsonl"
"$cli" run 1 --start "2024-03-15 05:00" --for 3h --seed 1 --events "$events" > /dev/null
if [ "${UPDATE_GOLDEN:-0}" = 1 ]; then
  cp "$events" "$golden"
elif ! cmp -s "$events" "$golden"; then
  echo "FAILED: the demo's event log differs from $golden:"
  diff "$golden" "$events" | head -20
  failures=$((failures + 1))
fi
rm -f "$events"

# Saves: a run saved at its end, checked, and continued from the file.
fail() {
  echo "FAILED: $1"
  failures=$((failures + 1))
}
expect 0 '^saved: ' run 1 --start "2024-03-15 06:00" --for 4h --seed 3 --save "$tmp/A.sav" \
  --events "$tmp/a.jsonl"
grep -q '"event":"save","ok":true' "$tmp/a.jsonl" || fail "no save event with ok"
expect 0 '^TRAINS_RANDOM_PLANS [0-9]+$' save-check "$tmp/A.sav" --district 1
expect 0 '^CLOCKTIME 2024-03-15 10:00:00.0$' save-check "$tmp/A.sav"
expect 0 '^start: 2024-03-15 10:00:00.0$' run 1 --load "$tmp/A.sav" --for 1h --save "$tmp/B.sav"
expect 0 '^CLOCKTIME 2024-03-15 11:00:00.0$' save-check "$tmp/B.sav"
printf '[STATE]\r\nVERSION=21\r\n' > "$tmp/bad.sav"
expect 2 'not loaded: Save file version 21 is not supported \(2 to 20\) \(line 2\)' \
  save-check "$tmp/bad.sav" --district 1
expect 2 'bad.sav: not loaded: Save file version 21' run 1 --load "$tmp/bad.sav"
expect 2 'names no district' save-check "$tmp/a.jsonl"
expect 2 'No save file' save-check "$tmp/none.sav"
expect 2 'not of district 2' save-check "$tmp/A.sav" --district 2
expect 2 'excludes' run 1 --load "$tmp/A.sav" --start "2024-03-15 06:00"
# Autosaves reach the district's saves only when asked for.
cp -r ../district/1 "$tmp/d1"
expect 0 '^events save: 0$' run "$tmp/d1" --start "2024-03-15 06:00" --for 25m --seed 1
[ ! -e "$tmp/d1/saves" ] || fail "a run without --autosave wrote saves"
expect 0 '^events save: 2$' run "$tmp/d1" --start "2024-03-15 06:00" --for 25m --seed 1 --autosave
[ -f "$tmp/d1/saves/last.sav" ] && [ -f "$tmp/d1/saves/1.sav" ] || fail "no autosaves"

# Check mode: each step also computed in full finds no difference, and the event log is the
# one of the same run without it.
"$cli" run 2 --start "2024-03-15 06:00" --for 2h --seed 3 --auto --events "$tmp/plain.jsonl" \
  > /dev/null 2>&1
expect 0 '^steps: 14400$' run 2 --start "2024-03-15 06:00" --for 2h --seed 3 --auto \
  --check-incremental --events "$tmp/checked.jsonl"
cmp -s "$tmp/plain.jsonl" "$tmp/checked.jsonl" || fail "check mode changed the event log"
expect 2 'excludes' run --replay "$tmp" --check-incremental

# Punctuality reports and scenarios.
expect 0 '^trains run: [0-9]+$' run 1 --start "2024-03-15 06:00" --for 3h --seed 1 --report -
expect 0 '^on time \(within 9 min\): [0-9]+$' run 1 --start "2024-03-15 06:00" --for 3h --seed 1 \
  --report "$tmp/p.csv" --set LEVEL/PUNCTUALITYTOLERANCEMIN=9
head -1 "$tmp/p.csv" | grep -q '^train,created,finished,station_code,' || fail "no CSV header"
expect 2 'cannot write' run 1 --for 1m --report /nonexistent/dir/p.csv
printf '# shift\n06:00 answer no 30m\n06:10 save %s\n06:20 fly\n' "$tmp/s.sav" > "$tmp/bad.txt"
expect 2 'bad.txt: line 4: unknown action: fly' run 1 --start "2024-03-15 06:00" --script "$tmp/bad.txt"
[ ! -e "$tmp/s.sav" ] || fail "a refused scenario ran"
head -3 "$tmp/bad.txt" > "$tmp/good.txt"
expect 0 '^events ask: ' run 1 --start "2024-03-15 06:00" --for 20m --seed 1 --script "$tmp/good.txt"
[ -f "$tmp/s.sav" ] || fail "the scenario's save was not written"
expect 2 'none.txt: line 0: cannot read' run 1 --script "$tmp/none.txt"
# Every question says who answered it: the run's answer, which a scenario's answer line changes
# for its span, is "runner"; the automatic dispatcher's own is "auto".
printf '06:00 answer no 1h\n' > "$tmp/no.txt"
"$cli" run 1 --start "2024-03-15 06:00" --for 80m --seed 1 --script "$tmp/no.txt" \
  --events "$tmp/no.jsonl" > /dev/null
grep '"event":"ask"' "$tmp/no.jsonl" | head -1 | grep -q '"answer":false,"by":"runner"}$' ||
  fail "the scenario's answer is not the runner's"
grep '"event":"ask"' "$tmp/no.jsonl" | tail -1 | grep -q '"answer":true,"by":"runner"}$' ||
  fail "the runner's answer did not come back after the scenario's span"
"$cli" run 1 --start "2024-03-15 00:00" --for 24h --seed 2 --auto --events "$tmp/auto.jsonl" \
  > /dev/null
grep -q '"event":"ask",.*"by":"auto"}$' "$tmp/auto.jsonl" ||
  fail "no question answered by the automatic dispatcher"

# The automatic dispatcher: stations switched to it travel in the save, and a train held by the
# example scenario for twenty minutes makes the train formed from it late as well.
expect 0 '^saved: ' run 1 --start "2024-03-15 06:00" --for 10m --seed 1 --auto-lp 6 \
  --save "$tmp/auto.sav"
expect 0 '^AUTO_DISPATCHER 1$' save-check "$tmp/auto.sav"
expect 2 'auto-lp: no LP with code 99' run 1 --for 1m --auto-lp 99
day=(run 1 --start "2024-03-15 00:00" --for 24h --seed 1 --auto)
hold="$source_dir/data/scenarios/demo-hold.txt"
"$cli" "${day[@]}" --report "$tmp/free.csv" > /dev/null
"$cli" "${day[@]}" --report "$tmp/held.csv" --script "$hold" > /dev/null
# delay TRAIN CODE FILE: the delay in minutes of the train at the station.
delay() { awk -F, -v t="$1" -v c="$2" '$1 == t && $4 == c { print $10 }' "$3"; }
# The same seed, start, settings and scenario give the same events and report, byte for byte.
"$cli" "${day[@]}" --report "$tmp/held2.csv" --script "$hold" --events "$tmp/e1.jsonl" > /dev/null
"$cli" "${day[@]}" --report "$tmp/held3.csv" --script "$hold" --events "$tmp/e2.jsonl" > /dev/null
cmp -s "$tmp/held.csv" "$tmp/held2.csv" && cmp -s "$tmp/held2.csv" "$tmp/held3.csv" ||
  fail "two runs of one seed and scenario report differently"
cmp -s "$tmp/e1.jsonl" "$tmp/e2.jsonl" || fail "two runs of one seed and scenario log differently"
[ "$(delay 6001 6 "$tmp/held.csv")" -ge 15 ] || fail "6001 was not held at Сосновка"
[ "$(delay 6002 7 "$tmp/held.csv")" -gt "$(delay 6002 7 "$tmp/free.csv")" ] ||
  fail "the hold of 6001 did not delay 6002"

# Scores of recorded shifts: six hours of the demo from one start, worked by the automatic
# dispatcher, recorded with LINE as the one operation of make_shift DIR [LINE].
make_shift() {
  printf '%s\n' "${2:-}" > "$tmp/$(basename "$1").ops"
  "$cli" run 1 --start "2024-03-15 06:00" --for 6h --seed 1 --auto --settings "$tmp/none.ini" \
    --script "$tmp/$(basename "$1").ops" --record "$1" > /dev/null
}
make_shift "$tmp/free"
make_shift "$tmp/held" "08:10 hold 6001 20m"
out=$("$cli" score "$tmp/free" "$tmp/held/" --csv "$tmp/score.csv" 2>&1) || fail "score: exit $?"
grep -qE '^ +free +held +разница$' <<< "$out" || fail "score: no titles: $(head -1 <<< "$out")"
grep -qE '^Опоздание, набранное на участке, поездо-мин +[0-9]+ +[0-9]+ +\+[0-9]+$' <<< "$out" ||
  fail "score: the hold made no delay: $(grep 'Опоздание, наб' <<< "$out")"
grep -qE '^Задержек поездов +0 +1 +\+1$' <<< "$out" || fail "score: the hold was not counted"
grep -A1 'набрали (held):' <<< "$out" | grep -qE '^  № 6001 ' || fail "score: 6001 not the first"
grep -q 'differs' <<< "$out" && fail "score: a replay differed from its record"
[ "$(wc -l < "$tmp/score.csv")" = 3 ] && head -1 "$tmp/score.csv" | grep -q '^shift,trains_run,' &&
  grep -q '^held,.*,6001:' "$tmp/score.csv" || fail "score: bad CSV"
expect 2 'no such folder' score "$tmp/none"
expect 2 'not a shift \(no shift.txt\)' score "$tmp"
cp -r "$tmp/free" "$tmp/edited"
sed -i '1s/"time"/"TIME"/' "$tmp/edited/events.jsonl"
expect 0 'the replay differs from events.jsonl from line 1' score "$tmp/edited"
sed -i '2s/.*/seed x/' "$tmp/edited/shift.txt"
expect 2 'shift.txt: line 2' score "$tmp/edited"
expect 2 'cannot write' score "$tmp/free" --csv /nonexistent/dir/s.csv
# Studies: a row per seed and the totals, the same whatever the jobs and shards; each seed's
# events are those of a run of that seed alone.
expect 2 'seeds: not a range A\.\.B of seeds with A not above B: 5\.\.3' study 1 --seeds 5..3
expect 2 'seeds: not a range A\.\.B .*: a\.\.b' study 1 --seeds a..b
expect 2 'shard: not I/N with 0 <= I < N: 3/2' study 1 --seeds 1..4 --shard 3/2
expect 2 'shard: not I/N with 0 <= I < N: 0/0' study 1 --seeds 1..4 --shard 0/0
expect 2 '^--seeds is required$' study 1
expect 2 '^DIR is required \(or --merge' study --seeds 1..4
expect 2 'No district directory' study 99 --seeds 1..4
expect 2 'not a span' study 1 --seeds 1..4 --for 5x
expect 2 'auto-lp: no LP with code 99' study 1 --seeds 1..4 --auto-lp 99
expect 2 '^--jobs: not a number of runs at a time, 1 or more: 0$' study 1 --seeds 1..4 --jobs 0
expect 2 '^--jobs: not a number of runs at a time, 1 or more: two$' study 1 --seeds 1..4 --jobs two
expect 2 'bad.txt: line 4: unknown action: fly' study 1 --seeds 1..4 --script "$tmp/bad.txt"
expect 2 'cannot write' study 1 --seeds 1..4 --csv /nonexistent/dir/s.csv
expect 2 "none.csv: line 0: cannot read the file" study --merge "$tmp/none.csv"
expect 2 'takes the shards. CSV files only' study 1 --merge "$tmp/none.csv"
study=(study 1 --start "2024-03-15 05:00" --for 1h --auto)
expect 0 '^seeds: 4 \(1\.\.4, shard 0/1\), jobs: 1, wall seconds: ' "${study[@]}" --seeds 1..4 \
  --jobs 1 --csv "$tmp/j1.csv" --events-dir "$tmp/ev"
"$cli" "${study[@]}" --seeds 1..4 --jobs 2 --csv "$tmp/j2.csv" > "$tmp/whole.txt"
"$cli" "${study[@]}" --seeds 1..4 --shard 1/2 --csv "$tmp/s1.csv" > /dev/null
"$cli" "${study[@]}" --seeds 1..4 --shard 0/2 --csv "$tmp/s0.csv" > /dev/null
"$cli" study --merge "$tmp/s1.csv" "$tmp/s0.csv" --csv "$tmp/merged.csv" > "$tmp/merged.txt"
# without_wall FILE: the CSV without its wall_seconds column (the 15th of a one-day study).
without_wall() { cut -d, -f1-14,16- "$1"; }
head -1 "$tmp/j1.csv" | grep -q '^seed,created_d1,removed_d1,mean_in_district_d1,in_district_end,' ||
  fail "no study CSV header"
[ "$(wc -l < "$tmp/j1.csv")" -eq 5 ] || fail "the study CSV has not four rows"
[ "$(without_wall "$tmp/j1.csv")" = "$(without_wall "$tmp/j2.csv")" ] ||
  fail "a study's rows differ between --jobs 1 and --jobs 2"
[ "$(without_wall "$tmp/j1.csv")" = "$(without_wall "$tmp/merged.csv")" ] ||
  fail "the merged shards' rows differ from the whole study's"
totals() { grep '^all ' "$1" | awk '{ NF--; print }'; }
[ -n "$(totals "$tmp/whole.txt")" ] && [ "$(totals "$tmp/whole.txt")" = "$(totals "$tmp/merged.txt")" ] ||
  fail "the merged shards' totals differ from the whole study's"
"$cli" run 1 --start "2024-03-15 05:00" --for 1h --auto --seed 3 --events "$tmp/run3.jsonl" > /dev/null
cmp -s "$tmp/run3.jsonl" "$tmp/ev/seed-3.jsonl" || fail "a seed's events differ inside a study"
{ head -2 "$tmp/j1.csv"; echo "9,1,2"; } > "$tmp/short.csv"
expect 2 'short.csv: line 3: 3 fields where the header has 17' study --merge "$tmp/short.csv"
expect 2 's0.csv: line 2: seed 1 is on .*j1.csv: line 2 as well' study --merge "$tmp/j1.csv" "$tmp/s0.csv"
# Shifts: a run recorded with its scenario and answers, replayed to the same log; an edited
# shift replays to its first difference (exit 3), a damaged one is refused with its line (exit 2).
shift="$tmp/shift"
printf '06:01 route 6 1 1 2 1\n06:13 commit 9 odd\n07:00 answer no 30m\n07:21 put 802 9 2\n' \
  > "$tmp/ops.txt"
expect 0 "^recorded: $shift\$" run 1 --start "2024-03-15 06:00" --for 2h --seed 3 \
  --script "$tmp/ops.txt" --record "$shift" --events "$tmp/rec.jsonl"
for f in start.sav shift.txt events.jsonl; do [ -s "$shift/$f" ] || fail "no $f in the shift"; done
cmp -s "$tmp/rec.jsonl" "$shift/events.jsonl" || fail "--events and the shift's log differ"
grep -q '^2024-03-15 06:00:59.5 route 6 1 1 2 1$' "$shift/shift.txt" || fail "no route line"
grep -q '^[0-9:.]* reply no  # ' "$shift/shift.txt" || fail "no reply line in shift.txt"
expect 0 '^replay: identical to events.jsonl' run --replay "$shift" --events "$tmp/rep.jsonl"
cmp -s "$tmp/rep.jsonl" "$shift/events.jsonl" || fail "the replayed --events differ"
expect 2 'excludes' run 1 --replay "$shift"
expect 2 'excludes' run --replay "$shift" --seed 4
cp -r "$shift" "$tmp/edited-shift"
sed -i '0,/reply no/s//reply yes/' "$tmp/edited-shift/shift.txt"
expect 3 '^replay: differs from events.jsonl at line [0-9]+$' run --replay "$tmp/edited-shift"
expect 3 '^expected: .*"answer":false' run --replay "$tmp/edited-shift"
cp -r "$shift" "$tmp/damaged"
sed -i 's/ route 6 1 1 2 1$/ route 6 1 1 2/' "$tmp/damaged/shift.txt"
line=$(grep -n ' route 6 1 1 2$' "$tmp/damaged/shift.txt" | cut -d: -f1)
expect 2 "damaged/shift.txt: line $line: route: expected 5 arguments, got 4" \
  run --replay "$tmp/damaged"
rm "$tmp/damaged/start.sav"
expect 2 'damaged/start.sav: not loaded: No save file' run --replay "$tmp/damaged"
expect 2 'no such file' run --replay "$tmp/none"
expect 2 'DIR is required' run --events "$tmp/x.jsonl"
# District 2 with the automatic dispatcher on part of the line and a span of answers no.
printf '05:10 commit 8 odd\n05:20 task 8 transit even II\n05:30 answer no 20m\n05:40 canceltask 8\n05:50 auto 11 off\n06:00 hold 601 15m\n' \
  > "$tmp/ops2.txt"
expect 0 "^recorded: " run 2 --start "2024-03-15 05:00" --for 90m --seed 2 --auto \
  --script "$tmp/ops2.txt" --record "$tmp/shift2"
expect 0 '^replay: identical to events.jsonl' run --replay "$tmp/shift2"
# The shift's moments pictured (with the console only).
if ! "$cli" render panel 99 --out "$tmp/x.png" 2>&1 | grep -q 'built without the console'; then
  expect 0 '^time: 2024-03-15 07:30:00.0$' render gid --replay "$shift" \
    --at "2024-03-15 07:30" --out "$tmp/gid.png"
  # The plan behind the executed lines; the other windows have none.
  expect 0 '^picture: [0-9]+x[0-9]+$' render gid --replay "$shift" --at "2024-03-15 07:30" \
    --with-plan --out "$tmp/plan.png"
  if cmp -s "$tmp/gid.png" "$tmp/plan.png"; then
    echo "FAILED: render gid --with-plan drew no plan"
    failures=$((failures + 1))
  fi
  expect 2 '--with-plan: only for the gid window' render panel --replay "$shift" \
    --at "2024-03-15 07:30" --with-plan --out "$tmp/p.png"
  expect 2 'the shift runs from 2024-03-15 06:00:00.0 to 2024-03-15 08:00:00.0' \
    render panel --replay "$shift" --at "2024-03-15 09:00" --out "$tmp/p.png"
  expect 2 'requires --at|--at is required|needs' render panel --replay "$shift" --out "$tmp/p.png"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "command-line cases passed"
