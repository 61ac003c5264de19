#!/usr/bin/env bash
# The main job on sample data: builds the programs, writes a synthetic game installation,
# upscales its terrain textures with the reference upscaler, then runs again to show
# that nothing is redone. Usage: tools/demo.sh [small|medium|large]
set -euo pipefail
cd "$(dirname "$0")/.."
size="${1:-medium}"
.ci/deps
cmake --preset release >/dev/null
cmake --build --preset release --target tarkeep_upscale tarkeep_ref_upscaler tarkeep_sample_game
bin=build/release/tools
rm -rf sample
"$bin/sample_game/tarkeep_sample_game" sample/morv --size "$size"
upscale=("$bin/upscale/tarkeep_upscale" sample/morv sample/cache
         --exe "$bin/ref_upscaler/tarkeep_ref_upscaler" --model lanczos3)
echo "--- first run: every terrain texture is upscaled"
"${upscale[@]}"
echo "--- second run: nothing changed, nothing to do"
"${upscale[@]}"
echo "--- the HD textures and their manifest are in $(pwd)/sample/cache"
