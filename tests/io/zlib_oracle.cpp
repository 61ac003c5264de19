#include "tests/io/zlib_oracle.h"

#include <zlib.h>

#include <stdexcept>
#include <string>

namespace tarkeep::test {

std::vector<std::uint8_t> zlib_deflate_raw(const std::vector<std::uint8_t>& data, int level, int strategy,
                                           int mem_level) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, mem_level, strategy) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::vector<std::uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate failed: " + std::to_string(status));
    out.resize(stream.total_out);
    return out;
}

std::vector<std::uint8_t> random_bytes(std::mt19937& random, std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (auto& b : data) b = static_cast<std::uint8_t>(random());
    return data;
}

std::vector<std::uint8_t> mixed_data(std::mt19937& random, std::size_t size) {
    static const char* const kWords[] = {"unit", "tank", "infantry", "season", "winter", "texture", " = ",
                                         "{\n", "}\n", "0.25", "true", "\t", "weapon", "range", ",", "\n"};
    std::vector<std::uint8_t> data;
    data.reserve(size);
    while (data.size() < size) {
        const std::size_t piece = 1 + random() % 4096;
        switch (random() % 5) {
            case 0:  // noise
                for (std::size_t i = 0; i < piece; ++i) data.push_back(static_cast<std::uint8_t>(random()));
                break;
            case 1: {  // a run of one byte
                const auto value = static_cast<std::uint8_t>(random());
                data.insert(data.end(), piece, value);
                break;
            }
            case 2:  // words
                for (std::size_t i = 0; i < piece / 4; ++i) {
                    const char* word = kWords[random() % std::size(kWords)];
                    while (*word) data.push_back(static_cast<std::uint8_t>(*word++));
                }
                break;
            case 3: {  // smooth ramp, like texture rows
                std::uint8_t value = static_cast<std::uint8_t>(random());
                for (std::size_t i = 0; i < piece; ++i) {
                    value = static_cast<std::uint8_t>(value + (random() % 3) - 1);
                    data.push_back(value);
                }
                break;
            }
            default:  // repeat of earlier data, near or far
                if (!data.empty()) {
                    const std::size_t distance = 1 + random() % std::min<std::size_t>(data.size(), 40000);
                    for (std::size_t i = 0; i < piece; ++i) data.push_back(data[data.size() - distance]);
                }
                break;
        }
    }
    data.resize(size);
    return data;
}

}  // namespace tarkeep::test
