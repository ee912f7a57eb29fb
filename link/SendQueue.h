#pragma once

#include "link/Frame.h"
#include "link/SentFrame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>

// One outgoing frame waiting for the line, with what the send observer is told once it went out.
struct QueuedFrame {
    QueuedFrame(std::span<const std::uint8_t> frame, std::optional<SentFrame> told);

    std::span<const std::uint8_t> Bytes() const { return std::span(bytes).first(size); }

    std::array<std::uint8_t, kPowerTableLength> bytes{};  // the longest frame the program builds
    std::size_t size = 0;
    std::optional<SentFrame> sent;  // none for a scan request
};

// The frames that wait for the line, oldest first. A frame that sets the same thing for the same
// units as a waiting one replaces it, so a stream of changes faster than the line costs the line
// only the latest value:
//   - a setting frame replaces a waiting setting frame of the same type and unit mask;
//   - a unit settings frame replaces waiting unit settings and setting frames of its unit mask;
//   - a power table replaces a waiting power table of the same type and studio.
// Scan requests, test flashes and frames the queue does not know are never replaced, and nothing
// newer replaces a frame waiting before one of them: a scan moves the dongle to another studio, so
// the masks and tables on either side name other units, and a test flash fires at whatever the
// frames before it set, which a later value must not change.
class CSendQueue {
public:
    // Puts the frame at the back and drops every waiting frame it replaces; how many that was.
    //
    // The newer frame takes the back, not the replaced frame's place: a frame waiting between the
    // two may set the same value on some of the same units (a group mask, a power table), and
    // sending the newer value ahead of it would let that older frame overwrite it. From the back,
    // what goes out is always the order of the requests with some of them left out.
    int Push(QueuedFrame frame);

    bool Empty() const { return waiting_.empty(); }
    std::size_t Size() const { return waiting_.size(); }
    const QueuedFrame& Front() const { return waiting_.front().frame; }
    QueuedFrame Pop();

private:
    // What a frame sets, read from its own bytes.
    struct Key {
        enum class Kind { Setting, UnitSettings, PowerTable, Fixed };
        Kind kind = Kind::Fixed;
        std::uint8_t command = 0;
        std::uint16_t mask = 0;
        const StudioData* studio = nullptr;  // power tables
    };
    struct Entry {
        Key key;
        QueuedFrame frame;
    };

    static Key KeyOf(const QueuedFrame& frame);
    static bool Replaces(const Key& newer, const Key& waiting);

    std::deque<Entry> waiting_;
};
