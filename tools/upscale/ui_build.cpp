// Options, pass preparation and per-sheet post-processing of the UI sheet build.
#include "tools/upscale/ui_build.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "image/png_files.h"
#include "image/kernels.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/numbers.h"
#include "tools/upscale/upscaler_runner.h"
#include "tools/upscale/work_folder.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

image::RgbaImage opaque(image::RgbaImage image) {
    for (std::size_t i = 3; i < image.pixels.size(); i += 4) image.pixels[i] = 255;
    return image;
}

void paste(image::RgbaImage& canvas, const image::RgbaImage& piece, std::uint32_t x, std::uint32_t y) {
    if (std::uint64_t{x} + piece.width > canvas.width || std::uint64_t{y} + piece.height > canvas.height)
        throw std::runtime_error("paste: piece lies outside the canvas");
    const std::size_t row = std::size_t{piece.width} * 4;
    for (std::uint32_t r = 0; r < piece.height; ++r)
        std::copy_n(piece.pixels.begin() + static_cast<std::ptrdiff_t>(r * row), row,
                    canvas.pixels.begin() + static_cast<std::ptrdiff_t>(((std::size_t{y} + r) * canvas.width + x) * 4));
}

// Every alpha byte of `image` becomes the red byte of `alpha` (same size).
void take_alpha(image::RgbaImage& image, const image::RgbaImage& alpha) {
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) image.pixels[i + 3] = alpha.pixels[i];
}

void write_tiles(const image::RgbaImage& pass, const UiPass& p, int margin, UiRun& run, const std::string& name) {
    const image::RgbaImage padded = pad(opaque(pass), margin, true, false, false);
    for (std::size_t k = 0; k < p.tiles.size(); ++k) {
        const image::PixelRect& in = p.tiles[k].input;
        image::write_png_file(run.folders.in / platform::path_from_utf8(name + "~" + std::to_string(k) + ".png"),
                              crop(padded, in.x, in.y, in.width, in.height), false);
        run.largest_input = std::max({run.largest_input, in.width, in.height});
        ++run.inputs;
    }
}

}  // namespace

std::optional<UiBuildOptions> read_ui_build_options(const Args& args) {
    UiBuildOptions o;
    o.morv_dir = platform::path_from_utf8(args.positional.at(0));
    o.cache_dir = platform::path_from_utf8(args.positional.at(1));
    const std::optional<std::string> pack = choice_opt(args, "--pack", "sprite", "sheet");
    if (!pack) return std::nullopt;
    o.pack = *pack;
    o.work_dir = work_folder_path(args, o.cache_dir);
    const std::string model = opt(args, "--model", "realesrgan-x4plus");
    o.icon_model = opt(args, "--icon-model", model);
    o.panel_model = opt(args, "--panel-model", model);
    o.alpha_model = opt(args, "--alpha-model", "realesr-animevideov3-x4");
    o.margin = to_int(opt(args, "--margin", "8"));
    if (o.margin < 0) throw std::runtime_error("--margin must not be negative");
    o.passes = to_int(opt(args, "--backproject", "3"));
    o.strength = to_double(opt(args, "--bp-strength", "0.5"));
    o.dering = to_int(opt(args, "--dering", "-1"));
    o.min_size = static_cast<std::uint32_t>(to_int(opt(args, "--min-size", "8")));
    o.tile_max = static_cast<std::uint32_t>(to_int(opt(args, "--tile-max", "512")));
    o.force = args.flag("--force");
    o.keep_work = args.flag("--keep-work");
    o.verbose = args.flag("--verbose");
    o.all_tables = args.flag("--all-tables");
    if (args.has_value("--tile")) o.tile = opt(args, "--tile", "");
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

void prepare_ui_passes(UiJob& job, const UiBuildOptions& o, std::vector<UiRun>& runs) {
    std::vector<image::PixelRect> rects = job.sheet.distinct_rects;
    if (o.pack == "sheet") rects = {image::PixelRect{0, 0, job.sheet.width, job.sheet.height}};
    for (std::size_t i = 0; i < rects.size(); ++i) {
        UiPass pass;
        pass.rect = rects[i];
        pass.source = crop(job.decoded, pass.rect.x, pass.rect.y, pass.rect.width, pass.rect.height);
        for (std::size_t a = 3; a < pass.source.pixels.size() && !pass.alpha; a += 4)
            pass.alpha = pass.source.pixels[a] != 255;
        if (pass.alpha) bleed(pass.source, 0, 16);
        pass.tiles = split_tiles(pass.rect.width, pass.rect.height, static_cast<std::uint32_t>(o.margin), o.tile_max);
        const std::string name = job.sheet.stem + "~" + std::to_string(i);
        write_tiles(pass.source, pass, o.margin, runs[job.colour_run], name);
        if (pass.alpha) write_tiles(channel_to_grey(pass.source, 3), pass, o.margin, runs[job.alpha_run], name + "~a");
        job.passes.push_back(std::move(pass));
    }
}

image::RgbaImage read_pass_output(const UiRun& run, const std::string& name, const UiPass& pass, int margin) {
    if (run.failed) throw std::runtime_error(std::string(upscaler_label(run.model)) + " " + run.model + " failed");
    const std::uint32_t s = kNetworkScale, m = static_cast<std::uint32_t>(margin);
    image::RgbaImage canvas{s * pass.rect.width, s * pass.rect.height, {}};
    canvas.pixels.assign(std::size_t{canvas.width} * canvas.height * 4, 0);
    for (std::size_t k = 0; k < pass.tiles.size(); ++k) {
        const UiTile& tile = pass.tiles[k];
        const std::string file = name + "~" + std::to_string(k) + ".png";
        const fs::path path = run.folders.out / platform::path_from_utf8(file);
        if (!platform::path_exists(path)) throw std::runtime_error("cannot read " + platform::path_to_utf8(path));
        const image::RgbaImage out = image::read_png_file(path);
        if (out.width != s * tile.input.width || out.height != s * tile.input.height)
            throw std::runtime_error(file + ": unexpected output size " + std::to_string(out.width) + "x" +
                                     std::to_string(out.height));
        paste(canvas,
              crop(out, (m + tile.core.x - tile.input.x) * s, (m + tile.core.y - tile.input.y) * s, s * tile.core.width,
                   s * tile.core.height),
              s * tile.core.x, s * tile.core.y);
    }
    return box_down(canvas, 2);
}

UiJobResult post_process_ui_sheet(const UiJob& job, const UiBuildOptions& o, const std::vector<UiRun>& runs) {
    UiJobResult result;
    try {
        image::RgbaImage final_canvas = ui_background(job.decoded);
        image::RgbaImage raw_canvas = final_canvas;
        double weight = 0;
        for (std::size_t i = 0; i < job.passes.size(); ++i) {
            const UiPass& pass = job.passes[i];
            const std::string name = job.sheet.stem + "~" + std::to_string(i);
            image::RgbaImage hd = read_pass_output(runs[job.colour_run], name, pass, o.margin);
            const double area = static_cast<double>(pass.rect.width) * pass.rect.height;
            const double before = consistency(hd, pass.source);
            if (before > image::kUnusableConsistency) throw std::runtime_error(image::unusable_output_message(before));
            result.before += before * area;
            if (pass.alpha) {
                image::RgbaImage alpha = read_pass_output(runs[job.alpha_run], name + "~a", pass, o.margin);
                take_alpha(hd, alpha);
                paste(raw_canvas, hd, 2 * pass.rect.x, 2 * pass.rect.y);
                if (o.passes > 0) {
                    alpha = back_project(alpha, channel_to_grey(pass.source, 3), o.passes, 1.0, false);
                    take_alpha(hd, alpha);
                }
            } else {
                hd = opaque(std::move(hd));
                paste(raw_canvas, hd, 2 * pass.rect.x, 2 * pass.rect.y);
            }
            if (o.passes > 0) {
                image::RgbaImage fitted = back_project(hd, pass.source, o.passes, o.strength, false);
                for (std::size_t a = 3; a < hd.pixels.size(); a += 4) fitted.pixels[a] = hd.pixels[a];
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
        image::write_png_file(o.cache_dir / platform::path_from_utf8(job.sheet.stem + ".png"), final_canvas, true);
        if (o.keep_work)
            image::write_png_file(o.work_dir / platform::path_from_utf8(job.sheet.stem + "_raw.png"), raw_canvas, true);
    } catch (const std::exception& error) {
        result.error = error.what();
    }
    return result;
}

}  // namespace tarkeep::upscale
