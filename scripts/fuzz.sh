#!/usr/bin/env bash
# Fuzzes the file readers with libFuzzer (clang, AddressSanitizer, UBSan, leak checks).
#   scripts/fuzz.sh SECONDS [FAMILY...]
# Runs each family (all when none is named) for SECONDS, at most FUZZ_PARALLEL (3) at a
# time, each as one process; a fuzzer that stops on a fault is restarted on its corpus
# until its time is used. Prints inputs, crashes, hangs, leaks and out-of-memory stops per
# family; inputs that stopped a run are kept in build-fuzz/fuzz-runs/FAMILY/artifacts/.
# FUZZ_MALLOC_LIMIT_MB sets the largest single allocation allowed (default 2048).
# The corpora persist between runs. Not part of the build or of CI.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
all_families=(bmp pcx tga gif tiff png jpeg raw kv ts pad catalogue wave aew seg2 lng peak stress
              template eventlist)
if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS [FAMILY...]   families: ${all_families[*]}" >&2
  exit 2
fi
seconds=$1
shift
families=("$@")
[ ${#families[@]} -eq 0 ] && families=("${all_families[@]}")
parallel=${FUZZ_PARALLEL:-3}
timeout_s=${FUZZ_TIMEOUT:-25}
# A single allocation above this stops a run as out-of-memory (the image targets hold
# decoded pictures to 64 MiB, so FUZZ_MALLOC_LIMIT_MB=65 shows any buffer beyond that).
malloc_limit=${FUZZ_MALLOC_LIMIT_MB:-2048}
build="$root/build-fuzz"
runs="$build/fuzz-runs"

export CCACHE_BASEDIR="$root"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTV_BUILD_FUZZ=ON -DTV_BUILD_TESTS=OFF -DTV_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
if [ -z "${FUZZ_NO_BUILD:-}" ]; then
  cmake --build "$build" -j 3 --target fuzzers >/dev/null || { echo "fuzz build failed" >&2; exit 1; }
fi

# Seed files: the project's own fixtures of each family.
seeds_of() {
  local t="$root/imagefiles/testdata" s="$root/base/series/testdata"
  img() { for e in "$@"; do find "$t" -type f -iname "*.$e" -size -200k; done; }
  case $1 in
    bmp) img bmp ;;
    pcx) img pcx ;;
    tga) img tga ;;
    gif) img gif ;;
    tiff) img tif tiff ;;
    png) img png ;;
    jpeg) img jpg jpeg ;;
    raw) img bif ;;
    kv) ls "$s"/*.kv0 ;;
    ts) ls "$s"/*.kv0 "$s"/*.kvb "$s"/*.dlv ;;
    pad) ls "$root"/examples/*/*.pad ;;
    catalogue) ls "$root"/examples/*/*.aeh ;;
    wave) ls "$root"/examples/*/*/*.WAV | head -3 ;;
    seg2 | lng | aew) ls "$root"/aecore/waveform/testdata/seg2/*.seg2 ;;
    peak) ls "$s"/kv_peak*.kv0 ;;
  esac 2>/dev/null
}

# Small hand-written seeds of the text formats that have no fixture file.
write_text_seeds() {
  local dir=$1
  case $2 in
    stress)
      printf '[BASE TIME]26/12/10 10:00:00\n00:00:00 1.0 2.0 3.0 4.0\n00:00:20 1.5 2.5 3.5 4.5\n' >"$dir/seed1" ;;
    template)
      printf 'templates\nsamples rate pick sn amp rise\n4 10 1 5.0 -120.0 0.5\n0 1 -3 2\n3 10 1 4.0 80.0\n1 2 1\n' >"$dir/seed1" ;;
    eventlist)
      printf 'h1\nh2\nh3\nh4\n3 12.5 1.0 2.0 3.0 -6.5 0.1 0.2 0.0 9\n7 20.25 -1.0 0.0 4.0 -7.0 0.0 0.0 0.0 12\n' >"$dir/seed1" ;;
    peak)
      printf 'PKF1\002\000\000\000\001\012\000\000\000\100\000\000\000\002\013\000\000\000\200\000\000\000' >"$dir/seed-pkf1" ;;
  esac
}

run_family() {
  local fam=$1 bin="$build/fuzz/fuzz_$1"
  local dir="$runs/$fam"
  mkdir -p "$dir/corpus" "$dir/seeds" "$dir/artifacts"
  rm -f "$dir"/log.*
  seeds_of "$fam" | while read -r f; do cp -f "$f" "$dir/seeds/$(basename "$(dirname "$f")")_$(basename "$f")"; done
  write_text_seeds "$dir/seeds" "$fam"
  # More image layouts from Pillow where Debian's python3-pil is installed.
  /usr/bin/python3 "$root/fuzz/make_image_seeds.py" "$fam" "$dir/seeds" 2>/dev/null || true
  local inputs=0 crashes=0 hangs=0 leaks=0 ooms=0 n=0 start now left
  start=$(date +%s)
  while :; do
    now=$(date +%s)
    left=$((seconds - (now - start)))
    [ "$left" -le 0 ] && break
    n=$((n + 1))
    local log="$dir/log.$n"
    ( cd "$dir" && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$bin" corpus seeds -max_total_time="$left" -timeout="$timeout_s" \
          -rss_limit_mb=2048 -malloc_limit_mb="$malloc_limit" -print_final_stats=1 -artifact_prefix=artifacts/ >"$log" 2>&1 )
    local rc=$? done
    done=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
    [ -z "$done" ] && done=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
    inputs=$((inputs + ${done:-0}))
    [ $rc -eq 0 ] && continue
    if grep -q 'ERROR: libFuzzer: timeout' "$log"; then hangs=$((hangs + 1))
    elif grep -q 'ERROR: LeakSanitizer' "$log"; then leaks=$((leaks + 1))
    elif grep -q 'out-of-memory\|ERROR: libFuzzer: malloc' "$log"; then ooms=$((ooms + 1))
    else crashes=$((crashes + 1))
    fi
    echo "$fam: run $n stopped ($(grep -m1 -o 'ERROR: [A-Za-z]*: [^(]*\|runtime error: .*' "$log" | head -1)); see $log" >&2
    # Seeds that stop the fuzzer at once would loop for the whole time.
    [ "$(( $(date +%s) - now ))" -lt 2 ] && [ "${done:-0}" -le "$(ls "$dir/seeds" | wc -l)" ] && { echo "$fam: a seed stops the fuzzer; family abandoned" >&2; break; }
  done
  now=$(date +%s)
  echo "$fam $((now - start)) $inputs $crashes $hangs $leaks $ooms" >"$dir/result"
}

for fam in "${families[@]}"; do
  [ -x "$build/fuzz/fuzz_$fam" ] || { echo "unknown family: $fam" >&2; exit 2; }
  rm -f "$runs/$fam/result"
done
for fam in "${families[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n; done
  echo "$(date -u +%H:%M:%S) start $fam" >&2
  run_family "$fam" &
done
wait

printf '%-10s %8s %12s %8s %6s %6s %5s\n' family seconds inputs crashes hangs leaks ooms
status=0
for fam in "${families[@]}"; do
  read -r f s i c h l o <"$runs/$fam/result"
  printf '%-10s %8s %12s %8s %6s %6s %5s\n' "$f" "$s" "$i" "$c" "$h" "$l" "$o"
  [ $((c + h + l + o)) -gt 0 ] && status=1
done
exit $status
