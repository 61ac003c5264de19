"""The ONNX upscaler script: its NumPy operators against NumPy computations, tiling, whole
runs on tiny models built here, and tarkeep_upscale running it over the sample game."""
import contextlib
import io
import itertools
import os
import subprocess
import sys
import tempfile
import types
import unittest
from pathlib import Path

import numpy as np
from onnx import helper, numpy_helper, save
from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../../../tools"))
import onnx_upscale  # noqa: E402

rng = np.random.default_rng(7)
X3, C2 = (rng.normal(0, 1, s).astype(np.float32) for s in ((1, 3, 5, 6), (1, 2, 5, 6)))
B = (rng.random((3, 1, 1)) + 0.5).astype(np.float32)
W_GROUPED, W_FULL = rng.normal(0, 1, (6, 1, 3, 3)), rng.normal(0, 1, (4, 3, 3, 3))


def save_model(path, nodes, constants={}, opset=13):
    """The graph of `nodes` from input "x" to the last node's output; `constants` become initializers."""
    io_info = [helper.make_tensor_value_info(n, 1, None) for n in ("x", nodes[-1].output[0])]
    inits = [numpy_helper.from_array(np.asarray(v), k) for k, v in constants.items()]
    save(helper.make_model(helper.make_graph(nodes, "t", io_info[:1], io_info[1:], inits),
                           opset_imports=[helper.make_opsetid("", opset)]), str(path))
    return path


def conv_net(path, weights, scale=4, mode="DCR"):
    """3x3 or 1x1 convolutions with ReLU between, weights as Constant nodes, then depth-to-space."""
    nodes, last = [], "x"
    for k, w in enumerate(weights):
        tensor = numpy_helper.from_array(w.astype(np.float32))
        nodes += [helper.make_node("Constant", [], [f"w{k}"], value=tensor),
                  helper.make_node("Conv", [last, f"w{k}"], [f"c{k}"], pads=[w.shape[2] // 2] * 4),
                  helper.make_node("Relu", [f"c{k}"], [f"r{k}"])]
        last = f"c{k}" if k + 1 == len(weights) else f"r{k}"
    return save_model(path, nodes[:-1] + [helper.make_node("DepthToSpace", [last], ["y"], blocksize=scale, mode=mode)])


def random_net(path, layers, width=8, scale=4, seed=0):
    sizes = [3] + [width] * (layers - 1) + [3 * scale * scale]
    g = np.random.default_rng(seed)
    return conv_net(path, [g.normal(0, 0.2 / np.sqrt(a), (b, a, 3, 3)) for a, b in zip(sizes, sizes[1:])], scale)


def naive_conv(x, w, group=1, dilation=1, pad=0, stride=1):
    xp = np.pad(x[0], ((0, 0), (pad, pad), (pad, pad)))
    co, ci, k, _ = w.shape
    out = np.zeros((co, *[(n - dilation * (k - 1) - 1) // stride + 1 for n in xp.shape[1:]]))
    for o, y, x_ in itertools.product(*map(range, out.shape)):
        window = xp[o // (co // group) * ci:, y * stride::dilation, x_ * stride::dilation][:ci, :k, :k]
        out[o, y, x_] = (window * w[o]).sum()
    return out[None]


def bilinear2(x):  # half-pixel 2x: 3/4 of the nearest input, 1/4 of the next (edges repeated)
    for axis in (2, 3):
        p = np.concatenate([np.take(x, [0], axis), x, np.take(x, [-1], axis)], axis)
        mid, n = np.take(p, range(1, x.shape[axis] + 1), axis), x.shape[axis]
        pair = [0.75 * mid + 0.25 * np.take(p, range(s, s + n), axis) for s in (0, 2)]
        x = np.stack(pair, axis + 1).reshape(*x.shape[:axis], 2 * n, *x.shape[axis + 1:])
    return x


F, I64 = np.float32, np.int64
# (operator, input, further inputs (None: left out), attributes, expected, opset)
OPERATOR_CASES = [
    ("Conv", X3, [W_GROUPED], dict(group=3, dilations=[2, 2], pads=[2] * 4), naive_conv(X3, W_GROUPED, 3, 2, 2), 13),
    ("Conv", X3, [W_FULL, B.ravel()[[0, 1, 2, 0]]], dict(strides=[2, 2], pads=[1] * 4),
     naive_conv(X3, W_FULL, stride=2, pad=1) + B.ravel()[[0, 1, 2, 0]].reshape(1, 4, 1, 1), 13),
    ("Conv", X3, [W_FULL], dict(auto_pad="SAME_UPPER"), naive_conv(X3, W_FULL, pad=1), 13),
    ("Relu", X3, [], {}, np.maximum(X3, 0), 13),
    ("LeakyRelu", X3, [], dict(alpha=0.2), np.where(X3 > 0, X3, 0.2 * X3), 13),
    ("PRelu", X3, [B], {}, np.where(X3 > 0, X3, B * X3), 13), ("Add", X3, [B], {}, X3 + B, 13),
    ("Sub", X3, [B], {}, X3 - B, 13), ("Mul", X3, [B], {}, X3 * B, 13), ("Div", X3, [B], {}, X3 / B, 13),
    ("Concat", X3, [C2], dict(axis=1), np.concatenate([X3, C2], 1), 13),
    ("Resize", X3, [None, np.array([1, 1, 2, 3], F)], dict(mode="nearest", nearest_mode="floor",
     coordinate_transformation_mode="asymmetric"), X3.repeat(2, 2).repeat(3, 3), 13),
    ("Resize", X3, [None, None, np.array([1, 3, 10, 12], I64)], dict(mode="nearest"), X3.repeat(2, 2).repeat(2, 3), 13),
    ("Resize", X3, [None, np.array([1, 1, 2, 2], F)], dict(mode="linear"), bilinear2(X3), 13),
    ("Upsample", X3, [np.array([1, 1, 4, 2], F)], {}, X3.repeat(4, 2).repeat(2, 3), 9),
    ("Sigmoid", X3, [], {}, 1 / (1 + np.exp(-X3)), 13), ("Identity", X3, [], {}, X3, 13),
    ("Clip", X3, [F(-0.3), F(0.4)], {}, np.minimum(np.maximum(X3, -0.3), 0.4), 13),
    ("Clip", X3, [], dict(min=-0.2), np.maximum(X3, -0.2), 6),
    ("Reshape", X3, [np.array([1, 0, -1], I64)], {}, X3.reshape(1, 3, 30), 13),
    ("Transpose", X3, [], dict(perm=[0, 1, 3, 2]), X3.swapaxes(2, 3), 13),
    ("Pad", X3, [np.array([0, 0, 1, 2, 0, 0, 3, 0], I64)], dict(mode="reflect"), np.pad(X3, [(0, 0)] * 2 + [(1, 3), (2, 0)], "reflect"), 13),
    ("Pad", X3, [np.array([0, 0, 0, 1, 0, 0, 2, 0], I64), F(0.5)], {}, np.pad(X3, [(0, 0)] * 2 + [(0, 2), (1, 0)], constant_values=0.5), 13),
    ("Pad", X3, [], dict(pads=[0, 0, 1, 0, 0, 0, 0, 1], mode="edge"), np.pad(X3, [(0, 0)] * 2 + [(1, 0), (0, 1)], "edge"), 2),
]


def run_script(*argv):
    err = io.StringIO()
    with contextlib.redirect_stderr(err), contextlib.redirect_stdout(io.StringIO()):
        return onnx_upscale.main([str(a) for a in argv]), err.getvalue()


class OnnxUpscaleTest(unittest.TestCase):
    def setUp(self):
        self.dir = Path(self.enterContext(tempfile.TemporaryDirectory()))

    def test_each_operator_matches_numpy(self):
        for k, (op, x, further, attrs, expected, opset) in enumerate(OPERATOR_CASES):
            with self.subTest(case=k, op=op):
                names = ["x"] + [f"c{n}" if v is not None else "" for n, v in enumerate(further)]
                constants = {f"c{n}": v for n, v in enumerate(further) if v is not None}
                model = save_model(self.dir / "op.onnx", [helper.make_node(op, names, ["y"], **attrs)], constants, opset)
                np.testing.assert_allclose(onnx_upscale.NumpyModel(model).run(x), expected, rtol=1e-5, atol=1e-5)

    def test_pixel_shuffle_network_gives_the_hand_computed_pixels(self):
        gains = np.linspace(0.5, 1.0, 16)  # sub-pixel (i, j) of each input pixel is its value times gains[4i + j]
        for mode, channel in (("DCR", lambda k, c: 3 * k + c), ("CRD", lambda k, c: 16 * c + k)):
            w = np.zeros((48, 3, 1, 1))
            for k, c in itertools.product(range(16), range(3)):
                w[channel(k, c), c] = gains[k]
            source = rng.integers(0, 256, (5, 7, 4), dtype=np.uint8)
            source[..., 3] = 100
            Image.fromarray(source, "RGBA").save(self.dir / "in.png")
            self.assertEqual(run_script("-i", self.dir / "in.png", "-o", self.dir / "out.png", "-m",
                                        conv_net(self.dir / "shuffle.onnx", [w], mode=mode), "-t", 4, "--overlap", 0)[0], 0)
            out = np.asarray(Image.open(self.dir / "out.png")).astype(float)
            for i, j in itertools.product(range(4), range(4)):  # written rounded: within half a level
                np.testing.assert_array_less(np.abs(out[i::4, j::4, :3] - source[..., :3] * gains[4 * i + j]), 0.5001)
            self.assertTrue((out[..., 3] == 100).all())

    def test_bad_models_and_inputs_fail_with_a_reason(self):
        save_model(self.dir / "tanh.onnx", [helper.make_node("Tanh", ["x"], ["y"])])
        (self.dir / "in").mkdir()
        Image.new("RGB", (9, 6)).save(self.dir / "in/a.png")
        for model, text in ((random_net(self.dir / "x2.onnx", 2, scale=2), "the model turns 9x6 pixels into 18x12, not a 4x upscale"),
                            (self.dir / "tanh.onnx", "unsupported operator Tanh"), (self.dir / "none.onnx", f"model file not found: {self.dir}/none.onnx")):
            code, err = run_script("-i", self.dir / "in", "-o", self.dir / model.stem, "-m", model)
            self.assertEqual((code, err.splitlines()[-1]), (1, f"failed: {text}"))
            self.assertFalse((self.dir / model.stem / "a.png").exists())
        (self.dir / "in/b.png").write_bytes(b"\x89PNG broken")
        code, err = run_script("-i", self.dir / "in", "-o", self.dir / "out", "-m", random_net(self.dir / "x4.onnx", 1))
        self.assertEqual((code, Image.open(self.dir / "out/a.png").size), (1, (36, 24)))
        self.assertIn("failed: cannot read " + str(self.dir / "in/b.png"), err)

    def test_tiles_with_overlap_give_the_whole_image_result(self):
        for layers, tile, overlap, height, width in ((1, 12, 4, 30, 23), (2, 16, 8, 37, 41), (2, 40, 8, 37, 41), (3, 20, 12, 50, 21)):
            model = onnx_upscale.NumpyModel(random_net(self.dir / "net.onnx", layers, seed=layers))
            x = rng.random((1, 3, height, width), dtype=np.float32)
            tiled = onnx_upscale.upscale_array(model.run, x, 4, (tile, tile), overlap)
            np.testing.assert_allclose(tiled, model.run(x), atol=2e-5, err_msg=f"{layers} layers, tile {tile}")

    def test_provider_choice_and_fallback_to_the_cpu(self):
        cpu, cuda, chosen = "CPUExecutionProvider", "CUDAExecutionProvider", []
        ort = types.SimpleNamespace(get_available_providers=lambda: [cuda, cpu], InferenceSession=lambda path, providers: chosen.append(
            providers) or types.SimpleNamespace(get_inputs=lambda: [types.SimpleNamespace(name="x", shape=[1, 3, "h", "w"], type="")]))
        for provider, gpu, expected in (("dml", "", [cpu]), ("cuda", "1", [(cuda, {"device_id": 1}), cpu]), ("cuda", "", [cuda, cpu]), ("cpu", "", [cpu])):
            with contextlib.redirect_stderr(io.StringIO()) as err:
                onnx_upscale.RuntimeModel(ort, "m.onnx", provider, gpu)
            self.assertEqual((chosen[-1], err.getvalue()), (expected, "warning: provider dml is not available here, running on the CPU\n" * (provider == "dml")))

    @unittest.skipUnless(os.environ.get("TARKEEP_BINARY_DIR"), "needs the built programs (run through ctest)")
    def test_the_asset_tool_stores_hd_textures_once(self):
        tools = Path(os.environ["TARKEEP_BINARY_DIR"]) / "tools"
        subprocess.run([tools / "sample_game/tarkeep_sample_game", self.dir / "morv"], check=True, capture_output=True)
        (self.dir / "models/x").mkdir(parents=True)
        random_net(self.dir / "models/x/tiny.onnx", 2, seed=3)  # found one folder down
        command = [tools / "upscale/tarkeep_upscale", self.dir / "morv", self.dir / "cache", "--model", "onnx:tiny",
                   "--python", sys.executable, "--onnx-models", self.dir / "models", "--onnx-tile", "48", "--margin", "4"]
        runs = [subprocess.run(command, capture_output=True, text=True) for _ in range(2)]
        self.assertEqual([r.returncode for r in runs], [0, 0], runs[0].stderr + runs[1].stderr)
        self.assertIn("6 to upscale", runs[0].stdout)
        self.assertIn("0 to upscale", runs[1].stdout)
        self.assertEqual(sorted(Image.open(p).width // 64 for p in (self.dir / "cache").glob("*.png")), [4, 4, 4, 8, 8, 8])


if __name__ == "__main__":
    unittest.main()
