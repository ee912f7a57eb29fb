#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "SimFramer.h"

namespace orvane::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Bytes = std::vector<std::uint8_t>;

class SimFramerTest : public ::testing::Test {
protected:
    // Frames and garbage in the order they came out, so nothing can be reordered unnoticed.
    struct Piece {
        bool frame;
        Bytes bytes;
    };

    void feed(const Bytes& bytes) { framer_.feed(bytes); }

    std::vector<Bytes> frames() const {
        std::vector<Bytes> result;
        for (const Piece& piece : pieces_) {
            if (piece.frame) {
                result.push_back(piece.bytes);
            }
        }
        return result;
    }

    Bytes garbage() const {
        Bytes result;
        for (const Piece& piece : pieces_) {
            if (!piece.frame) {
                result.insert(result.end(), piece.bytes.begin(), piece.bytes.end());
            }
        }
        return result;
    }

    std::vector<Piece> pieces_;
    SimFramer framer_{[this](std::span<const std::uint8_t> frame) {
                          pieces_.push_back({true, Bytes(frame.begin(), frame.end())});
                      },
                      [this](std::span<const std::uint8_t> bytes) {
                          pieces_.push_back({false, Bytes(bytes.begin(), bytes.end())});
                      }};
};

TEST_F(SimFramerTest, FrameSplitOverSeveralReadsIsReassembled) {
    feed({0xFF});
    feed({0x07, 0x13});
    feed({0x00, 0x01, 0x3C});
    EXPECT_THAT(frames(), IsEmpty());
    feed({0x29, 0xFF, 0x05, 0x00, 0x00, 0x41});

    EXPECT_THAT(frames(), ElementsAre(ElementsAre(0xFF, 0x07, 0x13, 0x00, 0x01, 0x3C, 0x29),
                                      ElementsAre(0xFF, 0x05, 0x00, 0x00, 0x41)));
    EXPECT_THAT(garbage(), IsEmpty());
}

TEST_F(SimFramerTest, StartByteInsideAFrameAbandonsItAndStartsAgain) {
    feed({0xFF, 0x07, 0x13, 0x00, 0xFF, 0x05, 0x00, 0x00, 0x42});

    EXPECT_THAT(frames(), ElementsAre(ElementsAre(0xFF, 0x05, 0x00, 0x00, 0x42)));
    EXPECT_THAT(garbage(), ElementsAre(0xFF, 0x07, 0x13, 0x00));
}

TEST_F(SimFramerTest, LengthsOutsideFourToFiftyAreSkippedUpToTheNextStart) {
    Bytes input{0xFF, 0x02, 0x13, 0x37, 0xFF, 0x03, 0x00};
    input.push_back(0xFF);
    input.push_back(60);
    input.insert(input.end(), 58, 0x11);
    const Bytes scan{0xFF, 0x05, 0x00, 0x00, 0x41};
    input.insert(input.end(), scan.begin(), scan.end());
    feed(input);

    EXPECT_THAT(frames(), ElementsAre(scan));
    EXPECT_EQ(garbage().size(), input.size() - scan.size());
}

TEST_F(SimFramerTest, LongestAndShortestAllowedFramesPassWhole) {
    Bytes longest{0xFF, 50};
    for (std::uint8_t i = 0; i < 48; ++i) {
        longest.push_back(i);
    }
    feed(longest);
    feed({0xFF, 0x04, 0x25, 0x00});

    EXPECT_THAT(frames(), ElementsAre(longest, ElementsAre(0xFF, 0x04, 0x25, 0x00)));
}

TEST_F(SimFramerTest, EveryByteComesOutExactlyOnceInOrder) {
    // Random traffic with frequent start bytes and lengths; whatever the mix, the framer must
    // neither lose, duplicate nor reorder a byte, and never hand out a frame that breaks the rules.
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> kind(0, 9);
    Bytes input;
    for (int i = 0; i < 20'000; ++i) {
        const int roll = kind(random);
        input.push_back(roll == 0   ? 0xFF
                        : roll == 1 ? static_cast<std::uint8_t>(byte(random) % 12)
                                    : static_cast<std::uint8_t>(byte(random)));
    }
    input.push_back(0xFF);  // closes whatever frame was still open
    for (std::size_t at = 0; at < input.size(); at += 37) {
        feed(Bytes(input.begin() + static_cast<long>(at),
                   input.begin() + static_cast<long>(std::min(at + 37, input.size()))));
    }

    Bytes out;
    for (const Piece& piece : pieces_) {
        out.insert(out.end(), piece.bytes.begin(), piece.bytes.end());
        if (piece.frame) {
            EXPECT_EQ(piece.bytes[0], 0xFF);
            EXPECT_EQ(piece.bytes[1], piece.bytes.size());
            EXPECT_GE(piece.bytes.size(), 4u);
            EXPECT_LE(piece.bytes.size(), 50u);
            EXPECT_EQ(std::count(piece.bytes.begin() + 1, piece.bytes.end(), 0xFF), 0);
        }
    }
    input.pop_back();
    EXPECT_EQ(out, input);
    EXPECT_FALSE(frames().empty()) << "the mix produced no frame at all; the test proves nothing";
}

}  // namespace
}  // namespace orvane::sim
