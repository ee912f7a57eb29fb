#pragma once

#include "commands/CommandResult.h"
#include "commands/UnitChange.h"
#include "model/StrobeData.h"

#include <QDir>
#include <QObject>
#include <QStringList>
#include <QUndoStack>

#include <cstdint>
#include <functional>
#include <vector>

class CZbProtocol;
class StudioModel;
struct StudioData;
struct TreeItemTag;

// Every action a user can take on the units, the studios and the setups, whoever asks for it: the
// window's controls, the remote interface, undo. Each checks what it needs in one place, changes
// the records, sends the frames (the protocol tells the confirmation tracker), tells the model's
// followers, and answers what it did or why it did nothing. It never shows anything: the caller
// turns a refusal into a message box or an answer.
//
// User-interface thread only.
class CCommands final : public QObject {
    Q_OBJECT
public:
    // Who asks. The window keeps working while the port is closed (its changes then show as not
    // confirmed); a remote client is told instead that nothing would reach the units.
    enum class Origin { Window, Remote };

    using Clock = std::function<std::int64_t()>;  // milliseconds, never going back

    // How many steps undo keeps, and how close together changes of one thing merge into a step.
    static constexpr int kHistoryLimit = 100;
    static constexpr std::int64_t kMergeWindowMs = 1000;

    CCommands(StudioModel& model, CZbProtocol& protocol, QDir workDir, Clock clock = {});
    ~CCommands() override;

    // What the owner of the port tells: open or not, and which port with what reason.
    void SetLink(bool connected, const QString& port, const QString& reason);
    bool Connected() const { return connected_; }
    const QString& Port() const { return port_; }
    const QString& PortReason() const { return portReason_; }

    bool Scanning() const { return scanning_ != nullptr; }
    StudioModel& Model() const { return model_; }
    const QDir& WorkDir() const { return workDir_; }

    // Puts the selection on a line of the studio tree: a studio, a unit or its light name. A
    // studio with units that the dongle is not tuned to must be scanned again before its units
    // can be reached: RescanNeeded then asks whoever runs scans to scan it (once the selection
    // has settled), and the result says a scan is coming.
    CommandResult Select(TreeItemTag& line);
    // Empties the studio, asks its channel for units and tunes the dongle to it. The scan runs
    // until EndScan.
    CommandResult Scan(StudioData& studio);
    void EndScan();

    CommandResult ChangeUnit(StrobeData& unit, const UnitChange& change, Origin origin);
    CommandResult ChangeTicked(StudioData& studio, const GroupChange& change, Origin origin);
    CommandResult TestFlash(StrobeData& unit, Origin origin);
    CommandResult TestTicked(StudioData& studio, Origin origin);
    CommandResult Tick(StrobeData& unit, bool ticked);
    CommandResult TickAll(StudioData& studio, bool ticked);
    // The unit's model name (its unit line) or its light name.
    CommandResult Rename(StrobeData& unit, bool lightName, const QString& name);

    QStringList Setups() const;
    // Writes the studio of the selection under the title.
    CommandResult Save(const QString& title, Origin origin);
    // Reads the setup into the file studio of a model of the caller's, changing nothing else.
    CommandResult ReadSetup(const QString& title, StudioModel& into) const;
    // Reads the setup and gives its settings to the units of the studio of the selection.
    CommandResult Load(const QString& title, Origin origin);
    // The same from a setup already read (the preview of the studio-file box).
    CommandResult LoadFrom(const StudioData& setup, const QString& title, Origin origin);
    // A title that names a plain file inside the setups' folder; the reason when not.
    static QString TitleProblem(const QString& title);

    QUndoStack& History() { return history_; }
    CommandResult Undo(Origin origin = Origin::Window);
    CommandResult Redo(Origin origin = Origin::Window);

    // The studio the dongle listens to, and the refusal for acting on another.
    CommandResult CheckTuned(const StudioData& studio) const;

signals:
    void LinkChanged();
    void RescanNeeded(StudioData* studio);
    void ScanStarted(StudioData* studio);
    void ScanFinished(StudioData* studio);
    // A setup was written: the list of setups may have changed.
    void SetupsChanged();
    // A step of the history was taken back or done again.
    void Undone(const QString& step);
    void Redone(const QString& step);

private:
    friend class CUnitsStep;

    CommandResult CheckActing(Origin origin) const;
    CommandResult CheckUnit(StrobeData& unit, Origin origin) const;
    CommandResult CheckTicked(const StudioData& studio, const std::vector<StrobeData*>& ticked,
                              Origin origin) const;
    void SendChange(StrobeData& unit, const UnitChange& change);
    void SendGroup(StudioData& studio, const GroupChange& change);
    void ApplyOffsets(StudioData& studio, int flashDelta, int modelDelta, bool flashTable);
    CommandResult CheckStep(const class CUnitsStep* step, Origin origin) const;
    void Push(class CUnitsStep* step);
    void ClearStepsOf(const StudioData& studio);

    StudioModel& model_;
    CZbProtocol& protocol_;
    QDir workDir_;
    Clock clock_;
    QUndoStack history_;
    bool connected_ = false;
    QString port_;
    QString portReason_;
    StudioData* scanning_ = nullptr;
    const StudioData* rescanPending_ = nullptr;  // a scan asked for and not yet started
};
