// Arbitrary received bytes through the real receive framer and the real decoder. Every input is
// run three ways: byte by byte, in pieces through Feed, and in batches through a receive queue as
// the reader thread hands them over. The byte-by-byte run is checked frame by frame against what
// the frame bytes say; the other two must produce exactly the same events, since where the driver
// happens to cut the stream must never change what the program sees.

#include "link/Frame.h"
#include "link/ReceiveFramer.h"
#include "link/ReceiveQueue.h"
#include "link/SettingType.h"
#include "link/ZbEventHandler.h"
#include "link/ZbProtocol.h"
#include "model/StrobeData.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_framer: invariant violated: %s\n", what);
    std::abort();
}

void Require(bool ok, const char* what) {
    if (!ok) {
        Fail(what);
    }
}

constexpr int kSlots = 10;

// Slots 0..4 are mask bits 0..4, slots 5..9 bits 8..12.
std::uint16_t SlotBit(int slot) {
    return static_cast<std::uint16_t>(slot < 5 ? 1u << slot : 0x100u << (slot - 5));
}

bool IsPowerTable(std::uint8_t type) {
    return type == static_cast<std::uint8_t>(SettingType::FlashPowerTable) ||
           type == static_cast<std::uint8_t>(SettingType::ModelPowerTable);
}

enum class Kind : std::uint8_t { Status, Setting, State, Monitor };

// One handler call, with everything it was given, so that runs can be compared call by call.
struct Call {
    Kind kind = Kind::Status;
    std::uint8_t code = 0;
    int slot = 0;
    int value = 0;
    StrobeSettings status{};
    FrameBuffer frame{};

    friend bool operator==(const Call&, const Call&) = default;
};

// Records every call and checks what each one can be checked against on its own.
class CheckingHandler final : public CZbEventHandler {
public:
    int OnUnitStatus(int slot, const StrobeData& status, int reserved) override {
        RequireSlot(slot);
        Require(reserved == 0, "status report with a non-zero third argument");
        Require(status.nChNum == slot, "status record names another slot than the call");
        // No frame carries the charge state, so a status report must leave the default alone.
        Require(status.bFlashCharge == StrobeSettings{}.bFlashCharge,
                "status report changed the charge state");
        Call call{Kind::Status, 0, slot, 0, status.Settings(), {}};
        calls.push_back(call);
        return 1;
    }

    int OnSettingReport(std::uint8_t type, int slot, int value,
                        std::span<const std::uint8_t> frame) override {
        Require(frame.size() == static_cast<std::size_t>(kFrameBufferSize),
                "setting report frame is not the whole frame buffer");
        Require(frame[0] == kFrameStart, "setting report frame does not begin with 0xFF");
        const int length = frame[1];
        Require(length >= 4 && length <= kFrameBufferSize,
                "setting report frame has a length no frame can complete with");
        Require(std::find(frame.begin() + 1, frame.end(), kFrameStart) == frame.end(),
                "0xFF inside a completed frame");
        Require(
            std::all_of(frame.begin() + length, frame.end(), [](std::uint8_t b) { return b == 0; }),
            "bytes past the frame's length do not read 0");
        Require((frame[2] & 0xF0) == Command::Setting, "setting report for another command");
        Require(type == (frame[2] & 0x0F), "setting type is not the command's low nibble");
        if (IsPowerTable(type)) {
            Require(slot == 0, "power table handed on with a slot other than 0");
            Require(value == 0, "power table handed on with a value other than 0");
        } else {
            RequireSlot(slot);
            const auto mask = static_cast<std::uint16_t>(frame[3] << 8 | frame[4]);
            Require((mask & SlotBit(slot)) != 0,
                    "setting report for a slot the mask does not name");
            Require(value == (frame[5] << 8 | frame[6]), "setting value is not bytes 5 and 6");
        }
        Call call{Kind::Setting, type, slot, value, {}, {}};
        std::copy(frame.begin(), frame.end(), call.frame.begin());
        calls.push_back(call);
        return 1;
    }

    int OnStateReport(std::uint8_t code, int slot, std::uint8_t value) override {
        RequireSlot(slot);
        calls.push_back(Call{Kind::State, code, slot, value, {}, {}});
        return 1;
    }

    int OnMonitorReport(std::uint8_t code, int slot, std::uint8_t value) override {
        RequireSlot(slot);
        calls.push_back(Call{Kind::Monitor, code, slot, value, {}, {}});
        return 1;
    }

    std::vector<Call> calls;

private:
    static void RequireSlot(int slot) {
        Require(slot >= 0 && slot < kSlots, "event for a slot outside 0..9");
    }
};

// The events one complete frame must produce, read straight off its bytes. The decoder sees the
// frame in the zero-filled buffer, so bytes a short frame lacks read 0 here too.
std::vector<Call> ExpectedCalls(std::span<const std::uint8_t> complete) {
    FrameBuffer f{};
    std::copy(complete.begin(), complete.end(), f.begin());
    const auto mask = static_cast<std::uint16_t>(f[3] << 8 | f[4]);
    const auto code = static_cast<std::uint8_t>(f[2] & 0x0F);

    std::vector<Call> expected;
    auto perSlot = [&](Call call) {
        for (int slot = 0; slot < kSlots; ++slot) {
            if (mask & SlotBit(slot)) {
                call.slot = slot;
                expected.push_back(call);
            }
        }
    };
    switch (Command::Reduce(f[2])) {
        case Command::UnitSettings: {
            StrobeSettings s{};
            s.bFlashPow = f[5];
            s.nFlashValue = f[6];
            s.nModelValue = f[7];
            s.bFlashCell = f[8];
            s.bFlashSnd = f[9];
            s.nModelMode1 = f[10];
            s.nModelMode2 = f[11];
            s.bModelPow = f[12];
            perSlot(Call{Kind::Status, 0, 0, 0, s, {}});
            break;
        }
        case Command::Setting:
            if (IsPowerTable(code)) {
                expected.push_back(Call{Kind::Setting, code, 0, 0, {}, f});
            } else {
                perSlot(Call{Kind::Setting, code, 0, f[5] << 8 | f[6], {}, f});
            }
            break;
        case Command::State:
            perSlot(Call{Kind::State, code, 0, f[6], {}, {}});
            break;
        case Command::Monitor:
            perSlot(Call{Kind::Monitor, code, 0, f[6], {}, {}});
            break;
        default:
            break;
    }
    return expected;
}

// The frame in progress as the stream's rules define it: it starts at every 0xFF, completes when
// it holds as many bytes as its length byte says (4 at least), and is given up once it outgrows
// the frame buffer.
class FrameTracker {
public:
    // Returns the complete frame this byte finishes, or an empty span.
    std::span<const std::uint8_t> Step(std::uint8_t b) {
        if (done_) {
            bytes_.clear();
            done_ = false;
        }
        if (b == kFrameStart) {
            bytes_.assign(1, b);
            return {};
        }
        if (bytes_.empty()) {
            return {};
        }
        bytes_.push_back(b);
        if (bytes_.size() > static_cast<std::size_t>(kFrameBufferSize)) {
            bytes_.clear();
            return {};
        }
        if (bytes_.size() >= 4 && bytes_.size() == bytes_[1]) {
            done_ = true;
            return bytes_;
        }
        return {};
    }

private:
    std::vector<std::uint8_t> bytes_;
    bool done_ = false;
};

// Piece lengths and Run points, all derived from the input's first byte and its length so that a
// crashing input replays the same cuts.
class Cuts {
public:
    Cuts(std::uint8_t first, std::size_t size)
        : state_(first * 2654435761u + static_cast<std::uint32_t>(size)),
          // Small pieces split frames everywhere; large ones fill the ring up to its limit.
          maxPiece_(first & 0x80 ? static_cast<std::uint32_t>(ReceiveQueue::kCapacity)
                                 : 1u + (first & 0x3Fu)) {}

    std::size_t NextPiece() { return 1 + Next() % maxPiece_; }
    bool Coin() { return (Next() & 0x100) != 0; }

private:
    std::uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }

    std::uint32_t state_;
    std::uint32_t maxPiece_;
};

struct Decoder {
    CheckingHandler handler;
    CZbProtocol protocol{&handler, nullptr};
    CReceiveFramer framer{protocol};
};

void RunByteByByte(std::span<const std::uint8_t> stream, Decoder& d) {
    FrameTracker tracker;
    for (const std::uint8_t b : stream) {
        const std::size_t before = d.handler.calls.size();
        d.framer.Feed(b);
        const std::vector<Call> expected = ExpectedCalls(tracker.Step(b));
        const std::span<const Call> made = std::span(d.handler.calls).subspan(before);

        Require(made.size() <= static_cast<std::size_t>(kSlots),
                "more than ten events from a frame");
        for (std::size_t i = 1; i < made.size(); ++i) {
            Require(made[i - 1].slot < made[i].slot, "slots of one frame are not ascending");
        }
        Require(std::equal(made.begin(), made.end(), expected.begin(), expected.end()),
                "events differ from what the completed frame carries");
        if (!made.empty()) {
            Require(d.framer.CurrentPhase() == CReceiveFramer::Phase::Hunting,
                    "framer still inside a frame it has handed on");
        }
    }
}

void RunInPieces(std::span<const std::uint8_t> stream, Cuts cuts, Decoder& d) {
    for (std::size_t pos = 0; pos < stream.size();) {
        const std::size_t n = std::min(cuts.NextPiece(), stream.size() - pos);
        d.framer.Feed(stream.subspan(pos, n));
        pos += n;
    }
}

void RunThroughQueue(std::span<const std::uint8_t> stream, std::uint8_t first, Cuts cuts,
                     Decoder& d) {
    // The ring starts just before its end, so that batches wrap around it early.
    ReceiveQueue queue;
    const int skip = (ReceiveQueue::kCapacity - 1) - (first * 3) % ReceiveQueue::kCapacity;
    const std::vector<std::uint8_t> filler(static_cast<std::size_t>(skip), 0);
    Require(queue.Push(filler), "an empty ring refused a batch below its capacity");
    while (queue.Count() > 0) {
        queue.TakeOldest();
    }

    for (std::size_t pos = 0; pos < stream.size();) {
        const int queued = queue.Count();
        const auto room = static_cast<std::size_t>(ReceiveQueue::kCapacity - 1 - queued);
        const std::size_t left = stream.size() - pos;
        if (room < left) {
            // A batch larger than the free part is refused whole, and what is queued stays.
            Require(!queue.Push(stream.subspan(pos, room + 1)),
                    "ring took a batch beyond its room");
            Require(queue.Count() == queued, "a refused batch changed the ring");
        }
        const std::size_t n = std::min({cuts.NextPiece(), left, room});
        if (n == 0) {
            d.framer.Run(queue);
            continue;
        }
        Require(queue.Push(stream.subspan(pos, n)), "ring refused a batch that fits");
        Require(queue.Count() == queued + static_cast<int>(n), "ring count is off after a push");
        pos += n;
        if (cuts.Coin()) {
            d.framer.Run(queue);
            Require(queue.Count() == 0, "Run left bytes queued with no producer running");
        }
    }
    d.framer.Run(queue);
    Require(queue.Count() == 0, "Run left bytes queued with no producer running");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::span<const std::uint8_t> stream(data, size);
    const Cuts cuts(data[0], size);

    Decoder byteByByte;
    RunByteByByte(stream, byteByByte);

    Decoder pieces;
    RunInPieces(stream, cuts, pieces);
    Require(pieces.handler.calls == byteByByte.handler.calls,
            "feeding in pieces changed the events");
    Require(pieces.framer.CurrentPhase() == byteByByte.framer.CurrentPhase(),
            "feeding in pieces left the framer in another phase");

    Decoder queued;
    RunThroughQueue(stream, data[0], cuts, queued);
    Require(queued.handler.calls == byteByByte.handler.calls,
            "going through the receive queue changed the events");
    Require(queued.framer.CurrentPhase() == byteByByte.framer.CurrentPhase(),
            "going through the receive queue left the framer in another phase");
    return 0;
}
