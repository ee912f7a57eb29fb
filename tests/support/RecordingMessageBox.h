#pragma once

#include "platform/MessageBoxService.h"

#include <QString>
#include <QStringList>

// Answers every box at once and writes down what it was asked to show.
class RecordingMessageBox final : public CMessageBoxService {
public:
    int Show(const QString& text, const QString& caption, Buttons buttons) override {
        texts.append(text);
        captions.append(caption);
        lastButtons = buttons;
        return answer;
    }

    QStringList texts;
    QStringList captions;
    Buttons lastButtons = Buttons::Ok;
    int answer = kOk;
};
