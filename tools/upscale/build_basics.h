// The options every upscaling build reads alike, read once for the three of them.
#pragma once
#include "tools/upscale/args.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/work_folder.h"

namespace tarkeep::upscale {

// What every build (terrain, models, UI) reads the same way, into its own options: the two
// folders, the work folder (`work_default` inside the cache folder unless --work is given),
// and the margin (`margin_default`), back-projection, deringing, --force, --keep-work,
// --verbose and --tile.
template <typename Options>
void read_build_basics(const Args& args, const char* margin_default, const char* work_default, Options& o) {
    o.morv_dir = args.path(0);
    o.cache_dir = args.path(1);
    o.work_dir = work_folder_path(args, o.cache_dir, work_default);
    o.margin = int_value(args, "--margin", margin_default);
    o.passes = int_value(args, "--backproject", "3");
    o.strength = real_value(args, "--bp-strength", "0.5");
    o.dering = int_value(args, "--dering", "-1");
    o.force = args.flag("--force");
    o.keep_work = args.flag("--keep-work");
    o.verbose = args.flag("--verbose");
    if (args.has_value("--tile")) o.tile = opt(args, "--tile", "");
}

}  // namespace tarkeep::upscale
