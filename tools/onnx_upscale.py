#!/usr/bin/env python3
"""onnx_upscale.py: runs a super-resolution ONNX model over PNG images for tarkeep_upscale.

    python3 -I onnx_upscale.py -i IN -o OUT -m MODEL.onnx [-s 4] [-t TILE] [-p dml|cuda|cpu]
                               [-g ID] [--overlap N] [--quiet]

IN and OUT are two folders (every IN/*.png becomes OUT/ with the same name) or two files.
The model takes RGB in 0..1 as a float NCHW tensor and must enlarge by -s. Images are cut
into tiles of TILE pixels that overlap by N (default TILE/4, at most 32) and are blended
back with weights that ramp across the overlaps, so no seam shows. Alpha is no network
channel (the asset tool sends alpha as grey images of its own): it is resized bicubically,
and an opaque input gives an exactly opaque output.

With onnxruntime importable the model runs there on the asked provider; without it a small
NumPy evaluator runs the operators that super-resolution networks use. Any failure prints
"failed: " and the reason on standard error and ends with status 1. Nothing else this
script prints contains that word, because the asset tool scans the error stream for it.
"""
import argparse
import sys
import time
from pathlib import Path

import numpy as np

PROVIDERS = {"dml": "DmlExecutionProvider", "cuda": "CUDAExecutionProvider", "cpu": "CPUExecutionProvider"}


class UpscaleError(Exception):
    """A failure that ends the whole run: the model, the options or the output folder."""


# --- The NumPy evaluator -------------------------------------------------------------------


def conv(x, w, b=None, auto_pad="NOTSET", dilations=None, group=1, pads=None, strides=None, **_):
    """2-D convolution by im2col: each band of output rows is one matrix product of the
    weights with the input windows laid out as columns (bands keep that copy near 64 MB)."""
    if x.ndim != 4 or w.ndim != 4:
        raise UpscaleError("Conv supports 2-D images only")
    n, c, h, wd = x.shape
    co, ci, kh, kw = w.shape
    dh, dw = dilations or (1, 1)
    sh, sw = strides or (1, 1)
    if c != ci * group or co % group:
        raise UpscaleError(f"Conv weights {w.shape} do not fit {c} input channels in {group} groups")
    reach_h, reach_w = (kh - 1) * dh + 1, (kw - 1) * dw + 1
    if auto_pad in ("SAME_UPPER", "SAME_LOWER"):
        total_h = max(0, (-(-h // sh) - 1) * sh + reach_h - h)
        total_w = max(0, (-(-wd // sw) - 1) * sw + reach_w - wd)
        top, left = total_h // 2, total_w // 2
        if auto_pad == "SAME_LOWER":
            top, left = total_h - top, total_w - left
        pads = [top, left, total_h - top, total_w - left]
    elif auto_pad == "VALID" or pads is None:
        pads = [0, 0, 0, 0]
    top, left, bottom, right = pads
    xg = np.pad(x, ((0, 0), (0, 0), (top, bottom), (left, right))).reshape(n, group, ci, h + top + bottom, -1)
    oh = (h + top + bottom - reach_h) // sh + 1
    ow = (wd + left + right - reach_w) // sw + 1
    wg = w.reshape(group, co // group, ci * kh * kw)
    out = np.empty((n, group, co // group, oh, ow), dtype=np.float32)
    band = max(1, (64 << 20) // (4 * n * c * kh * kw * ow))
    for r0 in range(0, oh, band):
        rows = min(band, oh - r0)
        cols = np.empty((n, group, ci, kh, kw, rows, ow), dtype=np.float32)
        for i in range(kh):
            for j in range(kw):
                y0 = r0 * sh + i * dh
                x0 = j * dw
                cols[:, :, :, i, j] = xg[:, :, :, y0 : y0 + sh * (rows - 1) + 1 : sh, x0 : x0 + sw * (ow - 1) + 1 : sw]
        product = np.matmul(wg, cols.reshape(n, group, ci * kh * kw, rows * ow))
        out[:, :, :, r0 : r0 + rows] = product.reshape(n, group, co // group, rows, ow)
    out = out.reshape(n, co, oh, ow)
    return out if b is None else out + b.reshape(1, co, 1, 1)


def depth_to_space(x, blocksize, mode="DCR", **_):
    n, c, h, w = x.shape
    b = blocksize
    if mode == "DCR":
        y = x.reshape(n, b, b, c // (b * b), h, w).transpose(0, 3, 4, 1, 5, 2)
    else:
        y = x.reshape(n, c // (b * b), b, b, h, w).transpose(0, 1, 4, 2, 5, 3)
    return y.reshape(n, c // (b * b), h * b, w * b)


def source_coordinates(out_len, in_len, scale, mode):
    """Where each output index samples the input, for Resize's coordinate modes."""
    o = np.arange(out_len, dtype=np.float64)
    if mode == "half_pixel":
        return (o + 0.5) / scale - 0.5
    if mode == "pytorch_half_pixel":
        return (o + 0.5) / scale - 0.5 if out_len > 1 else np.zeros(out_len)
    if mode == "asymmetric":
        return o / scale
    if mode == "align_corners":
        return o * (in_len - 1) / (out_len - 1) if out_len > 1 else np.zeros(out_len)
    if mode == "tf_half_pixel_for_nn":
        return (o + 0.5) / scale
    raise UpscaleError(f"unsupported Resize coordinate mode {mode}")


def resize_axis(x, axis, out_len, scale, mode, coordinates, nearest_mode):
    in_len = x.shape[axis]
    pos = source_coordinates(out_len, in_len, scale, coordinates)
    if mode == "nearest":
        rounding = {"round_prefer_floor": lambda p: np.ceil(p - 0.5), "round_prefer_ceil": lambda p: np.floor(p + 0.5),
                    "floor": np.floor, "ceil": np.ceil}
        if nearest_mode not in rounding:
            raise UpscaleError(f"unsupported Resize nearest mode {nearest_mode}")
        return np.take(x, np.clip(rounding[nearest_mode](pos), 0, in_len - 1).astype(np.int64), axis=axis)
    if mode not in ("linear", "bilinear"):
        raise UpscaleError(f"unsupported Resize mode {mode}")
    pos = np.clip(pos, 0, in_len - 1)
    low = np.floor(pos).astype(np.int64)
    high = np.minimum(low + 1, in_len - 1)
    shape = [1] * x.ndim
    shape[axis] = out_len
    frac = (pos - low).astype(np.float32).reshape(shape)
    return np.take(x, low, axis=axis) * (1 - frac) + np.take(x, high, axis=axis) * frac


def resize(x, scales=None, sizes=None, mode="nearest", coordinate_transformation_mode="half_pixel",
           nearest_mode="round_prefer_floor", **_):
    if sizes is not None and len(sizes):
        sizes = [int(s) for s in sizes]
        scales = [s / d for s, d in zip(sizes, x.shape)]
    else:
        scales = [float(s) for s in scales]
        sizes = [int(np.floor(d * s)) for d, s in zip(x.shape, scales)]
    for axis in range(x.ndim):
        if sizes[axis] != x.shape[axis] or scales[axis] != 1:
            x = resize_axis(x, axis, sizes[axis], scales[axis], mode, coordinate_transformation_mode, nearest_mode)
    return x


def op_resize(inputs, attrs, opset):
    if opset < 11:  # Resize-10 is Upsample-9 renamed: (X, scales)
        return op_upsample(inputs, attrs, opset)
    scales = inputs[2] if len(inputs) > 2 else None
    sizes = inputs[3] if len(inputs) > 3 else None
    return resize(inputs[0], scales, sizes, **attrs)


def op_upsample(inputs, attrs, opset):
    # The old operators have no coordinate mode; they replicate pixels (floor), as the
    # runtimes and the exporters that write them do.
    scales = inputs[1] if len(inputs) > 1 else attrs["scales"]
    mode = attrs.get("mode", "nearest")
    return resize(inputs[0], scales, None, mode, "asymmetric", "floor")


def op_pad(inputs, attrs, opset):
    x = inputs[0]
    if opset >= 11:
        pads = [int(p) for p in inputs[1]]
        value = inputs[2].item() if len(inputs) > 2 and inputs[2] is not None and inputs[2].size else 0
        axes = [int(a) % x.ndim for a in inputs[3]] if len(inputs) > 3 and inputs[3] is not None else range(x.ndim)
    else:
        pads, value, axes = list(attrs["pads"]), attrs.get("value", 0.0), range(x.ndim)
    axes = list(axes)
    if any(p < 0 for p in pads):
        raise UpscaleError("Pad with negative pads is not supported")
    widths = [(0, 0)] * x.ndim
    for k, axis in enumerate(axes):
        widths[axis] = (pads[k], pads[k + len(axes)])
    mode = attrs.get("mode", "constant")
    if mode == "constant":
        return np.pad(x, widths, mode="constant", constant_values=value)
    if mode not in ("reflect", "edge", "wrap"):
        raise UpscaleError(f"unsupported Pad mode {mode}")
    return np.pad(x, widths, mode=mode)


def op_clip(inputs, attrs, opset):
    if opset >= 11:
        low = inputs[1] if len(inputs) > 1 and inputs[1] is not None else -np.inf
        high = inputs[2] if len(inputs) > 2 and inputs[2] is not None else np.inf
    else:
        low, high = attrs.get("min", -np.inf), attrs.get("max", np.inf)
    return np.clip(inputs[0], low, high).astype(inputs[0].dtype)


def op_reshape(inputs, attrs, opset):
    x, shape = inputs[0], [int(s) for s in inputs[1]]
    if not attrs.get("allowzero", 0):
        shape = [x.shape[i] if s == 0 else s for i, s in enumerate(shape)]
    return x.reshape(shape)


def op_constant(inputs, attrs, opset):
    for key, kind in (("value", None), ("value_float", np.float32), ("value_floats", np.float32),
                      ("value_int", np.int64), ("value_ints", np.int64)):
        if key in attrs:
            return np.asarray(attrs[key], dtype=kind)
    raise UpscaleError("unsupported Constant without a dense value")


def op_prelu(inputs, attrs, opset):
    x, slope = inputs
    if slope.ndim == 1 and x.ndim == 4 and slope.size == x.shape[1]:
        slope = slope.reshape(-1, 1, 1)  # one slope per channel, as some exporters write it
    return np.where(x < 0, x * slope, x)


def op_div(inputs, attrs, opset):
    a, b = inputs
    if np.issubdtype(a.dtype, np.integer):
        return np.trunc(a / b).astype(a.dtype)
    return a / b


def sigmoid(x):
    return (1 / (1 + np.exp(-x))).astype(x.dtype)


OPERATORS = {
    "Conv": lambda i, a, o: conv(*i, **a),
    "Relu": lambda i, a, o: np.maximum(i[0], 0),
    "LeakyRelu": lambda i, a, o: np.where(i[0] < 0, i[0] * np.float32(a.get("alpha", 0.01)), i[0]),
    "PRelu": op_prelu,
    "Add": lambda i, a, o: i[0] + i[1],
    "Sub": lambda i, a, o: i[0] - i[1],
    "Mul": lambda i, a, o: i[0] * i[1],
    "Div": op_div,
    "Concat": lambda i, a, o: np.concatenate(i, axis=a["axis"]),
    "DepthToSpace": lambda i, a, o: depth_to_space(i[0], **a),
    "Resize": op_resize,
    "Upsample": op_upsample,
    "Sigmoid": lambda i, a, o: sigmoid(i[0]),
    "Clip": op_clip,
    "Constant": op_constant,
    "Identity": lambda i, a, o: i[0],
    "Reshape": op_reshape,
    "Transpose": lambda i, a, o: np.transpose(i[0], a.get("perm")),
    "Pad": op_pad,
}


def attributes(node):
    from onnx import helper, numpy_helper

    result = {}
    for attribute in node.attribute:
        value = helper.get_attribute_value(attribute)
        if isinstance(value, bytes):
            value = value.decode()
        elif hasattr(value, "raw_data"):  # a tensor
            value = numpy_helper.to_array(value)
        result[attribute.name] = value
    return result


def as_float32(array):
    return array.astype(np.float32) if array.dtype in (np.float16, np.float64) else array


class NumpyModel:
    """An ONNX graph evaluated node by node with NumPy."""

    def __init__(self, path):
        import onnx
        from onnx import numpy_helper

        try:
            model = onnx.load(str(path))
        except Exception as error:
            raise UpscaleError(f"cannot read the model {path}: {error}") from None
        graph = model.graph
        self.opset = next((o.version for o in model.opset_import if o.domain in ("", "ai.onnx")), 1)
        for node in graph.node:
            if node.domain not in ("", "ai.onnx") or node.op_type not in OPERATORS:
                raise UpscaleError(f"unsupported operator {node.op_type}")
        self.constants = {t.name: as_float32(numpy_helper.to_array(t)) for t in graph.initializer}
        inputs = [i for i in graph.input if i.name not in self.constants]
        if len(inputs) != 1 or not graph.output:
            raise UpscaleError("the model must take one image and give one")
        self.input_name = inputs[0].name
        self.input_shape = [d.dim_value or None for d in inputs[0].type.tensor_type.shape.dim]
        self.output_name = graph.output[0].name
        self.nodes = [(n.op_type, list(n.input), n.output[0], attributes(n)) for n in graph.node]
        self.last_use = {}
        for index, (_, names, _, _) in enumerate(self.nodes):
            for name in names:
                self.last_use[name] = index

    def run(self, x):
        values = dict(self.constants)
        values[self.input_name] = x
        for index, (op, names, output, attrs) in enumerate(self.nodes):
            inputs = [values[name] if name else None for name in names]
            values[output] = OPERATORS[op](inputs, attrs, self.opset)
            for name in names:  # intermediate images are large: drop each after its last use
                if name and self.last_use[name] == index and name not in self.constants and name != self.output_name:
                    values.pop(name, None)
        return values[self.output_name]


# --- onnxruntime ---------------------------------------------------------------------------


class RuntimeModel:
    """The model in an onnxruntime session on the asked provider, or on the CPU."""

    def __init__(self, ort, path, provider, gpu):
        wanted = PROVIDERS[provider]
        providers = ["CPUExecutionProvider"]
        if wanted != providers[0]:
            if wanted in ort.get_available_providers():
                providers.insert(0, (wanted, {"device_id": int(gpu)}) if gpu else wanted)
            else:
                print(f"warning: provider {provider} is not available here, running on the CPU", file=sys.stderr)
        self.session = ort.InferenceSession(str(path), providers=providers)
        first = self.session.get_inputs()[0]
        self.input_name = first.name
        self.input_shape = [d if isinstance(d, int) else None for d in first.shape]
        self.dtype = np.float16 if first.type == "tensor(float16)" else np.float32

    def run(self, x):
        return self.session.run(None, {self.input_name: x.astype(self.dtype)})[0].astype(np.float32)


def load_model(path, provider, gpu):
    try:
        import onnxruntime
    except ImportError:
        print("warning: onnxruntime is not installed, running the model with NumPy (slow)", file=sys.stderr)
        return NumpyModel(path)
    return RuntimeModel(onnxruntime, path, provider, gpu)


# --- Tiling ---------------------------------------------------------------------------------


def tile_spans(length, tile, overlap):
    """(start, end) of the tiles along one axis: `tile` long, neighbours overlapping by at
    least `overlap`, spread evenly so that the first and last touch the image's ends."""
    if length <= tile:
        return [(0, length)]
    count = -(-(length - overlap) // (tile - overlap))
    starts = [round(k * (length - tile) / (count - 1)) for k in range(count)]
    return [(s, s + tile) for s in starts]


def blend_weights(start, end, length, scale, overlap):
    """Weights of one tile's output along one axis: zero within a quarter of the overlap of
    an inner edge (where the network saw the tile's border, not the image), then rising
    linearly to one; image edges are not inner edges."""
    trim, ramp = scale * (overlap // 4), scale * (overlap - 2 * (overlap // 4))
    position = np.arange(start * scale, end * scale) + 0.5
    distance = np.full(position.shape, np.inf)
    if start > 0:
        distance = np.minimum(distance, position - start * scale)
    if end < length:
        distance = np.minimum(distance, end * scale - position)
    if ramp == 0:
        return (distance > trim).astype(np.float32)
    return np.clip((distance - trim) / ramp, 0, 1).astype(np.float32)


def upscale_array(run, x, scale, tile, overlap, fixed=None):
    """Runs `run` over (1, C, H, W) `x` in overlapping tiles and blends the outputs.
    `tile` is (height, width); `fixed` is the model's fixed input size, to which smaller
    tiles are padded by repeating their edge."""
    _, _, height, width = x.shape
    result = None
    weight_y = np.zeros(height * scale, np.float32)
    weight_x = np.zeros(width * scale, np.float32)
    for y0, y1 in tile_spans(height, tile[0], overlap):
        wy = blend_weights(y0, y1, height, scale, overlap)
        for x0, x1 in tile_spans(width, tile[1], overlap):
            wx = blend_weights(x0, x1, width, scale, overlap)
            part = x[:, :, y0:y1, x0:x1]
            if fixed:
                part = np.pad(part, ((0, 0), (0, 0), (0, fixed[0] - (y1 - y0)), (0, fixed[1] - (x1 - x0))), mode="edge")
            out = run(part)
            if out.ndim != 4 or out.shape[2] != part.shape[2] * scale or out.shape[3] != part.shape[3] * scale:
                raise UpscaleError(f"the model turns {part.shape[3]}x{part.shape[2]} pixels into "
                                   f"{'x'.join(map(str, out.shape[:1:-1]))}, not a {scale}x upscale")
            out = out[:, :, : (y1 - y0) * scale, : (x1 - x0) * scale]
            if result is None:
                result = np.zeros((1, out.shape[1], height * scale, width * scale), np.float32)
            result[:, :, y0 * scale : y1 * scale, x0 * scale : x1 * scale] += out * wy[:, None] * wx[None, :]
        weight_y[y0 * scale : y1 * scale] += wy
    for x0, x1 in tile_spans(width, tile[1], overlap):
        weight_x[x0 * scale : x1 * scale] += blend_weights(x0, x1, width, scale, overlap)
    return result / (weight_y[:, None] * weight_x[None, :])


# --- Images and the command line -----------------------------------------------------------


def upscale_image(model, rgba, scale, tile, overlap):
    """An (H, W, 4) uint8 image to a (scale·H, scale·W, 4) one."""
    from PIL import Image

    fixed = model.input_shape[2:4] if len(model.input_shape) == 4 and all(model.input_shape[2:4]) else None
    if len(model.input_shape) == 4 and model.input_shape[1] not in (None, 3):
        raise UpscaleError(f"the model takes {model.input_shape[1]} channels, not RGB")
    if fixed:
        tile, overlap = tuple(fixed), min(overlap, min(fixed) // 4)
    x = rgba[:, :, :3].transpose(2, 0, 1)[None].astype(np.float32) / 255
    y = upscale_array(model.run, x, scale, tile, overlap, fixed)
    if y.shape[1] != 3:
        raise UpscaleError(f"the model gives {y.shape[1]} channels, not RGB")
    height, width = rgba.shape[0] * scale, rgba.shape[1] * scale
    out = np.empty((height, width, 4), np.uint8)
    out[:, :, :3] = np.clip(np.rint(y[0].transpose(1, 2, 0) * 255), 0, 255)
    alpha = rgba[:, :, 3]
    if (alpha == 255).all():
        out[:, :, 3] = 255
    else:
        out[:, :, 3] = np.asarray(Image.fromarray(alpha, "L").resize((width, height), Image.BICUBIC))
    return out


def jobs_of(source, target):
    if not source.is_dir():
        return [(source, target)]
    try:
        target.mkdir(parents=True, exist_ok=True)
    except OSError as error:
        raise UpscaleError(f"cannot create {target}: {error}") from None
    return [(path, target / path.name) for path in sorted(source.glob("*.png"))]


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="Upscales PNG images with an ONNX super-resolution model.")
    parser.add_argument("-i", dest="input", type=Path, required=True, help="input PNG or folder")
    parser.add_argument("-o", dest="output", type=Path, required=True, help="output PNG or folder")
    parser.add_argument("-m", dest="model", type=Path, required=True, help="the .onnx model")
    parser.add_argument("-s", dest="scale", type=int, default=4, help="the model's scale (default 4)")
    parser.add_argument("-t", dest="tile", type=int, default=512, help="tile size in input pixels (default 512)")
    parser.add_argument("-p", dest="provider", choices=sorted(PROVIDERS), default="dml", help="onnxruntime provider")
    parser.add_argument("-g", dest="gpu", default="", help="device id for the provider")
    parser.add_argument("--overlap", type=int, help="overlap of neighbouring tiles (default tile/4, at most 32)")
    parser.add_argument("--quiet", action="store_true", help="no progress lines")
    args = parser.parse_args(argv)
    if args.overlap is None:
        args.overlap = min(32, args.tile // 4)
    if args.scale < 1 or args.overlap < 0 or args.tile <= args.overlap:
        parser.error("-s must be positive and -t larger than --overlap")
    return args


def run(args):
    """Upscales every job; returns how many files failed. Model failures raise."""
    from PIL import Image

    if not args.model.is_file():
        raise UpscaleError(f"model file not found: {args.model}")
    jobs = jobs_of(args.input, args.output)
    model = load_model(args.model, args.provider, args.gpu)
    failures = 0
    for source, target in jobs:
        started = time.monotonic()
        try:
            with Image.open(source) as image:
                rgba = np.asarray(image.convert("RGBA"))
        except (OSError, ValueError, SyntaxError) as error:
            print(f"failed: cannot read {source}: {error}", file=sys.stderr)
            failures += 1
            continue
        out = upscale_image(model, rgba, args.scale, (args.tile, args.tile), args.overlap)
        try:
            Image.fromarray(out, "RGBA").save(target)
        except OSError as error:
            raise UpscaleError(f"cannot write {target}: {error}") from None
        if not args.quiet:
            print(f"{source.name}: {rgba.shape[1]}x{rgba.shape[0]} -> {out.shape[1]}x{out.shape[0]} "
                  f"in {time.monotonic() - started:.1f} s", flush=True)
    return failures


def main(argv=None):
    args = parse_arguments(argv)
    try:
        return 1 if run(args) else 0
    except MemoryError:
        reason = f"out of memory (try a smaller -t than {args.tile})"
    except UpscaleError as error:
        reason = str(error)
    except Exception as error:  # onnxruntime's own errors: allocation, bad models
        reason = f"{type(error).__name__}: {error}"
    print(f"failed: {reason}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
