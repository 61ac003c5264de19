// --hd-pack: the HD textures of a terrain or model cache folder written back as the game's own
// texture files, mip levels and player-colour patches, in one zip archive for the game's zips
// folder.
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>

#include "data/game_file_names.h"
#include "image/png_files.h"
#include "io/zip_archive.h"
#include "io/zip_file_writer.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "platform/signals.h"
#include "platform/worker_pool.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/commands.h"
#include "tools/upscale/hd_pack.h"
#include "tools/upscale/model_hd.h"
#include "tools/upscale/model_manifest.h"
#include "tools/upscale/open_game.h"
#include "tools/upscale/pipeline.h"
#include "tools/upscale/progress.h"
#include "tools/upscale/terrain_manifest.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path& path) { return platform::path_to_utf8(path); }

// Why `out` must not be written, empty when it may: the pack replaces only a pack of its own, so
// a slip of the name can never overwrite the game's archives or anything else.
std::string replace_problem(const fs::path& out) {
    std::error_code error;
    const platform::PathStatus status = platform::path_status(out, error);
    if (!error && status.kind == platform::PathKind::missing) return "";
    if (!error && status.kind == platform::PathKind::file) {
        try {
            if (io::ZipArchive(out).find(data::kHdPackMarkerEntry)) return "";
        } catch (const std::exception&) {
            // not a zip archive at all: refused below
        }
    }
    return "refusing to replace " + utf8(out) + ": it is not an HD pack made by this tool";
}

// The cache manifest's first line and its record lines by stem, as written: the marker entry
// copies the records of what it packs.
struct ManifestText {
    std::string header;
    std::map<std::string, std::string> records;
};

ManifestText read_manifest_text(const fs::path& cache_dir) {
    ManifestText text;
    std::ifstream in(platform::stream_path(cache_dir / "manifest.txt"), std::ios::binary);
    read_manifest_line(in, text.header);
    for (std::string line; read_manifest_line(in, line);) {
        text.records[unescape_manifest_field(line.substr(0, line.find(' ')))] = line;
    }
    return text;
}

// One texture of the cache to pack, or why it is left out.
struct PackSource {
    std::string stem;
    std::string left_out;  // non-empty: the warning's reason
    std::vector<std::uint8_t> texture;
    image::RgbaImage hd;
};

const char* const kRerun = "rerun the build";

PackSource terrain_source(const data::GameArchives& archives, const fs::path& cache_dir, const std::string& stem,
                          const TerrainManifestEntry& entry) {
    PackSource source{stem, "", archives.read_or_empty(data::texture_file(stem)), {}};
    if (source.texture.empty()) {
        source.left_out = "not in the game's archives";
    } else if (source_hash(source.texture) != entry.hash) {
        source.left_out = std::string("the cache's HD texture was made from other game files: ") + kRerun;
    } else {
        source.hd = image::read_png_file(cache_file(cache_dir, stem + ".png"));
        if (std::int64_t(source.hd.width) != entry.width || std::int64_t(source.hd.height) != entry.height)
            source.left_out = std::string("the cache's HD image is not the size its manifest records: ") + kRerun;
    }
    return source;
}

PackSource model_source(const data::GameArchives& archives, const ModelHdLookup& lookup, const std::string& stem) {
    PackSource source{stem, "", {}, {}};
    std::optional<ModelHdImage> hd = lookup.get(stem, 0, 0);
    if (!hd) {
        source.left_out = std::string("no usable HD texture in the cache: ") + kRerun;
    } else {
        source.texture = archives.read(data::texture_file(stem));
        source.hd = std::move(hd->image);
    }
    return source;
}

struct PackTotals {
    std::size_t textures = 0;
    std::size_t masks = 0;
    std::size_t patches = 0;
    std::size_t left_out = 0;
    int failed = 0;
    double cache_mb = 0;
};

}  // namespace

int cmd_hd_pack(const Args& args) {
    const Stopwatch total;
    const fs::path morv_dir = args.path(0), cache_dir = args.path(1), out = args.path(2);
    const CacheFamily family = cache_family(cache_dir);
    if (family == CacheFamily::none &&
        refuse("cache folder " + utf8(cache_dir) + " holds no terrain or model texture manifest: nothing to pack"))
        return kRefused;
    if (refuse(replace_problem(out))) return kRefused;
    const std::atomic<bool>& stop = stop_requests();

    const data::GameArchives archives = open_game_archives(morv_dir);
    const ManifestText manifest_text = read_manifest_text(cache_dir);
    std::vector<std::string> stems;
    TerrainManifest terrain;
    std::size_t ui_sheets = 0;
    if (family == CacheFamily::terrain) {
        terrain = load_terrain_manifest(cache_dir / "manifest.txt");
        for (const auto& [stem, entry] : terrain) stems.push_back(stem);
    } else {
        for (const auto& [stem, record] : read_model_manifest(cache_dir / "manifest.txt")) {
            if (is_ui_record(record)) {
                ++ui_sheets;
            } else {
                stems.push_back(stem);
            }
        }
    }
    if (ui_sheets > 0)
        std::fprintf(stderr,
                     "warning: %zu UI sheets left out: the game's sprite tables address the pixels of its own "
                     "sheets\n",
                     ui_sheets);

    const ModelHdLookup lookup(archives, cache_dir);
    const data::DxtOptions dxt{data::DxtQuality::best, unsigned(platform::worker_count())};
    io::ZipFileWriter zip(out);
    PackTotals totals;
    std::vector<std::string> packed_records;
    Progress progress("pack", stems.size());
    for (const std::string& stem : stems) {
        if (stop) break;
        // Failures of one texture (its game files, its cache files) leave it out; a failure
        // writing the archive ends the command.
        std::optional<PackedTexture> packed;
        try {
            const PackSource source = family == CacheFamily::terrain
                                          ? terrain_source(archives, cache_dir, stem, terrain.at(stem))
                                          : model_source(archives, lookup, stem);
            if (!source.left_out.empty()) {
                progress.clear();
                std::fprintf(stderr, "warning: %s left out: %s\n", stem.c_str(), source.left_out.c_str());
                ++totals.left_out;
            } else if (family == CacheFamily::terrain) {
                packed = pack_terrain_texture(archives, stem, source.texture, source.hd, dxt);
            } else {
                packed = pack_model_texture(archives, cache_dir, stem, source.texture, source.hd, dxt);
            }
        } catch (const std::exception& e) {
            progress.clear();
            std::fprintf(stderr, "%s: %s\n", stem.c_str(), e.what());
            ++totals.failed;
        }
        if (packed) {
            for (const io::ZipWriterEntry& entry : packed->entries) zip.add(entry);
            ++totals.textures;
            totals.masks += packed->mask ? 1 : 0;
            totals.patches += packed->patches;
            totals.cache_mb += cache_megabytes(cache_dir, {stem}, ".png") +
                               (packed->mask ? cache_megabytes(cache_dir, {stem}, "_pc.png") : 0.0);
            packed_records.push_back(manifest_text.records.count(stem) ? manifest_text.records.at(stem) : stem);
        }
        progress.tick();
    }
    progress.finish();
    if (stop) {
        std::printf("interrupted: %s not written\n", utf8(out).c_str());
        std::fflush(stdout);
        platform::stop_finished();
        return kInterrupted;
    }
    if (totals.textures == 0) {
        std::fprintf(stderr, "nothing to pack from %s: %s not written\n", utf8(cache_dir).c_str(), utf8(out).c_str());
        return 1;
    }
    const std::string marker = hd_pack_marker(manifest_text.header, packed_records);
    zip.add(io::prepare_zip_entry(data::kHdPackMarkerEntry,
                                  std::span(reinterpret_cast<const std::uint8_t*>(marker.data()), marker.size())));
    zip.commit();
    std::printf(
        "packed %zu textures, %zu masks, %zu colour patches into %s: %.1f MB (cache PNG %.1f MB), %zu left out, %d "
        "failed, %.1f s\n",
        totals.textures, totals.masks, totals.patches, utf8(out).c_str(), double(zip.size()) / 1048576.0,
        totals.cache_mb, totals.left_out, totals.failed, total.seconds());
    return totals.failed > 0 ? 1 : 0;
}

}  // namespace tarkeep::upscale
