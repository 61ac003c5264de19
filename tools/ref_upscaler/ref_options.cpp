// The reference upscaler's usage text and the parsing of its NCNN-compatible switches.
#include "tools/ref_upscaler/ref_options.h"

#include <stdexcept>

#include "platform/cmdline.h"

namespace tarkeep::ref_upscaler {

const char* ref_usage() {
    return "usage: tarkeep_ref_upscaler -i <input folder|png> -o <output folder|png> [-n model] [-s scale]\n"
           "                            [-m model folder] [-f png] [-t tile] [-g gpu] [-j threads] [-x]\n"
           "\n"
           "A classical image resampler for testing and demos, NOT a neural network: it accepts the\n"
           "command line of realesrgan-ncnn-vulkan and enlarges every PNG by the -s factor with a fixed\n"
           "kernel named by the model description <model>.param (with <model>.bin beside it) in the -m\n"
           "folder (default: models beside this program). Shipped models: nearest (exact pixel\n"
           "replication) and lanczos3 (sharp Lanczos-3 resampling, the default). -t, -g, -j and -x are\n"
           "accepted for compatibility and ignored; it runs on the CPU with all cores.\n";
}

RefOptions parse_ref_options(const std::vector<std::string>& args) {
    RefOptions o;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
            continue;
        }
        if (a == "-x") {
            o.tta = true;
            continue;
        }
        if (a.size() != 2 || a[0] != '-' || std::string("ionsmftgj").find(a[1]) == std::string::npos)
            throw std::runtime_error("unknown switch " + a);
        if (i + 1 >= args.size()) throw std::runtime_error("switch " + a + " needs a value");
        const std::string& v = args[++i];
        switch (a[1]) {
            case 'i': o.input = platform::path_from_utf8(v); break;
            case 'o': o.output = platform::path_from_utf8(v); break;
            case 'n': o.model = v; break;
            case 's': {
                std::size_t used = 0;
                int scale = 0;
                try {
                    scale = std::stoi(v, &used);
                } catch (const std::exception&) {
                    used = 0;
                }
                if (used != v.size() || scale < 1 || scale > 16)
                    throw std::runtime_error("scale " + v + " must be a whole number from 1 to 16");
                o.scale = scale;
                break;
            }
            case 'm': o.model_dir = platform::path_from_utf8(v); break;
            case 'f': o.format = v; break;
            case 't': o.tile = v; break;
            case 'g': o.gpu = v; break;
            case 'j': o.threads = v; break;
        }
    }
    if (o.help) return o;
    if (o.input.empty() || o.output.empty()) throw std::runtime_error("-i and -o are required");
    if (o.format != "png") throw std::runtime_error("output format " + o.format + " is not supported (png only)");
    return o;
}

}  // namespace tarkeep::ref_upscaler
