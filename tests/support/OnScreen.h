#pragma once

// What a shown widget has put on the screen, for tests that look at pixels.

#include <QBackingStore>
#include <QCoreApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

// What the window's paints have put on the screen so far, as they were painted; grab() would paint
// it afresh. Read from the backing store, so it can be read during a paint as well.
inline QImage OnScreen(QWidget& window) {
    const auto* image = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
    if (image == nullptr) {
        ADD_FAILURE() << "the window is painted somewhere this test cannot read";
        return {};
    }
    return image->convertToFormat(QImage::Format_RGB32);
}

// Lets posted updates and the paints they cause run.
inline void Settle() {
    for (int round = 0; round < 10; ++round) {
        QCoreApplication::processEvents();
    }
}

// Shows the window, makes it the active one and lets its first paints run.
inline void ShowAndWait(QWidget& window) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    Settle();
}
