#pragma once

#include "views/PaneBase.h"

// The control panel: the settings of the unit of the selection, or of the ticked units.
class CControlFormView final : public CPaneBase {
    Q_OBJECT
public:
    explicit CControlFormView(QWidget* parent);

protected:
    bool OnMessage(const WindowMessageEvent& message) override;
};
