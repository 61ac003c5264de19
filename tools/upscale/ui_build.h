// The UI sheet build's options, its passes and the post-processing of one sheet.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "image/metrics.h"
#include "image/rgba_image.h"
#include "tools/upscale/args.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/pipeline.h"
#include "tools/upscale/ui_sheets.h"

namespace tarkeep::upscale {

struct UiBuildOptions {
    std::filesystem::path morv_dir;
    std::filesystem::path cache_dir;
    std::filesystem::path work_dir;
    std::string icon_model;
    std::string panel_model;
    std::string alpha_model;
    std::string pack;  // "sprite": one pass per rectangle; "sheet": one pass per sheet
    int margin = 8;
    int passes = 3;
    double strength = 0.5;
    int dering = -1;  // off below 0
    std::uint32_t min_size = 8;
    std::uint32_t tile_max = 512;
    bool force = false;
    bool keep_work = false;
    bool verbose = false;
    bool all_tables = false;
    std::optional<std::string> tile;
    std::vector<std::string> only;
};

// Reads the options; prints the problem on standard error and gives nothing for a bad --pack.
std::optional<UiBuildOptions> read_ui_build_options(const Args& args);

// Everything besides the source and the colour model that shapes a stored sheet, e.g.
// "ui-sprite8-x4box2-bp3x50-arealesr-animevideov3-x4-bleed-t512".
std::string ui_settings_string(const UiBuildOptions& o, const std::string& upscaler_suffix);

// The sheet bled into its transparent pixels and enlarged twice: what the HD sheet shows
// where no sprite is.
image::RgbaImage ui_background(const image::RgbaImage& sheet);

// One rectangle of a sheet, upscaled on its own.
struct UiPass {
    image::PixelRect rect;
    std::vector<UiTile> tiles;
    image::RgbaImage source;  // the rectangle, bled where transparent
    bool alpha = false;       // some alpha below 255: the alpha channel has its own input
};

// A sheet to upscale, prepared on the main thread and read-only for the workers.
struct UiJob {
    std::string stem;
    ModelManifestRecord record;
    UiSheet sheet;
    std::string cls;
    std::size_t colour_run = 0;
    std::size_t alpha_run = 0;
    image::RgbaImage decoded;
    std::vector<UiPass> passes;
};

// Cuts the sheet into passes and writes their network inputs. `alpha_run` is used only
// when some pass has alpha.
void prepare_ui_passes(UiJob& job, const UiBuildOptions& o, NetworkRuns& runs);

// The 2x result of one pass from its tiles' outputs of one run.
image::RgbaImage read_pass_output(const NetworkRuns& runs, std::size_t run, const std::string& name, const UiPass& pass,
                                  int margin);

struct UiJobResult {
    std::string error;
    double before = 0;  // consistency, weighted by pass area
    double after = 0;
    image::RingStats ring_before;
    image::RingStats ring_after;
};

// Builds the HD sheet and writes it (and the raw canvas with --keep-work).
UiJobResult post_process_ui_sheet(const UiJob& job, const UiBuildOptions& o, const NetworkRuns& runs);

}  // namespace tarkeep::upscale
