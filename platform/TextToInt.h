#pragma once

#include <QStringView>

// Text to integer as a base-10 conversion of the C library reads it: leading white space skipped,
// an optional sign, the digits up to the first other character; no digits gives 0. Values beyond
// the 32-bit range stop at its ends.
inline int TextToInt(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > 2147483648LL) {
            value = 2147483648LL;
        }
    }
    value = negative ? -value : value;
    if (value > 2147483647LL) {
        value = 2147483647LL;
    }
    return static_cast<int>(value);
}
