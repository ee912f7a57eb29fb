// The send queue on its own: which waiting frames a newer one replaces, which it must leave alone,
// where the newer one goes, and that whatever is dropped, every unit ends as the last change asked.

#include "link/SendQueue.h"
#include "link/UnitMask.h"
#include "model/StudioData.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Setting(SettingType type, std::uint16_t mask, std::uint8_t flash, std::uint8_t model = 40) {
    return {0xFF,
            0x07,
            static_cast<std::uint8_t>(0x10 + static_cast<int>(type)),
            static_cast<std::uint8_t>(mask >> 8),
            static_cast<std::uint8_t>(mask & 0xFF),
            flash,
            model};
}

Bytes UnitSettings(std::uint16_t mask, std::uint8_t flash) {
    return {0xFF,
            0x0E,
            0x01,
            static_cast<std::uint8_t>(mask >> 8),
            static_cast<std::uint8_t>(mask & 0xFF),
            1,
            flash,
            40,
            0,
            0,
            0,
            0,
            1,
            0};
}

Bytes PowerTable(SettingType type, std::uint8_t slot0) {
    Bytes frame(kPowerTableLength, 0);
    frame[0] = 0xFF;
    frame[1] = kPowerTableLength;
    frame[2] = static_cast<std::uint8_t>(0x10 + static_cast<int>(type));
    frame[3] = slot0;
    return frame;
}

Bytes Scan(int studio) {
    return {0xFF, 0x05, 0x00, 0x00, static_cast<std::uint8_t>(0x41 + studio)};
}

Bytes TestFlash(std::uint16_t mask) {
    return Setting(SettingType::TestFlash, mask, 0, 0);
}

class SendQueueTest : public ::testing::Test {
protected:
    // Pushes the frames in order and returns how many were dropped in all.
    int Push(const std::vector<Bytes>& frames, const StudioData* studio = nullptr) {
        int dropped = 0;
        for (const Bytes& frame : frames) {
            std::optional<SentFrame> sent;
            if (studio) {
                sent.emplace();
                sent->studio = studio;
            }
            dropped += queue.Push(QueuedFrame(frame, sent));
        }
        return dropped;
    }

    std::vector<Bytes> Drain() {
        std::vector<Bytes> out;
        while (!queue.Empty()) {
            const QueuedFrame frame = queue.Pop();
            out.emplace_back(frame.Bytes().begin(), frame.Bytes().end());
        }
        return out;
    }

    CSendQueue queue;
    static constexpr std::uint16_t kSlot0 = 0x0001;
    static constexpr std::uint16_t kSlot6 = 0x0200;
};

}  // namespace

TEST_F(SendQueueTest, ASettingReplacesOnlyTheSameTypeForTheSameMask) {
    const auto flash = SettingType::FlashPower;
    EXPECT_EQ(Push({Setting(flash, kSlot0, 50), Setting(SettingType::ModelPower, kSlot0, 50),
                    Setting(flash, kSlot6, 50), Setting(flash, kSlot0 | kSlot6, 50),
                    Setting(flash, kSlot0, 51)}),
              1);
    EXPECT_EQ(Drain(), (std::vector<Bytes>{
                           Setting(SettingType::ModelPower, kSlot0, 50), Setting(flash, kSlot6, 50),
                           Setting(flash, kSlot0 | kSlot6, 50), Setting(flash, kSlot0, 51)}))
        << "the newer value goes behind the frames that waited between the two";
}

TEST_F(SendQueueTest, UnitSettingsReplaceTheSettingsOfTheirUnitButNoSettingReplacesThem) {
    EXPECT_EQ(Push({Setting(SettingType::PhotoCell, kSlot0, 0, 2),
                    Setting(SettingType::FlashSwitch, kSlot6, 0, 1), UnitSettings(kSlot0, 50),
                    Setting(SettingType::FlashPower, kSlot0, 51), UnitSettings(kSlot0, 52)}),
              3);
    EXPECT_EQ(Drain(), (std::vector<Bytes>{Setting(SettingType::FlashSwitch, kSlot6, 0, 1),
                                           UnitSettings(kSlot0, 52)}));

    // A setting carries one value of the unit: the unit settings before it must still go out.
    EXPECT_EQ(Push({UnitSettings(kSlot0, 50), Setting(SettingType::Sound, kSlot0, 0, 4)}), 0);
    EXPECT_EQ(Drain().size(), 2u);
}

TEST_F(SendQueueTest, APowerTableReplacesOnlyATableOfTheSameKindAndStudio) {
    StudioData studioA;
    StudioData studioB;
    EXPECT_EQ(Push({PowerTable(SettingType::FlashPowerTable, 50),
                    PowerTable(SettingType::ModelPowerTable, 40),
                    Setting(SettingType::FlashPower, kSlot0, 60),
                    PowerTable(SettingType::FlashPowerTable, 51)},
                   &studioA),
              1);
    EXPECT_EQ(Push({PowerTable(SettingType::FlashPowerTable, 52)}, &studioB), 0);
    EXPECT_EQ(Drain(), (std::vector<Bytes>{PowerTable(SettingType::ModelPowerTable, 40),
                                           Setting(SettingType::FlashPower, kSlot0, 60),
                                           PowerTable(SettingType::FlashPowerTable, 51),
                                           PowerTable(SettingType::FlashPowerTable, 52)}));
}

TEST_F(SendQueueTest, ScansAndTestFlashesAreNeverDroppedAndNothingIsReplacedAcrossThem) {
    const auto flash = SettingType::FlashPower;
    const std::vector<Bytes> frames = {
        Scan(0),
        Scan(0),
        Setting(flash, kSlot0, 50),
        TestFlash(kSlot0),
        TestFlash(kSlot0),
        Setting(flash, kSlot0, 51),
        Scan(1),
        Setting(flash, kSlot0, 52),
        PowerTable(SettingType::FlashPowerTable, 50),
        Scan(1),
        PowerTable(SettingType::FlashPowerTable, 51),
        Bytes{0xFF, 0x05, 0x02, 0x00, 0x00},  // a frame the queue does not know
        Bytes{0xFF, 0x05, 0x02, 0x00, 0x00},
        Setting(flash, kSlot0, 53)};
    EXPECT_EQ(Push(frames), 0);
    EXPECT_EQ(Drain(), frames);
}

// Whatever a stream of changes is, what the queue lets out leaves every unit with the values the
// whole stream would: a reference line plays every frame, the other only what the queue kept.
TEST_F(SendQueueTest, EveryUnitEndsWithTheLastValueAskedForWhateverTheStream) {
    // (slot, byte of the unit settings frame) -> value, as the units on the line would hold them.
    using Units = std::map<std::pair<int, int>, int>;
    const auto play = [](const std::vector<Bytes>& frames) {
        Units units;
        for (const Bytes& f : frames) {
            const std::uint16_t mask = static_cast<std::uint16_t>(f[3] << 8 | f[4]);
            if (f[2] == 0x01) {
                ForEachSlot(mask, [&](int slot) {
                    for (int at = 5; at <= 12; ++at) {
                        units[{slot, at}] = f[at];
                    }
                });
            } else if (f[2] == 0x1E || f[2] == 0x1F) {
                for (int slot = 0; slot < kSlotCount; ++slot) {
                    units[{slot, 6}] = f[PowerTableFlashAt(slot)];
                    units[{slot, 7}] = f[PowerTableFlashAt(slot) + 1];
                }
            } else if (f[2] == 0x13 || f[2] == 0x14) {
                // Either power's frame carries both.
                ForEachSlot(mask, [&](int slot) {
                    units[{slot, 6}] = f[5];
                    units[{slot, 7}] = f[6];
                });
            } else if (f[2] != 0x00) {
                // The byte of the unit settings frame that holds the same setting.
                const int at = f[2] == 0x17 ? 8 : 12;
                ForEachSlot(mask, [&](int slot) { units[{slot, at}] = f[6]; });
            }
        }
        return units;
    };
    std::mt19937 random(19);
    // Photo cell and lamp switch: the two settings the reference line below knows besides powers.
    const std::vector<SettingType> types = {SettingType::FlashPower, SettingType::ModelPower,
                                            SettingType::PhotoCell, SettingType::ModelSwitch};
    const std::vector<std::uint16_t> masks = {kSlot0, kSlot6, kSlot0 | kSlot6};
    StudioData studio;
    for (int round = 0; round < 50; ++round) {
        std::vector<Bytes> stream;
        for (int n = 0; n < 40; ++n) {
            const auto value = static_cast<std::uint8_t>(11 + random() % 71);
            switch (random() % 8) {
                case 0:
                    stream.push_back(UnitSettings(masks[random() % 2], value));
                    break;
                case 1:
                    stream.push_back(PowerTable(SettingType::FlashPowerTable, value));
                    break;
                default:
                    stream.push_back(Setting(types[random() % types.size()],
                                             masks[random() % masks.size()], value));
            }
        }
        Push(stream, &studio);
        const std::vector<Bytes> kept = Drain();
        ASSERT_LT(kept.size(), stream.size());
        ASSERT_EQ(play(kept), play(stream)) << "round " << round;
    }
}
