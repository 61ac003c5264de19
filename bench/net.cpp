// Relay protocol throughput: encoding and decoding a realistic turn bundle (8 commands of
// 4 units each), and the framing round trip. Baseline: copying the same number of bytes
// into a fresh buffer, the floor for any encoder that returns its own byte string.
#include <benchmark/benchmark.h>

#include <cstring>

#include "net/framing.h"
#include "net/message_codec.h"

namespace {

using namespace tarkeep::net;

TurnBundle realistic_bundle() {
    TurnBundle bundle;
    bundle.player_id = 3;
    bundle.turn = 1234;
    bundle.extra_byte = 1;
    bundle.extra_word = 500;
    for (std::uint32_t i = 0; i < 8; ++i) {
        Command command;
        command.kind = static_cast<std::uint8_t>(1 + i);
        command.value_a = i * 17;
        command.target_x = 123456 + i;
        command.target_y = -654321 - static_cast<std::int64_t>(i);
        command.value_b = 9;
        command.value_c = 10;
        command.value_d = 11;
        command.flag = (i % 2) != 0;
        command.units = {100 + i, 200 + i, 300 + i, 400 + i};
        bundle.commands.push_back(command);
    }
    return bundle;
}

void BM_EncodeTurnBundle(benchmark::State& state) {
    const Message message = realistic_bundle();
    std::size_t bytes = 0;
    for (auto _ : state) {
        Bytes payload = encode_message(message);
        bytes = payload.size();
        benchmark::DoNotOptimize(payload.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_EncodeTurnBundle);

void BM_DecodeTurnBundle(benchmark::State& state) {
    const Bytes payload = encode_message(realistic_bundle());
    for (auto _ : state) {
        Message message = decode_message(payload);
        benchmark::DoNotOptimize(&message);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
}
BENCHMARK(BM_DecodeTurnBundle);

// Encode, frame, cut the frame out again and decode: what one relayed bundle costs.
void BM_FramedRoundTrip(benchmark::State& state) {
    const Message message = realistic_bundle();
    FrameBuffers sender;
    FrameBuffers receiver;
    Bytes payload;
    for (auto _ : state) {
        sender.append_frame(encode_message(message), 1u << 30);
        const auto wire = sender.unsent();
        receiver.append_received(wire.data(), wire.size());
        sender.mark_sent(wire.size());
        receiver.next_frame(payload);
        Message decoded = decode_message(payload);
        benchmark::DoNotOptimize(&decoded);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FramedRoundTrip);

void BM_BaselineCopySameBytes(benchmark::State& state) {
    const Bytes source = encode_message(realistic_bundle());
    for (auto _ : state) {
        Bytes copy(source.size());
        std::memcpy(copy.data(), source.data(), source.size());
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}
BENCHMARK(BM_BaselineCopySameBytes);

}  // namespace

BENCHMARK_MAIN();
