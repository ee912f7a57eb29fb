#pragma once

#include <QString>

// The folder the desktop entry starts the program in. Option.xml and "Business Memory" live in the
// working folder; started from a desktop menu that would be the home folder itself, so they get a
// folder of their own there, named like the program and easy to find and back up.
namespace UserFolder {

inline const QString kName = QStringLiteral("Orvane");

// Creates home/Orvane when missing and makes it the working folder. False, with the reason in
// error, when it is not a folder or cannot be created or entered.
bool Enter(const QString& home, QString& error);

}  // namespace UserFolder
