#!/usr/bin/python3
"""Terrain quality on real textures, run by hand (not by CI; the real network takes minutes on the CPU).

Takes tileable terrain textures of a Debian game-data package (by default the ground textures of
extremetuxracer-data), writes them into a sample game as DXT1 terrain textures box-reduced 4x, and
upscales them with the real network (Real-ESRGAN x4fast through the NCNN upscaler that
`tools/demo.sh ncnn` fetches) twice over: straight over the decoded sources ("raw network"), and
through the terrain command with several settings. Prints, against the originals, PSNR, SSIM, the
seam ratio (of the `--seam` command: seam over inner difference, 1 when the seam is invisible) and
the colour shift (mean |mean colour - original's|), and the time of each terrain run as its done
line says. Writes one picture: source, raw network, terrain command, original, each tiled 2x2 and
cut around the corner where four tiles meet.

Usage: bench/quality/run.py [--build DIR] [--textures a.png,b.png,...] [--picture PNG]
Needs: python3-numpy, python3-pil, dpkg-deb, apt-get (downloads the package, installs nothing),
npm and a Vulkan CPU device for the network (tools/demo.sh ncnn says what is missing).
"""
import argparse
import os
import re
import subprocess
import sys
import time

import numpy as np
from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PACKAGE = "extremetuxracer-data"
TEXTURE_DIR = "usr/share/games/etr/terrains"
# Ground textures whose own seam ratio is near 1 (they tile), of different kinds.
TEXTURES = "dirt01 grass03 mud01 pave02 pebbles04 rock sand01 snow01".split()
MODEL = "realesrgan-x4fast"


def run(command, **kwargs):
    result = subprocess.run(command, text=True, capture_output=True, **kwargs)
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)}: status {result.returncode}\n{result.stderr}")
    return result


def fetch_textures(work, names):
    folder = os.path.join(work, "package")
    if not os.path.isdir(os.path.join(folder, TEXTURE_DIR)):
        os.makedirs(folder, exist_ok=True)
        run(["apt-get", "download", PACKAGE], cwd=folder)
        deb = [name for name in os.listdir(folder) if name.endswith(".deb")][0]
        run(["dpkg-deb", "-x", os.path.join(folder, deb), folder])
    return {name: os.path.join(folder, TEXTURE_DIR, name + ".png") for name in names}


def build(build_dir, work):
    if build_dir is None:
        build_dir = os.path.join(ROOT, "build", "release")
        run(["cmake", "--preset", "release"], cwd=ROOT)
        run(["cmake", "--build", "--preset", "release", "--target", "tarkeep_upscale", "tarkeep_sample_game"], cwd=ROOT)
    libraries = sorted(
        os.path.join(folder, name)
        for folder, _, files in os.walk(build_dir)
        for name in files
        if name.startswith("libtarkeep_") and name.endswith(".a")
    )
    patch = os.path.join(work, "terrain_patch")
    run(["g++", "-std=c++20", "-O2", "-I", ROOT, os.path.join(ROOT, "bench/quality/terrain_patch.cpp"), "-o", patch,
         "-Wl,--start-group", *libraries, "-Wl,--end-group", "-pthread"])
    tools = os.path.join(build_dir, "tools")
    return (os.path.join(tools, "upscale/tarkeep_upscale"), os.path.join(tools, "sample_game/tarkeep_sample_game"),
            patch)


def load(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=np.float64)


def psnr(a, b):
    return 10 * np.log10(255.0**2 / np.mean((a - b) ** 2))


def ssim(a, b):
    """Mean SSIM over R, G and B: Gaussian window of 11 taps, sigma 1.5, the textures wrapping."""
    taps = np.exp(-0.5 * (np.arange(-5, 6) / 1.5) ** 2)
    taps /= taps.sum()

    def blur(x):
        for axis in (0, 1):
            x = sum(w * np.roll(x, shift, axis=axis) for shift, w in zip(range(-5, 6), taps))
        return x

    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    ma, mb = blur(a), blur(b)
    va, vb, cov = blur(a * a) - ma * ma, blur(b * b) - mb * mb, blur(a * b) - ma * mb
    return float(np.mean((2 * ma * mb + c1) * (2 * cov + c2) / ((ma * ma + mb * mb + c1) * (va + vb + c2))))


def colour_shift(a, b):
    return float(np.mean(np.abs(a.mean(axis=(0, 1)) - b.mean(axis=(0, 1)))))


def dering(hd, source, margin, wrap):
    """The tool's dering in numpy, wrapped or clamped at the edges, to show what the wrap is for."""
    f = hd.shape[1] // source.shape[1]

    def neighbours(hd_length, length):
        at = np.floor((np.arange(hd_length) + 0.5) / f - 0.5).astype(int)
        if wrap:
            return at % length, (at + 1) % length
        first = np.clip(at, 0, length - 1)
        return first, np.minimum(first + 1, length - 1)

    (y0, y1), (x0, x1) = neighbours(hd.shape[0], source.shape[0]), neighbours(hd.shape[1], source.shape[1])
    corners = [source[rows][:, columns] for rows in (y0, y1) for columns in (x0, x1)]
    return np.clip(hd, np.maximum(np.min(corners, axis=0) - margin, 0), np.minimum(np.max(corners, axis=0) + margin, 255))


def seams(upscale, folder):
    """Per file, from the --seam command: the mean of its two ratios and of its two excesses (seam - inner)."""
    out = run([upscale, "--seam", folder]).stdout
    found = {}
    for m in re.finditer(r"^(\S+)\.png \S+ inner_x (\S+) seam_x (\S+) ratio_x (\S+) \| inner_y (\S+) seam_y (\S+) "
                         r"ratio_y (\S+)", out, re.M):
        ix, sx, rx, iy, sy, ry = (float(v) for v in m.groups()[1:])
        found[m.group(1)] = ((rx + ry) / 2, (sx - ix + sy - iy) / 2)
    return found


def terrain_run(upscale, game, cache, exe, stems, options):
    command = [upscale, game, cache, "--exe", exe, "--model", MODEL, *options]
    for stem in stems:
        command += ["--only", stem]
    result = run(command)
    done = re.search(r"Real-ESRGAN ([\d.]+) s, crop\+store [\d.]+ s, total ([\d.]+) s", result.stdout)
    warnings = [line for line in result.stderr.splitlines() if line.startswith("warning: ")]
    return float(done.group(2)), float(done.group(1)), warnings


def tile_corner(image, side):
    """The image tiled 2x2, cut to side x side around the corner where the four tiles meet."""
    tiled = np.tile(image, (2, 2, 1))
    h, w = image.shape[:2]
    return tiled[h - side // 2:h + side // 2, w - side // 2:w + side // 2]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", help="an existing build folder (default: build the release preset)")
    parser.add_argument("--textures", default=",".join(TEXTURES), help="texture names of the package")
    parser.add_argument("--picture", default=os.path.join(ROOT, "docs/images/terrain_quality.png"))
    parser.add_argument("--picture-texture", default="rock")
    args = parser.parse_args()
    names = args.textures.split(",")
    work = os.path.join(ROOT, "build", "quality")
    os.makedirs(work, exist_ok=True)
    upscale, sample_game, patch = build(args.build, work)
    exe = run(["bash", os.path.join(ROOT, "tools/demo.sh"), "ncnn"]).stdout.splitlines()[0]
    textures = fetch_textures(work, names)

    # A sample game whose first terrain stems carry the real textures.
    game = os.path.join(work, "game")
    run(["rm", "-rf", game])
    run([sample_game, game, "--size", "medium"])
    listed = [line.split()[0] for line in run([upscale, game, "--list"]).stdout.splitlines()[:-1]]
    stems = dict(zip(listed, names))  # game stem -> texture name
    originals = os.path.join(work, "originals")
    os.makedirs(originals, exist_ok=True)
    for stem, name in stems.items():
        # RGBA: the tool's PNG reader takes 8-bit RGBA only.
        Image.open(textures[name]).convert("RGB").convert("RGBA").save(os.path.join(originals, stem + ".png"))
    run([patch, game, *(f"{stem}={os.path.join(originals, stem + '.png')}" for stem in stems)])
    sources = os.path.join(work, "sources")
    run(["rm", "-rf", sources])
    run([upscale, game, "--orig", sources, *sum((["--only", s] for s in stems), [])])

    # The raw network over the decoded sources, as one batch like the terrain command's.
    raw = os.path.join(work, "raw")
    run(["rm", "-rf", raw])
    os.makedirs(raw)
    started = time.monotonic()
    run([exe, "-i", sources, "-o", raw, "-n", MODEL, "-s", "4", "-m", os.path.join(os.path.dirname(exe), "models"),
         "-f", "png", "-t", "64"])
    rows = [("raw network", raw, time.monotonic() - started, None, [])]
    for label, options in (("terrain, default margin 64", []), ("terrain, --margin 16", ["--margin", "16"]),
                           ("terrain, --margin 16 --dering 0", ["--margin", "16", "--dering", "0"])):
        cache = os.path.join(work, "cache-" + "-".join(options or ["default"]).replace("--", ""))
        run(["rm", "-rf", cache])
        total, network, warnings = terrain_run(upscale, game, cache, exe, stems, options)
        rows.append((label, cache, total, network, warnings))

    # The --margin 16 results deringed here as well, clamped and wrapped: the wrapped ones must
    # equal the tool's own --dering 0 run; the clamped ones show what the wrap is for.
    for wrap in (False, True):
        folder = os.path.join(work, "dering-" + ("wrapped" if wrap else "clamped"))
        os.makedirs(folder, exist_ok=True)
        for stem in stems:
            hd = dering(load(os.path.join(rows[2][1], stem + ".png")), load(os.path.join(sources, stem + ".png")), 0,
                        wrap)
            Image.fromarray(hd.astype(np.uint8)).convert("RGBA").save(os.path.join(folder, stem + ".png"))
        rows.append((f"--margin 16 result, {'wrapped' if wrap else 'clamped'} dering 0 here", folder, None, None, []))
    same = all(np.array_equal(load(os.path.join(rows[-1][1], s + ".png")), load(os.path.join(rows[3][1], s + ".png")))
               for s in stems)

    print(f"{len(stems)} textures of {PACKAGE} ({', '.join(stems.values())}), 256 px originals, 64 px DXT1 sources,"
          f" {MODEL} on the CPU")
    own = np.mean(list(seams(upscale, originals).values()), axis=0)
    print(f"originals' own seam ratio {own[0]:.2f}, seam excess {own[1]:.2f} levels")
    print("| run | PSNR dB | SSIM | seam ratio | seam excess (levels) | colour shift (levels) | seconds (network) |")
    print("|---|---|---|---|---|---|---|")
    for label, folder, total, network, warnings in rows:
        found = seams(upscale, folder)
        scores = []
        for stem in stems:
            a, b = load(os.path.join(folder, stem + ".png")), load(os.path.join(originals, stem + ".png"))
            scores.append((psnr(a, b), ssim(a, b), *found[stem], colour_shift(a, b)))
        p, s, r, e, c = np.mean(scores, axis=0)
        seconds = "" if total is None else f"{total:.1f}" + (f" ({network:.1f})" if network is not None else "")
        print(f"| {label} | {p:.2f} | {s:.3f} | {r:.2f} | {e:.2f} | {c:.2f} | {seconds} |")
        for warning in warnings:
            print(f"  {warning}")
    print(f"wrapped dering here equals the tool's --dering 0 run: {'yes' if same else 'NO'}")

    # The picture: source (each pixel 4x4), raw network, terrain command, original.
    stem = next(s for s, n in stems.items() if n == args.picture_texture)
    source = np.kron(load(os.path.join(sources, stem + ".png")), np.ones((4, 4, 1)))
    panels = [source, load(os.path.join(raw, stem + ".png")), load(os.path.join(rows[2][1], stem + ".png")),
              load(os.path.join(originals, stem + ".png"))]
    gap = np.full((160, 4, 3), 255.0)
    strip = np.concatenate(sum(([tile_corner(p, 160), gap] for p in panels), [])[:-1], axis=1)
    Image.fromarray(strip.astype(np.uint8)).save(args.picture, optimize=True)
    print(f"picture: {os.path.relpath(args.picture, ROOT)} ({args.picture_texture})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
