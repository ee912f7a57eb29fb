#pragma once

#include "views/PaneBase.h"

// The studio list: the five studios and their units as a tree, which sets the selection.
class CStudioListFormView final : public CPaneBase {
    Q_OBJECT
public:
    explicit CStudioListFormView(QWidget* parent);

protected:
    bool OnMessage(const WindowMessageEvent& message) override;
};
