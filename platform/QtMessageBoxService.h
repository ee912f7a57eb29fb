#pragma once

#include "platform/MessageBoxService.h"

class QWidget;

// Shows the program's boxes as modal Qt message boxes over a parent window.
class CQtMessageBoxService final : public CMessageBoxService {
public:
    explicit CQtMessageBoxService(QWidget* parent = nullptr) : parent_(parent) {}
    int Show(const QString& text, const QString& caption, Buttons buttons) override;

private:
    QWidget* parent_;  // not owned
};
