#pragma once

#include <QString>

// Whether a title from a request can name a setup's file: the file store takes any plain name,
// but a request's title must also not be "." (which would be the hidden file "..xml") and must
// fit in a file name with its extension.
namespace SetupTitle {

// The longest file name the system takes, in bytes.
inline constexpr int kMaxFileNameBytes = 255;

// Why the title cannot name a setup, or empty when it can.
QString Problem(const QString& title);

}  // namespace SetupTitle
