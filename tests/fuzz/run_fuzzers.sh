#!/usr/bin/env bash
# Builds the fuzz targets with clang in a project of their own and runs each for a bounded time.
# Usage: run_fuzzers.sh BUILD_FOLDER [TARGET...]. FUZZ_SECONDS sets the time per target
# (default 30). Fails when a target finds a crash; the input that caused it is kept in
# BUILD_FOLDER/artifacts/<target>/. Each target works on a copy of its seed corpus in
# BUILD_FOLDER/corpus/<target>/, merged down after each run and built on by the next; the seeds
# in the tree stay as they are.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: run_fuzzers.sh BUILD_FOLDER [TARGET...]}
shift
targets=("$@")
[[ ${#targets[@]} -eq 0 ]] && targets=(station_file text_encoding icy_title)
seconds=${FUZZ_SECONDS:-30}

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S "$here/standalone" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++}" >/dev/null
cmake --build "$build" -j 2

# Leaks count as crashes; undefined behaviour already stops the program (-fno-sanitize-recover).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
status=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  for seed in "$here/corpus/$target/"*; do
    [[ -e $corpus/${seed##*/} ]] || cp "$seed" "$corpus/"
  done
  lengths=()
  # Room for lines past the 64 KiB bound.
  [[ $target == station_file ]] && lengths=(-max_len=140000)
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$artifacts/")
  [[ -f "$here/$target.dict" ]] && options+=(-dict="$here/$target.dict")
  echo "== $target: ${seconds}s from $(ls "$corpus" | wc -l) inputs"
  if ! nice "$build/${target}_fuzzer" "${options[@]}" "${lengths[@]}" "$corpus"; then
    echo "== $target FOUND A CRASH; inputs kept in $artifacts:" >&2
    ls -l "$artifacts" >&2
    status=1
    continue
  fi
  # Keep only the inputs that add coverage, so the copy does not grow without end.
  rm -rf "$corpus.merged" && mkdir "$corpus.merged"
  nice "$build/${target}_fuzzer" -merge=1 "${lengths[@]}" "$corpus.merged" "$corpus" \
    >"$build/$target-merge.log" 2>&1
  rm -rf "$corpus" && mv "$corpus.merged" "$corpus"
  echo "== $target: $(ls "$corpus" | wc -l) inputs kept"
done
exit $status
