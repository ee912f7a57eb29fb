#pragma once

#include "views/PaneContext.h"

#include <QGroupBox>

class DialogUnits;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

// The studio-file box ("Business Memory"): the list of saved setups, the name box and the preview,
// and the Save and Load steps the toolbar asks for. It works on the studio of the selection, never
// on one unit, so it stays usable whatever state the unit controls are in.
class CBusinessMemoryBox final : public QGroupBox {
    Q_OBJECT
public:
    // Laid out at its template place in the owner's frame, converted with the owner's units.
    CBusinessMemoryBox(const DialogUnits& du, QWidget* parent);

    void Attach(const PaneContext& context);

    // The toolbar's Save and Load: each asks its question, then takes the steps that follow OK.
    void OnSaveCommand();
    void OnLoadCommand();

    // The steps after OK: Save answers whether the file was written; Load whether there was a
    // studio to load onto.
    bool SaveConfirmed();
    bool LoadConfirmed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ListFiles();
    // Shows a refusal that comes with a message box's caption.
    void Tell(const struct CommandResult& result);
    void OnFilePicked();
    void OnFileNameChanged();
    void SetCommand(int index, bool enabled);
    bool Confirm(const QString& question);

    PaneContext context_;
    QLineEdit* fileNameEdit_;
    QListWidget* fileList_;
    QPlainTextEdit* fileInfo_;
};
