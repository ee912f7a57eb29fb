#pragma once

#include "model/StrobeData.h"

#include <QString>
#include <QUndoCommand>

#include <cstdint>
#include <vector>

class CCommands;
struct StudioData;

// One step of the history: the values some units of one studio held before a change and hold
// after it. Undo puts the units back to their values before and sends the frames that set them,
// unit by unit in slot order; redo does the change again. Changes of the same thing of the same
// units that follow within a moment of each other merge into one step.
class CUnitsStep final : public QUndoCommand {
public:
    // How the step's values go out to the units.
    enum class Road {
        Settings,  // each setting that differs, in a setting frame of the unit's own
        Tables,    // the powers as the studio's power tables, the rest as Settings
        Whole,     // every unit's complete settings in one frame each
    };
    // What merges: bits of the settings and names a change touched, and whether it went to the
    // ticked units. 0: never merges.
    using Touched = int;
    enum : Touched {
        kFlashOn = 1 << 0,
        kFlash = 1 << 1,
        kModel = 1 << 2,
        kCell = 1 << 3,
        kSound = 1 << 4,
        kModelMode = 1 << 5,
        kLampMode = 1 << 6,
        kModelOn = 1 << 7,
        kNames = 1 << 8,
        kTicked = 1 << 9,
    };

    // What a change of those settings is called in the history ("Flash Power").
    static QString Label(Touched touched);
    // The change code the panes are told for a change of those settings: one setting's own, or
    // every setting's.
    static int ChangeCodeOf(Touched touched);

    CUnitsStep(CCommands& commands, StudioData& studio, Road road, QString what, std::int64_t atMs);

    // Takes a unit's values before the change; then, after it, the values of all units taken.
    void Before(const StrobeData& unit);
    void After(Touched touched, bool merges = true);
    bool ChangesAnything() const;

    // Why the step cannot be applied now; empty when it can.
    QString Problem() const;
    const StudioData* Studio() const { return studio_; }

    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;
    void undo() override;
    void redo() override;

private:
    struct Values {
        StrobeSettings settings;
        QString modelName;
        QString lightName;
        friend bool operator==(const Values&, const Values&) = default;
    };
    struct Entry {
        int slot = 0;
        std::uint64_t serial = 0;
        Values before;
        Values after;
    };

    StrobeData* Live(const Entry& entry) const;
    void Apply(bool after);
    void SendSettings(StrobeData& unit, const StrobeSettings& from);
    void Describe();

    CCommands& commands_;
    StudioData* studio_;
    Road road_;
    QString what_;
    std::int64_t lastMs_;
    Touched touched_ = 0;
    bool merges_ = true;
    std::vector<Entry> entries_;
    bool done_ = true;  // pushed after the change was made: the first redo does nothing
};
