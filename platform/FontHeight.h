#pragma once

#include <QFont>
#include <QString>

// A font asked for by the height of its character cell, the line a text of it takes from the top
// of its highest accents to the bottom of its descenders. The program's fonts are given this way;
// Qt sizes a font by its em instead, which for most faces is a good deal smaller than the cell, so
// a face set to the cell height as its pixel size comes out too large for the field it was made
// for.
QFont FontOfCellHeight(const QString& family, int cellHeight, QFont::Weight weight);
