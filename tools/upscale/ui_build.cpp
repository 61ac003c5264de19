// Options, pass preparation and per-sheet post-processing of the UI sheet build.
#include "tools/upscale/ui_build.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "image/kernels.h"
#include "image/pixel_channels.h"
#include "image/png_files.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "tools/upscale/build_basics.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/upscaler_runner.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

void paste(image::RgbaImage& canvas, const image::RgbaImage& piece, std::uint32_t x, std::uint32_t y) {
    if (std::uint64_t{x} + piece.width > canvas.width || std::uint64_t{y} + piece.height > canvas.height)
        throw std::runtime_error("paste: piece lies outside the canvas");
    const std::size_t row = std::size_t{piece.width} * 4;
    for (std::uint32_t r = 0; r < piece.height; ++r)
        std::copy_n(piece.pixels.begin() + static_cast<std::ptrdiff_t>(r * row), row,
                    canvas.pixels.begin() + static_cast<std::ptrdiff_t>(((std::size_t{y} + r) * canvas.width + x) * 4));
}

void write_tiles(image::RgbaImage pass, const UiPass& p, int margin, NetworkRuns& runs, std::size_t run,
                 const std::string& name) {
    image::make_opaque(pass);
    const image::RgbaImage padded = pad(pass, margin, true, false, false);
    for (std::size_t k = 0; k < p.tiles.size(); ++k) {
        const image::PixelRect& in = p.tiles[k].input;
        runs.write_input(run, name + "~" + std::to_string(k), crop(padded, in.x, in.y, in.width, in.height));
    }
}

}  // namespace

std::optional<UiBuildOptions> read_ui_build_options(const Args& args) {
    UiBuildOptions o;
    read_build_basics(args, "8", "_work_ui", o);
    const std::optional<std::string> pack = choice_opt(args, "--pack", "sprite", "sheet");
    if (!pack) return std::nullopt;
    o.pack = *pack;
    const std::string model = opt(args, "--model", "realesrgan-x4plus");
    o.icon_model = opt(args, "--icon-model", model);
    o.panel_model = opt(args, "--panel-model", model);
    o.alpha_model = opt(args, "--alpha-model", "realesr-animevideov3-x4");
    o.min_size = size_value(args, "--min-size", "8");
    o.tile_max = size_value(args, "--tile-max", "512");
    o.all_tables = args.flag("--all-tables");
    o.only = args.list("--only");
    return o;
}

std::string ui_settings_string(const UiBuildOptions& o, const std::string& upscaler_suffix) {
    std::string text = "ui-" + o.pack + std::to_string(o.margin) + "-x4box2-bp" + std::to_string(o.passes) + "x" +
                       std::to_string(round_half_away(o.strength * 100)) + "-a" + o.alpha_model + "-bleed-t" +
                       std::to_string(o.tile_max);
    if (o.dering >= 0) text += "-dr" + std::to_string(o.dering);
    return text + upscaler_suffix;
}

image::RgbaImage ui_background(const image::RgbaImage& sheet) {
    image::RgbaImage bled = sheet;
    bleed(bled, 0, 16);
    return resize_bilinear(bled, 2 * sheet.width, 2 * sheet.height);
}

void prepare_ui_passes(UiJob& job, const UiBuildOptions& o, NetworkRuns& runs) {
    std::vector<image::PixelRect> rects = job.sheet.distinct_rects;
    if (o.pack == "sheet") rects = {image::PixelRect{0, 0, job.sheet.width, job.sheet.height}};
    for (std::size_t i = 0; i < rects.size(); ++i) {
        UiPass pass;
        pass.rect = rects[i];
        pass.source = crop(job.decoded, pass.rect.x, pass.rect.y, pass.rect.width, pass.rect.height);
        pass.alpha = image::has_transparency(pass.source);
        if (pass.alpha) bleed(pass.source, 0, 16);
        pass.tiles = split_tiles(pass.rect.width, pass.rect.height, static_cast<std::uint32_t>(o.margin), o.tile_max);
        const std::string name = job.sheet.stem + "~" + std::to_string(i);
        write_tiles(pass.source, pass, o.margin, runs, job.colour_run, name);
        if (pass.alpha) write_tiles(channel_to_grey(pass.source, 3), pass, o.margin, runs, job.alpha_run, name + "~a");
        job.passes.push_back(std::move(pass));
    }
}

image::RgbaImage read_pass_output(const NetworkRuns& runs, std::size_t run, const std::string& name, const UiPass& pass,
                                  int margin) {
    const std::uint32_t s = kNetworkScale, m = static_cast<std::uint32_t>(margin);
    image::RgbaImage canvas{s * pass.rect.width, s * pass.rect.height, {}};
    canvas.pixels.assign(std::size_t{canvas.width} * canvas.height * 4, 0);
    for (std::size_t k = 0; k < pass.tiles.size(); ++k) {
        const UiTile& tile = pass.tiles[k];
        const NetworkCrop core{
            tile.input.width, tile.input.height, m + tile.core.x - tile.input.x, m + tile.core.y - tile.input.y,
            tile.core.width,  tile.core.height};
        paste(canvas, runs.read_output(run, name + "~" + std::to_string(k), core, SizeErrorText::after_file_name),
              s * tile.core.x, s * tile.core.y);
    }
    return box_down(canvas, 2);
}

UiJobResult post_process_ui_sheet(const UiJob& job, const UiBuildOptions& o, const NetworkRuns& runs) {
    UiJobResult result;
    image::RgbaImage final_canvas = ui_background(job.decoded);
    image::RgbaImage raw_canvas = final_canvas;
    double weight = 0;
    for (std::size_t i = 0; i < job.passes.size(); ++i) {
        const UiPass& pass = job.passes[i];
        const std::string name = job.stem + "~" + std::to_string(i);
        image::RgbaImage hd = read_pass_output(runs, job.colour_run, name, pass, o.margin);
        const double area = static_cast<double>(pass.rect.width) * pass.rect.height;
        const double before = consistency(hd, pass.source);
        if (before > image::kUnusableConsistency) throw std::runtime_error(image::unusable_output_message(before));
        result.before += before * area;
        if (pass.alpha) {
            image::RgbaImage alpha = read_pass_output(runs, job.alpha_run, name + "~a", pass, o.margin);
            image::alpha_from_grey(hd, alpha);
            paste(raw_canvas, hd, 2 * pass.rect.x, 2 * pass.rect.y);
            if (o.passes > 0) {
                alpha = back_project(alpha, channel_to_grey(pass.source, 3), o.passes, 1.0, false);
                image::alpha_from_grey(hd, alpha);
            }
        } else {
            image::make_opaque(hd);
            paste(raw_canvas, hd, 2 * pass.rect.x, 2 * pass.rect.y);
        }
        if (o.passes > 0) {
            image::RgbaImage fitted = back_project(hd, pass.source, o.passes, o.strength, false);
            image::copy_alpha(fitted, hd);
            hd = std::move(fitted);
        }
        if (o.dering >= 0) dering(hd, pass.source, o.dering);
        result.after += consistency(hd, pass.source) * area;
        weight += area;
        paste(final_canvas, hd, 2 * pass.rect.x, 2 * pass.rect.y);
    }
    result.before = weight > 0 ? result.before / weight : 0;
    result.after = weight > 0 ? result.after / weight : 0;
    result.ring_before = ring_stats(raw_canvas, job.decoded, job.sheet.distinct_rects);
    result.ring_after = ring_stats(final_canvas, job.decoded, job.sheet.distinct_rects);
    image::write_png_file(cache_file(o.cache_dir, job.stem + ".png"), final_canvas, true);
    if (o.keep_work)
        image::write_png_file(o.work_dir / platform::path_from_utf8(job.stem + "_raw.png"), raw_canvas, true);
    return result;
}

}  // namespace tarkeep::upscale
