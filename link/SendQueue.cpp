#include "link/SendQueue.h"

#include "link/SettingType.h"

#include <algorithm>

QueuedFrame::QueuedFrame(std::span<const std::uint8_t> frame, std::optional<SentFrame> told)
    : size(std::min(frame.size(), bytes.size())), sent(std::move(told)) {
    std::copy_n(frame.begin(), size, bytes.begin());
}

int CSendQueue::Push(QueuedFrame frame) {
    const Key key = KeyOf(frame);
    int dropped = 0;
    if (key.kind != Key::Kind::Fixed) {
        // Newest first, back to the last frame that holds the line's order.
        for (auto at = waiting_.end(); at != waiting_.begin();) {
            --at;
            if (at->key.kind == Key::Kind::Fixed) {
                break;
            }
            if (Replaces(key, at->key)) {
                at = waiting_.erase(at);
                ++dropped;
            }
        }
    }
    waiting_.push_back({key, std::move(frame)});
    return dropped;
}

QueuedFrame CSendQueue::Pop() {
    QueuedFrame frame = std::move(waiting_.front().frame);
    waiting_.pop_front();
    return frame;
}

CSendQueue::Key CSendQueue::KeyOf(const QueuedFrame& queued) {
    const std::span<const std::uint8_t> frame = queued.Bytes();
    Key key;
    if (frame.size() < 3) {
        return key;
    }
    key.command = frame[2];
    const auto maskAt3 = [&] {
        return frame.size() >= 5 ? static_cast<std::uint16_t>(frame[3] << 8 | frame[4])
                                 : std::uint16_t{0};
    };
    if (key.command == Command::UnitSettings && frame.size() == kUnitSettingsLength) {
        key.kind = Key::Kind::UnitSettings;
        key.mask = maskAt3();
        return key;
    }
    if (Command::Reduce(key.command) != Command::Setting) {
        return key;
    }
    switch (static_cast<SettingType>(key.command & 0x0F)) {
        case SettingType::FlashPowerTable:
        case SettingType::ModelPowerTable:
            key.kind = frame.size() == kPowerTableLength ? Key::Kind::PowerTable : Key::Kind::Fixed;
            key.studio = queued.sent ? queued.sent->studio : nullptr;
            return key;
        case SettingType::FlashPower:
        case SettingType::ModelPower:
        case SettingType::ModelMode1:
        case SettingType::ModelMode2:
        case SettingType::PhotoCell:
        case SettingType::Sound:
        case SettingType::ModelSwitch:
        case SettingType::FlashSwitch:
            key.kind = frame.size() == kSettingLength ? Key::Kind::Setting : Key::Kind::Fixed;
            key.mask = maskAt3();
            return key;
        default:  // the test flash among them
            return key;
    }
}

bool CSendQueue::Replaces(const Key& newer, const Key& waiting) {
    using Kind = Key::Kind;
    switch (newer.kind) {
        case Kind::Setting:
            return waiting.kind == Kind::Setting && waiting.command == newer.command &&
                   waiting.mask == newer.mask;
        case Kind::UnitSettings:
            // It carries every setting the waiting frame could set, for the same units.
            return (waiting.kind == Kind::Setting || waiting.kind == Kind::UnitSettings) &&
                   waiting.mask == newer.mask;
        case Kind::PowerTable:
            return waiting.kind == Kind::PowerTable && waiting.command == newer.command &&
                   waiting.studio == newer.studio;
        case Kind::Fixed:
            return false;
    }
    return false;
}
