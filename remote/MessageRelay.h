#pragma once

#include "platform/MessageBoxService.h"

#include <QStringList>

// The message boxes of a program with the remote interface on. It shows them as the window always
// does, except while a remote request acts: a box then would stop the request until someone at
// the studio answered it. During a Capture the texts are written down instead, questions are
// answered Cancel (the remote runs only the steps that follow a question's OK), and the request
// answers with the text.
class CMessageRelay final : public CMessageBoxService {
public:
    // shown: what shows the boxes outside a capture; it must outlive the relay. Until it is set,
    // boxes go to a plain Qt message box.
    void ShowWith(CMessageBoxService* shown) { shown_ = shown; }

    int Show(const QString& text, const QString& caption, Buttons buttons) override;

    // Writes down every box asked for while it lives. Captures do not nest.
    class Capture {
    public:
        explicit Capture(CMessageRelay& relay) : relay_(relay) { relay_.capture_ = &texts_; }
        ~Capture() { relay_.capture_ = nullptr; }
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

        const QStringList& Texts() const { return texts_; }

    private:
        CMessageRelay& relay_;
        QStringList texts_;
    };

private:
    CMessageBoxService* shown_ = nullptr;  // not owned
    QStringList* capture_ = nullptr;       // the live Capture's list
};
