"""The ONNX upscaler script: its NumPy operators against NumPy computations, tiling, whole
runs on tiny models built here, and tarkeep_upscale running it over the sample game."""
import contextlib, io, itertools, os, subprocess, sys, tempfile, unittest  # noqa: E401
from pathlib import Path
from types import SimpleNamespace

import numpy as np
from onnx import helper, numpy_helper, save
from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../../../tools"))
import onnx_upscale  # noqa: E402

rng = np.random.default_rng(7)
X, C2, W_GROUPED, W_FULL = (rng.normal(0, 1, s).astype(np.float32) for s in ((1, 3, 5, 6), (1, 2, 5, 6), (6, 1, 3, 3),
                                                                               (4, 3, 3, 3)))
B, BIAS = (rng.random((3, 1, 1)) + 0.5).astype(np.float32), rng.random(4).astype(np.float32)
f32, i64, KEEP = (lambda *v: np.array(v, np.float32)), (lambda *v: np.array(v, np.int64)), [(0, 0)] * 2
RAMP = lambda rows, columns: np.broadcast_to(rows[:, None] + 0.5 * columns, (1, 3, len(rows), len(columns)))  # noqa
WARNING = "warning: provider dml is not available here, running on the CPU\n"
PLANE = RAMP(np.arange(5.0), np.arange(6.0)).astype(np.float32)
DEPTH = rng.normal(0, 1, (1, 12, 2, 3)).astype(np.float32)


def save_model(path, nodes, constants={}, opset=13):
    """The graph of `nodes` from input "x" to the last node's output; `constants` become initializers."""
    ends = [helper.make_tensor_value_info(n, 1, None) for n in ("x", nodes[-1].output[0])]
    inits = [numpy_helper.from_array(v, k) for k, v in constants.items()]
    graph = helper.make_graph(nodes, "t", ends[:1], ends[1:], inits)
    save(helper.make_model(graph, opset_imports=[helper.make_opsetid("", opset)]), str(path))
    return path


def conv_net(path, weights, scale=4, mode="DCR"):
    """Convolutions with ReLU between, their weights from Constant nodes, then depth-to-space."""
    nodes = []
    for k, w in enumerate(weights):
        nodes += [helper.make_node("Constant", [], [f"w{k}"], value=numpy_helper.from_array(w.astype(np.float32))),
                  helper.make_node("Conv", [nodes[-1].output[0] if k else "x", f"w{k}"], [f"c{k}"],
                                   pads=[w.shape[2] // 2] * 4),
                  helper.make_node("Relu", [f"c{k}"], [f"r{k}"])]
        if 0 < k < len(weights) - 1:  # a skip connection: the previous activation is read twice
            nodes.append(helper.make_node("Add", [f"r{k}", nodes[-4].output[0]], [f"s{k}"]))
    shuffle = helper.make_node("DepthToSpace", [f"c{k}"], ["y"], blocksize=scale, mode=mode)
    return save_model(path, nodes[:-1] + [shuffle])


def random_net(path, layers, scale=4, seed=0):
    sizes, g = [3] + [8] * (layers - 1) + [3 * scale * scale], np.random.default_rng(seed)
    return conv_net(path, [g.normal(0, 0.2 / np.sqrt(a), (b, a, 3, 3)) for a, b in zip(sizes, sizes[1:])], scale)


def naive_conv(w, group=1, dilation=1, pad=0, stride=1):
    xp, (co, ci, k, _) = np.pad(X[0], ((0, 0), (pad, pad), (pad, pad))), w.shape
    out = np.zeros((co, *[(n - dilation * (k - 1) - 1) // stride + 1 for n in xp.shape[1:]]))
    for o, y, x in itertools.product(*map(range, out.shape)):
        window = xp[o // (co // group) * ci:, y * stride::dilation, x * stride::dilation][:ci, :k, :k]
        out[o, y, x] = (window * w[o]).sum()
    return out[None]


def naive_depth_to_space(x, b, crd):
    """Output (c, b·y + i, b·x + j) is input channel c·b² + b·i + j (CRD) or (b·i + j)·C + c (DCR) at (y, x)."""
    c, (_, ch, y, w) = x.shape[1] // b // b, np.indices((1, x.shape[1] // b // b, x.shape[2] * b, x.shape[3] * b))
    k = y % b * b + w % b
    return x[0, ch * b * b + k if crd else k * c + ch, y // b, w // b]


# (operator, further inputs (None: left out), attributes, expected for X[, opset[, input instead of X]])
OPERATOR_CASES = [
    ("Conv", [W_GROUPED], dict(group=3, dilations=[2, 2], pads=[2] * 4), naive_conv(W_GROUPED, 3, 2, 2)),
    ("Conv", [W_FULL, BIAS], dict(strides=[2, 2], pads=[1] * 4),
     naive_conv(W_FULL, stride=2, pad=1) + BIAS[:, None, None]),
    ("Conv", [W_FULL], dict(auto_pad="SAME_UPPER"), naive_conv(W_FULL, pad=1)),
    ("Conv", [W_FULL], {}, naive_conv(W_FULL)),
    ("Conv", [W_FULL[..., :2, :2]], dict(auto_pad="SAME_LOWER"), naive_conv(W_FULL[..., :2, :2], pad=1)[..., :5, :6]),
    ("Relu", [], {}, np.maximum(X, 0)), ("LeakyRelu", [], dict(alpha=0.2), np.where(X > 0, X, 0.2 * X)),
    ("PRelu", [B.ravel()], {}, np.where(X > 0, X, B * X)), ("Add", [B], {}, X + B), ("Sub", [B], {}, X - B),
    ("Mul", [B], {}, X * B), ("Div", [B], {}, X / B), ("Concat", [C2], dict(axis=1), np.concatenate([X, C2], 1)),
    ("Resize", [None, f32(1, 1, 2, 3)], dict(mode="nearest", nearest_mode="floor", coordinate_transformation_mode=
                                             "asymmetric"), X.repeat(2, 2).repeat(3, 3)),
    ("Resize", [None, None, i64(1, 3, 10, 12)], dict(mode="nearest"), X.repeat(2, 2).repeat(2, 3)),
    ("Resize", [None, None, i64(1, 3, 10, 12)], dict(mode="nearest",
                                                     coordinate_transformation_mode="tf_half_pixel_for_nn"),
     X[:, :, np.minimum(np.arange(1, 11) // 2, 4)][..., np.minimum(np.arange(1, 13) // 2, 5)]),
    ("Resize", [None, f32(1, 1, 2, 2)], dict(mode="linear"), RAMP(*(np.clip(np.arange(2 * n) / 2 - 0.25, 0, n - 1)
     for n in (5, 6))), 13, PLANE),  # a plane stays that plane
    ("Resize", [None, None, i64(1, 3, 9, 11)], dict(mode="linear", coordinate_transformation_mode="align_corners"),
     RAMP(np.arange(9) / 2, np.arange(11) / 2), 13, PLANE),
    ("Upsample", [f32(1, 1, 4, 2)], {}, X.repeat(4, 2).repeat(2, 3), 9),
    ("Sigmoid", [], {}, 1 / (1 + np.exp(-X))), ("Identity", [], {}, X),
    ("Clip", [f32(-0.3), f32(0.4)], {}, np.minimum(np.maximum(X, -0.3), 0.4), 11),
    ("Clip", [], dict(min=-0.2), np.maximum(X, -0.2), 6),
    ("Reshape", [i64(1, 0, -1)], {}, X.reshape(1, 3, 30)), ("Transpose", [], dict(perm=[0, 1, 3, 2]), X.swapaxes(2, 3)),
    ("Pad", [i64(0, 0, 1, 2, 0, 0, 3, 0)], dict(mode="reflect"), np.pad(X, KEEP + [(1, 3), (2, 0)], "reflect")),
    ("Pad", [i64(0, 0, 0, 1, 0, 0, 2, 0), f32(0.5)], {}, np.pad(X, KEEP + [(0, 2), (1, 0)], constant_values=0.5)),
    ("Pad", [], dict(pads=[0, 0, 1, 0, 0, 0, 0, 1], mode="edge"), np.pad(X, KEEP + [(1, 0), (0, 1)], "edge"), 2),
    ("Pad", [i64(2, 0, 0, 1), None, i64(-1, 2)], {}, np.pad(X, KEEP + [(0, 1), (2, 0)]), 18),
    ("DepthToSpace", [], dict(blocksize=2), naive_depth_to_space(DEPTH, 2, False), 13, DEPTH),
    ("DepthToSpace", [], dict(blocksize=2, mode="CRD"), naive_depth_to_space(DEPTH, 2, True), 13, DEPTH),
]


def run_script(*argv):
    with contextlib.redirect_stderr(io.StringIO()) as err, contextlib.redirect_stdout(io.StringIO()):
        return onnx_upscale.main([str(a) for a in argv]), err.getvalue()


class OnnxUpscaleTest(unittest.TestCase):
    def setUp(self):
        self.dir = Path(self.enterContext(tempfile.TemporaryDirectory()))

    def test_each_operator_matches_numpy(self):
        for op, further, attrs, expected, *opset_and_input in OPERATOR_CASES:
            opset, x = opset_and_input + [13, X][len(opset_and_input):]
            with self.subTest(op=op, attrs=attrs):
                names = ["x"] + [f"c{n}" if v is not None else "" for n, v in enumerate(further)]
                node = helper.make_node(op, names, ["y"], **attrs)
                model = save_model(self.dir / "op.onnx", [node], {n: v for n, v in zip(names[1:], further) if n}, opset)
                np.testing.assert_allclose(onnx_upscale.NumpyModel(model).run(x), expected, rtol=1e-5, atol=1e-5)

    def test_bad_models_and_inputs_fail_with_a_reason(self):
        save_model(self.dir / "tanh.onnx", [helper.make_node("Tanh", ["x"], ["y"])])
        Image.new("RGB", (9, 6)).save((self.dir / "in").mkdir() or self.dir / "in/a.png")
        for model, text in ((random_net(self.dir / "x2.onnx", 2, scale=2), "the model turns 9x6 pixels into 18x12"),
                            (self.dir / "tanh.onnx", "unsupported operator Tanh"),
                            (self.dir / "none.onnx", f"model file not found: {self.dir}/none.onnx")):
            code, err = run_script("-i", self.dir / "in", "-o", self.dir / model.stem, "-m", model)
            self.assertEqual((code, err.splitlines()[-1][:len(text) + 8]), (1, f"failed: {text}"))
            self.assertFalse((self.dir / model.stem / "a.png").exists())
        (self.dir / "in/b.png").write_bytes(b"\x89PNG broken")
        code, err = run_script("-i", self.dir / "in", "-o", self.dir / "out", "-m", random_net(self.dir / "x4.onnx", 1))
        self.assertEqual((code, Image.open(self.dir / "out/a.png").size), (1, (36, 24)))
        self.assertIn(f"failed: cannot read {self.dir}/in/b.png", err)

    def test_tiles_with_overlap_give_the_whole_image_result(self):
        for layers, tile, overlap, height, width in ((1, 12, 4, 30, 23), (2, 16, 8, 37, 41), (2, 40, 8, 37, 41),
                                                     (3, 20, 12, 50, 21)):
            model = onnx_upscale.NumpyModel(random_net(self.dir / "net.onnx", layers, seed=layers))
            x = rng.random((1, 3, height, width), dtype=np.float32)
            tiled = onnx_upscale.upscale_array(model.run, x, 4, (tile, tile), overlap)
            np.testing.assert_allclose(tiled, model.run(x), atol=2e-5, err_msg=f"{layers} layers, tile {tile}")

    def test_a_fixed_size_model_gets_every_tile_padded_to_its_size_and_colours_are_rounded(self):
        seen, run = set(), lambda x: seen.add(x.shape) or 0.6 * x.repeat(4, 2).repeat(4, 3)  # whatever the tiles
        model = SimpleNamespace(input_shape=[1, 3, 8, 8], run=run)
        for image in (rng.integers(0, 256, shape, dtype=np.uint8) for shape in ((11, 5, 4), (5, 11, 4))):
            image[..., 3] = 100  # an alpha below 255 is kept
            out = onnx_upscale.upscale_image(model, image, 4, (512, 512), 2)
            expected = np.dstack([np.rint(image[..., :3] * 0.6), image[..., 3:]])  # never n·0.6 = k + 1/2
            np.testing.assert_array_equal(out, expected.repeat(4, 0).repeat(4, 1))
        self.assertEqual(seen, {(1, 3, 8, 8)})

    def test_provider_choice_and_fallback_to_the_cpu(self):
        cpu, cuda, chosen = "CPUExecutionProvider", "CUDAExecutionProvider", []
        image = SimpleNamespace(name="x", shape=[], type="tensor(float)")
        ort = SimpleNamespace(get_available_providers=lambda: [cuda, cpu], InferenceSession=lambda _, providers:
                              chosen.append(providers) or SimpleNamespace(get_inputs=lambda: [image]))
        for provider, gpu, expected in (("dml", "", [cpu]), ("cuda", "1", [(cuda, {"device_id": 1}), cpu]),
                                        ("cuda", "", [cuda, cpu]), ("cpu", "", [cpu])):
            with contextlib.redirect_stderr(io.StringIO()) as err:
                onnx_upscale.RuntimeModel(ort, "m.onnx", provider, gpu)
            self.assertEqual((chosen[-1], err.getvalue()), (expected, WARNING * (provider == "dml")))

    @unittest.skipUnless(os.environ.get("TARKEEP_BINARY_DIR"), "needs the built programs (run through ctest)")
    def test_the_asset_tool_stores_hd_textures_once(self):
        tools = Path(os.environ["TARKEEP_BINARY_DIR"]) / "tools"
        subprocess.run([tools / "sample_game/tarkeep_sample_game", self.dir / "morv"], check=True, capture_output=True)
        random_net((self.dir / "models/x").mkdir(parents=True) or self.dir / "models/x/tiny.onnx", 2)  # one folder down
        command = [tools / "upscale/tarkeep_upscale", self.dir / "morv", self.dir / "cache", "--model", "onnx:tiny",
                   "--python", sys.executable, "--onnx-models", self.dir / "models", "--onnx-tile", "48"]
        runs = [subprocess.run(command, capture_output=True, text=True) for _ in range(2)]
        self.assertEqual([r.returncode for r in runs], [0, 0], runs[0].stderr + runs[1].stderr)
        self.assertEqual([("6 to upscale" in runs[0].stdout), ("0 to upscale" in runs[1].stdout)], [True, True])
        sizes = sorted(Image.open(p).width // 64 for p in (self.dir / "cache").glob("*.png"))
        self.assertEqual(sizes, [4, 4, 4, 8, 8, 8])  # 64 and 128 px sources


if __name__ == "__main__":
    unittest.main()
