#pragma once

#include "views/PaneBase.h"

// The navigation view: the units of one studio as blocks of a grid.
class CNavigationFormView final : public CPaneBase {
    Q_OBJECT
public:
    explicit CNavigationFormView(QWidget* parent);

protected:
    bool OnMessage(const WindowMessageEvent& message) override;
};
