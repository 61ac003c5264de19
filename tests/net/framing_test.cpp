#include <gtest/gtest.h>

#include "net/framing.h"

namespace tarkeep::net {
namespace {

void receive(FrameBuffers& buffers, const Bytes& bytes) { buffers.append_received(bytes.data(), bytes.size()); }

// Every complete frame the buffers hold now.
std::vector<Bytes> frames_in(FrameBuffers& receiver) {
    std::vector<Bytes> frames;
    for (Bytes payload; receiver.next_frame(payload);) frames.push_back(payload);
    return frames;
}

TEST(Framing, AppendedFramesAreCutOutAgainInOrder) {
    FrameBuffers sender;
    ASSERT_TRUE(sender.append_frame(Bytes{1, 2, 3}, 1000));
    ASSERT_TRUE(sender.append_frame(Bytes{9}, 1000));
    const auto wire = sender.unsent();
    EXPECT_EQ(Bytes(wire.begin(), wire.end()), (Bytes{3, 0, 0, 0, 1, 2, 3, 1, 0, 0, 0, 9}));
    EXPECT_EQ(frame_of(Bytes{1, 2, 3}), Bytes(wire.begin(), wire.begin() + 7));

    // Both frames arriving in one read are both extracted.
    FrameBuffers receiver;
    receiver.append_received(wire.data(), wire.size());
    EXPECT_EQ(frames_in(receiver), (std::vector<Bytes>{{1, 2, 3}, {9}}));
    EXPECT_EQ(receiver.input_capacity_used(), 0u);  // drained: buffer emptied
    EXPECT_FALSE(receiver.failed());

    // Frames that arrived before a failure are still handed out.
    receiver.append_received(wire.data(), 7);
    receiver.fail("closed by peer");
    EXPECT_EQ(frames_in(receiver), (std::vector<Bytes>{{1, 2, 3}}));
    EXPECT_EQ(receiver.error(), "closed by peer");
}

TEST(Framing, InvalidLengthFailsAsSoonAsTheHeaderArrivesAndTheLargestPasses) {
    const std::pair<std::uint32_t, Bytes> headers[] = {
        {0, {0, 0, 0, 0}}, {65537, {1, 0, 1, 0}}, {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF}}};
    for (const auto& [length, bytes] : headers) {
        FrameBuffers receiver;
        receive(receiver, Bytes(bytes.begin(), bytes.begin() + 3));
        receiver.check_frame_length();
        EXPECT_FALSE(receiver.failed()) << "three header bytes are not enough to judge";
        receive(receiver, Bytes(bytes.begin() + 3, bytes.end()));
        receiver.check_frame_length();
        EXPECT_TRUE(receiver.failed());
        EXPECT_EQ(receiver.error(), "invalid frame length " + std::to_string(length));
        EXPECT_TRUE(frames_in(receiver).empty());
    }
    FrameBuffers receiver;  // the largest frame a client may send
    receive(receiver, frame_of(Bytes(kMaxClientFrame, 0x5A)));
    EXPECT_EQ(frames_in(receiver), (std::vector<Bytes>{Bytes(kMaxClientFrame, 0x5A)}));
}

TEST(Framing, OutputLimitCountsUnsentBytesFailsForGoodAndSentBytesArePrunedLazily) {
    FrameBuffers sender;
    ASSERT_TRUE(sender.append_frame(Bytes(6), 20));  // 10 pending
    ASSERT_TRUE(sender.append_frame(Bytes(6), 20));  // exactly at the limit
    EXPECT_FALSE(sender.append_frame(Bytes{}, 20));  // 24 > 20
    EXPECT_EQ(std::tuple(sender.failed(), sender.error(), sender.unsent_size()),
              std::tuple(true, "output buffer full (peer too slow)", 20u));  // nothing of the refused frame
    sender.mark_sent(20);
    EXPECT_FALSE(sender.append_frame(Bytes{1}, 20)) << "a failed stream takes no more frames";

    // Sent bytes leave the limit and are pruned lazily.
    sender = FrameBuffers{};
    ASSERT_TRUE(sender.append_frame(Bytes(96), 1000));  // 100 bytes
    sender.mark_sent(40);
    ASSERT_TRUE(sender.append_frame(Bytes(6), 1000));
    EXPECT_EQ(std::tuple(sender.sent_offset(), sender.output_capacity_used()),
              std::tuple(40u, 110u));  // under half sent
    sender.mark_sent(20);              // 60 of 110 sent
    ASSERT_TRUE(sender.append_frame(Bytes{7}, 1000));
    EXPECT_EQ(std::tuple(sender.sent_offset(), sender.unsent_size(), sender.unsent().back()),
              std::tuple(0u, 55u, 7));  // more than half sent: compacted
    // Everything sent: the buffer resets.
    sender.mark_sent(55);
    EXPECT_EQ(sender.output_capacity_used(), 0u);
    // Sent bytes no longer count against the limit.
    EXPECT_TRUE(sender.append_frame(Bytes(996), 1000));
}

}  // namespace
}  // namespace tarkeep::net
