#include "tools/upscale/help_text.h"

namespace tarkeep::upscale {

const char* const kHelpText =
    R"(tarkeep_upscale: high-resolution textures for Morv, made by an outside upscaler and cached
so that a rerun redoes only what changed, and unit models exported to binary glTF.

Terrain textures (4x)
  tarkeep_upscale <Morv dir> <cache dir> --exe <upscaler> [options]
      upscale every terrain texture into <cache dir>/<stem>.png, listed in its manifest.txt
  tarkeep_upscale <Morv dir> --list
      every terrain texture with its climates, and the count per climate
  tarkeep_upscale <Morv dir> --orig <dir> [--only stem]... [--deblock]
      write the decoded terrain textures as PNG files
  --margin N            source pixels wrapped round each network input (default 64)
  --deblock             smooth DXT block edges of the source first
  --deblock-threshold N largest block-edge step that --deblock smooths, in levels (default 10)
  --tta                 the upscaler's test-time augmentation (slower)

Model textures (2x or 4x, with alpha and player-colour masks)
  tarkeep_upscale <Morv dir> <cache dir> --models-build --exe <upscaler> [options]
      upscale every texture that unit and building models use into <cache dir>
  tarkeep_upscale <Morv dir> --models-list [--units] [--verbose]
      the model textures (--verbose: one line each); --units: the model variants for --models-glb
  tarkeep_upscale <Morv dir> --models-fit [--only stem]... [--verbose]
      how closely the learned recolouring matches each player-colour patch of the game
  tarkeep_upscale <Morv dir> --model-orig <dir> --only stem... [--bilinear k]
      write a texture, its mask and its patched versions as PNG files (k > 0: also enlarged k times)
  tarkeep_upscale <Morv dir> <cache dir> --models-estimate [--colour X] [--max-size N]
      what the HD textures add to exported models
  tarkeep_upscale <Morv dir> <cache dir> <colour|0> <out.png> --model-get <tex>
      one HD texture, recoloured for player colour A to K (0: neutral)
  --margin N            source pixels padded round each network input (default 16)
  --pad mirror|clamp    padding of textures that do not tile (default mirror)
  --alpha esr|other     alpha channel by the network (esr, default) or scaled bilinearly
  --pc esr|other        player-colour mask by the network (esr, default) or scaled bilinearly
  --alpha-model NAME    network for alpha channels (default: the --model value)
  --pc-model NAME       network for masks (default realesr-animevideov3-x4)
  --min-size N          textures with a side below N pixels are skipped (default 64)
  --max-size N          largest HD side: 4x, else 2x, else skipped (default 1024)
  --scale N             the largest enlargement; below 4 only 2x (default 4)
  --tile-detect R       seam ratio above which a texture counts as tiling (default 1.25)

Unit models to glTF
  tarkeep_upscale <Morv dir> <cache dir> <model variant> <out.glb> --models-glb [options]
      one model with its HD textures as a binary glTF 2.0 file (the variant as --models-list --units
      prints it, or its archive path such as Models/Units/archer.nifcache)
  --colour X            player colour letter A to K (default A)
  --max-size N          largest texture side in the file, 0 for no limit (default 1024)
  --anims               add the animations the unit definitions list for the model

HD pack for the game
  tarkeep_upscale <Morv dir> <cache dir> <out.zip> --hd-pack
      the HD textures of a terrain or model cache as the game's own texture files (DXT, every
      mip level, masks and player-colour patches) in one zip archive for the game's zips folder

UI sprite sheets (2x)
  tarkeep_upscale <Morv dir> <cache dir> --ui-build --exe <upscaler> [options]
      upscale the sheets the in-game HUD draws into <cache dir>
  tarkeep_upscale <Morv dir> --ui-list [--all-tables] [--verbose]
      the sprite tables, and (--verbose) each sheet with its rectangles
  tarkeep_upscale <Morv dir> --ui-orig <dir> --only stem...
      write sheets as the game draws them, and bled and enlarged bilinearly (<stem>_bl.png)
  --margin N            source pixels padded round each network input (default 8)
  --min-size N          sheets with a side below N pixels are skipped (default 8)
  --pack sprite|sheet   upscale each sprite rectangle or the whole sheet (default sprite)
  --tile-max N          longest network input; longer ones are cut into tiles (default 512)
  --icon-model NAME     network for icon sheets (default: the --model value)
  --panel-model NAME    network for panel sheets (default: the --model value)
  --alpha-model NAME    network for alpha channels (default realesr-animevideov3-x4)
  --all-tables          include the cursor, front-end and scenario-editor tables

Options of every build (terrain, models, UI)
  --model NAME          network (default realesrgan-x4plus; onnx:NAME runs an ONNX model)
  --backproject N       passes pulling the result back towards the source, 0 to 100 (default 3)
  --bp-strength R       weight of each pass (default 0.5)
  --dering N            clamp halos to the source's range widened by N levels (default -1: off)
  --only stem           work on this texture only; give it again for more
  --force               redo textures whose cache entry is up to date
  --work DIR            scratch folder (default <cache dir>/_work, _work_models, _work_ui)
  --keep-work           keep the scratch folder afterwards
  --save-every S        save the manifest after S seconds of unsaved results (default 30)
  --verbose             more report lines, and each skipped texture named

The upscaler
  --exe PATH            the NCNN upscaler program (realesrgan-ncnn-vulkan); needed unless every
                        model is an ONNX model
  --models DIR          a folder of NCNN models; give it again for more (default: models beside --exe)
  --tile PX             the upscaler's tile size (default: the largest network input side)
  --gpu ID              the upscaler's GPU id
  --threads L:P:S       the NCNN upscaler's load:process:save threads, e.g. 1:2:2
  --python PATH         Python with onnxruntime for ONNX models (default onnx_venv beside the tool)
  --onnx-runner PATH    the ONNX upscaler script (default onnx_upscale.py beside the tool)
  --onnx-models DIR     folder of .onnx models; give it again for more
  --onnx-provider NAME  dml, cuda or cpu (default dml)
  --onnx-tile N         tile size for ONNX models (default 512)

Judging results (PNG files only)
  tarkeep_upscale --seam <png or folder>... [--quiet]
      how well each texture tiles: seam steps against the steps inside (--quiet: the summary only)
  tarkeep_upscale --tile2 <out.png> <png> <size>
      a size x size window where the texture's wrap-around seams cross in the middle
  tarkeep_upscale --montage <out.png> <x> <y> <size> <png>... [--captions]
      the same window of several images side by side (--captions: each file's name below it)
  tarkeep_upscale --ui-montage <out.png> <x> <y> <w> <h> <zoom> <png>... [--captions]
      the same window of several sprites, zoomed, on a checkerboard

  --help, -h            this page

Exit status: 0 success, 1 an error or a failed texture, 2 a mistake in the command line or an
upscaler that cannot run. Ctrl+C during a build keeps what is done (status 130).
)";

}  // namespace tarkeep::upscale
