#include "panels/BusinessMemoryBox.h"

#include "commands/Commands.h"
#include "files/StudioFileStore.h"
#include "model/FixedNames.h"
#include "model/StudioModel.h"
#include "panels/PanelLook.h"
#include "platform/MessageBoxService.h"
#include "platform/WindowMessage.h"
#include "views/PaneHost.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>

namespace {

const QString kMemoryCaption = QStringLiteral("Business Memory");

// A power as the preview reads it: the value, or "OFF" when that part of the unit is off.
QString PreviewPower(int value, int on) {
    return on ? PowerLevelText(value) : QStringLiteral("OFF");
}

}  // namespace

CBusinessMemoryBox::CBusinessMemoryBox(const DialogUnits& du, QWidget* parent)
    : QGroupBox(kMemoryCaption, parent) {
    using PanelLook::Place;
    setObjectName(QStringLiteral("memoryGroup"));
    setAccessibleName(title());
    Place(this, du, 5, 140, 195, 85);
    const QPoint origin = pos();
    // Created in the order the user tabs through them.
    fileNameEdit_ = Place(new QLineEdit(this), du, 12, 209, 80, 12, origin);
    fileNameEdit_->setObjectName(QStringLiteral("fileNameEdit"));
    fileNameEdit_->setAccessibleName(QStringLiteral("File name"));
    fileList_ = Place(new QListWidget(this), du, 12, 150, 80, 55, origin);
    fileList_->setObjectName(QStringLiteral("fileList"));
    fileList_->setAccessibleName(QStringLiteral("Studio files"));
    fileInfo_ = Place(new QPlainTextEdit(this), du, 96, 150, 98, 71, origin);
    fileInfo_->setObjectName(QStringLiteral("fileInfo"));
    fileInfo_->setAccessibleName(QStringLiteral("File info"));
    fileInfo_->setReadOnly(true);
    // A preview line stays one line, however long its names: the box scrolls both ways instead.
    fileInfo_->setLineWrapMode(QPlainTextEdit::NoWrap);

    // A click anywhere in the list, on an entry or not, previews the entry that holds the list's
    // current mark; Enter and Space do the same from the keyboard.
    fileList_->viewport()->installEventFilter(this);
    fileList_->installEventFilter(this);
    connect(fileNameEdit_, &QLineEdit::textChanged, this, &CBusinessMemoryBox::OnFileNameChanged);
}

void CBusinessMemoryBox::Attach(const PaneContext& context) {
    context_ = context;
    ListFiles();
    // A setup saved from elsewhere joins the list; what the user picked or typed stays.
    if (context_.commands) {
        connect(context_.commands, &CCommands::SetupsChanged, this, [this] {
            const QListWidgetItem* current = fileList_->currentItem();
            const QString picked = current ? current->text() : QString();
            fileList_->clear();
            ListFiles();
            const QList<QListWidgetItem*> same = fileList_->findItems(picked, Qt::MatchExactly);
            if (!picked.isEmpty() && !same.isEmpty()) {
                fileList_->setCurrentItem(same.front());
            }
        });
    }
}

bool CBusinessMemoryBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fileList_->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OnFilePicked();
    } else if (watched == fileList_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            OnFilePicked();
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

void CBusinessMemoryBox::SetCommand(int index, bool enabled) {
    if (context_.frame) {
        SendWindowMessage(context_.frame, Msg::EnableCommand, index, enabled ? 1 : 0);
    }
}

bool CBusinessMemoryBox::Confirm(const QString& question) {
    return context_.messages && context_.messages->Show(question, kMemoryCaption,
                                                        CMessageBoxService::Buttons::OkCancel) ==
                                    CMessageBoxService::kOk;
}

void CBusinessMemoryBox::ListFiles() {
    if (context_.fileStore) {
        fileList_->addItems(context_.fileStore->ListStudioFiles());
    }
}

void CBusinessMemoryBox::OnFilePicked() {
    StudioFileStore* store = context_.fileStore;
    StudioModel* model = context_.model;
    if (!store || !model || !model->pFileStudio) {
        return;
    }
    const QListWidgetItem* item = fileList_->currentItem();
    const QString title = item ? item->text() : QString();
    // A pick counts as an edit of the name even when the box already holds that name.
    if (fileNameEdit_->text() == title) {
        OnFileNameChanged();
    } else {
        fileNameEdit_->setText(title);
    }

    StudioData& fileStudio = *model->pFileStudio;
    model->ClearStudio(fileStudio);
    if (store->LoadStudioFile(title)) {
        QString info = QStringLiteral("File info :\n");
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const StrobeData* unit = fileStudio.bChUsed[slot] ? fileStudio.Unit(slot) : nullptr;
            if (!unit) {
                continue;
            }
            info += QStringLiteral("%1 Flash %2 Model %3\n")
                        .arg(unit->sChName, PreviewPower(unit->nFlashValue, unit->bFlashPow),
                             PreviewPower(unit->nModelValue, unit->bModelPow));
        }
        fileInfo_->setPlainText(info);
    } else {
        // The store has told the user why; a stale preview must not stand for this file.
        fileInfo_->clear();
    }
    // Loading is offered even after a failed preview: the file studio then holds what was read.
    SetCommand(ToolbarCommand::Load, true);
}

void CBusinessMemoryBox::OnFileNameChanged() {
    SetCommand(ToolbarCommand::Save, true);
}

void CBusinessMemoryBox::OnSaveCommand() {
    if (!context_.fileStore || !Confirm(QStringLiteral("Do you want to save current setting?"))) {
        return;
    }
    SaveConfirmed();
}

bool CBusinessMemoryBox::SaveConfirmed() {
    if (!context_.commands) {
        return false;
    }
    // The list follows the setups the commands write; it is read again even when the studio had
    // nothing to save.
    const CommandResult saved =
        context_.commands->Save(fileNameEdit_->text(), CCommands::Origin::Window);
    const bool written = static_cast<bool>(saved);
    if (!saved) {
        Tell(saved);
        if (saved.refusal == CommandRefusal::NoUnits) {
            fileList_->clear();
            ListFiles();
        }
    } else {
        fileList_->setCurrentItem(nullptr);
    }
    // Saved or not, the box starts over, so that the next save needs a name typed or picked.
    fileInfo_->clear();
    fileNameEdit_->clear();
    SetCommand(ToolbarCommand::Load, false);
    SetCommand(ToolbarCommand::Save, false);
    return written;
}

void CBusinessMemoryBox::OnLoadCommand() {
    StudioModel* model = context_.model;
    // With no studio picked in the tree there are no units to take the file's settings, and
    // the question would promise a change that cannot happen.
    if (!model || !model->SelectedStudio() ||
        !Confirm(QStringLiteral("Current settig is deleted. Do you want to open file?"))) {
        return;
    }
    LoadConfirmed();
}

bool CBusinessMemoryBox::LoadConfirmed() {
    StudioModel* model = context_.model;
    if (!model || !model->SelectedStudio() || !context_.commands || !model->pFileStudio) {
        return false;
    }
    const QListWidgetItem* picked = fileList_->currentItem();
    const CommandResult loaded = context_.commands->LoadFrom(
        *model->pFileStudio, picked ? picked->text() : fileNameEdit_->text(),
        CCommands::Origin::Window);
    Tell(loaded);
    return static_cast<bool>(loaded);
}

void CBusinessMemoryBox::Tell(const CommandResult& result) {
    if (!result && !result.caption.isEmpty() && context_.messages) {
        context_.messages->Show(result.reason, result.caption, CMessageBoxService::Buttons::Ok);
    }
}
