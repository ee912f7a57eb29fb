#pragma once

#include <QString>

// Every message box and question of the program goes through this service, so that tests can
// record the texts and give the answers without a modal loop. Call it on the user-interface
// thread only; a thread of its own posts an AlertEvent instead.
class CMessageBoxService {
public:
    enum class Buttons {
        Ok,
        OkCancel,
    };
    // The answers keep the dialog result codes the rest of the program compares with.
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;

    virtual int Show(const QString& text, const QString& caption, Buttons buttons) = 0;

protected:
    ~CMessageBoxService() = default;
};

// The caption of the program's own boxes.
inline const QString kAppTitle = QStringLiteral("Orvane");
