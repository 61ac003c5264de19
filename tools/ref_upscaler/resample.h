// Upscaling one image by the kernel a reference model names.
#pragma once
#include "image/rgba_image.h"
#include "tools/ref_upscaler/ref_model.h"

namespace tarkeep::ref_upscaler {

// The image `scale` times larger on both axes, resampled as the model says. With
// `parallel` the rows are spread over the worker threads.
data::RgbaImage upscale_image(const data::RgbaImage& source, const RefModel& model, int scale, bool parallel);

}  // namespace tarkeep::ref_upscaler
