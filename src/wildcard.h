#pragma once

#include <QRegularExpression>
#include <QString>

// The expression of a wildcard pattern, as the room filter reads it: '*' stands for any run of
// characters, '?' for any one, "[...]" for one character of a set ("[^...]" for one outside it,
// a ']' first in the set for itself). Every other character, '[' without its ']' included, is
// itself. The expression finds the pattern anywhere in a text, in any case.
QRegularExpression wildcardExpression(const QString& pattern);
