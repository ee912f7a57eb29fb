// The small layers over the operating system: numbers read from text as the file formats expect
// them, and window messages, sent or posted, as the panes and the frame rely on them.

#include "platform/AlertEvent.h"
#include "platform/TextToInt.h"
#include "platform/WindowMessage.h"
#include "support/NotifyRecorder.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

using Message = NotifyRecorder::Message;

TEST(TextToInt, ReadsLeadingDigitsAfterWhiteSpaceAndASign) {
    EXPECT_EQ(TextToInt(u"9600"), 9600);
    EXPECT_EQ(TextToInt(u" \t\n+42"), 42);
    EXPECT_EQ(TextToInt(u"-17"), -17);
    EXPECT_EQ(TextToInt(u"56abc"), 56);
    EXPECT_EQ(TextToInt(u"8.1"), 8);
    // No digits where they are looked for: 0.
    for (const char16_t* text : {u"", u"abc", u"-", u"+ 5", u"\u00a05"}) {
        EXPECT_EQ(TextToInt(text), 0) << QString::fromUtf16(text).toStdString();
    }
}

TEST(TextToInt, ValuesBeyondThirtyTwoBitsStopAtTheEnds) {
    EXPECT_EQ(TextToInt(u"2147483647"), INT_MAX);
    EXPECT_EQ(TextToInt(u"2147483648"), INT_MAX);
    EXPECT_EQ(TextToInt(u"-2147483648"), INT_MIN);
    EXPECT_EQ(TextToInt(u"-99999999999999999999"), INT_MIN);
    EXPECT_EQ(TextToInt(u"000000000000000000001"), 1);
}

TEST(WindowMessage, SentIsHandledAtOncePostedWhenTheLoopRunsInPostingOrder) {
    NotifyRecorder window;
    PostWindowMessage(&window, Msg::UnitCreated, 3, 7);
    PostWindowMessage(&window, Msg::UnitStatusRefreshed, 4, 8);
    EXPECT_TRUE(SendWindowMessage(&window, Msg::UnitSettingReported, 5, 9));
    EXPECT_EQ(window.messages, (std::vector<Message>{{Msg::UnitSettingReported, 5, 9}}));
    EXPECT_EQ(window.Take(), (std::vector<Message>{{Msg::UnitSettingReported, 5, 9},
                                                   {Msg::UnitCreated, 3, 7},
                                                   {Msg::UnitStatusRefreshed, 4, 8}}));
}

TEST(WindowMessage, OtherEventsAreNoWindowMessagesAndAnAlertCarriesItsTexts) {
    QEvent plain(QEvent::User);
    EXPECT_EQ(AsWindowMessage(&plain), nullptr);
    NotifyRecorder window;
    PostAlert(&window, QStringLiteral("CCommThread"), QStringLiteral("Buffer full"));
    EXPECT_TRUE(window.Take().empty());
    ASSERT_EQ(window.alerts.size(), 1u);
    EXPECT_EQ(window.alerts[0].caption, QStringLiteral("CCommThread"));
    EXPECT_EQ(window.alerts[0].text, QStringLiteral("Buffer full"));
}

}  // namespace
