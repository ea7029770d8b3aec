#include "wildcard.h"

namespace {

// Appends one character of a set; '-' stands for a range. Other punctuation is escaped: it could
// end the set, escape, negate, or open a class or collating name ("[:", "[.", "[=").
void appendSetCharacter(QChar c, QString& expression) {
    if (!c.isLetterOrNumber() && c != QLatin1Char('-'))
        expression += QLatin1Char('\\');
    expression += c;
}

// Appends the character set that opens at pattern[at] ('[') to expression and returns the
// position after its ']', or returns at when the set is never closed.
int appendCharacterSet(const QString& pattern, int at, QString& expression) {
    const bool negated = at + 1 < pattern.size() && pattern[at + 1] == QLatin1Char('^');
    const int first = negated ? at + 2 : at + 1;
    // A ']' first in the set is one of its characters.
    const int end = pattern.indexOf(QLatin1Char(']'), first + 1);
    if (first >= pattern.size() || end < 0)
        return at;
    expression += QLatin1String(negated ? "[^" : "[");
    for (int i = first; i < end; ++i) {
        const QChar c = pattern[i];
        // A range may run either way.
        if (i + 2 < end && pattern[i + 1] == QLatin1Char('-') && pattern[i + 2] < c) {
            appendSetCharacter(pattern[i + 2], expression);
            expression += QLatin1Char('-');
            appendSetCharacter(c, expression);
            i += 2;
            continue;
        }
        appendSetCharacter(c, expression);
    }
    expression += QLatin1Char(']');
    return end + 1;
}

} // namespace

QRegularExpression wildcardExpression(const QString& pattern) {
    QString expression;
    // Plain characters are escaped a run at a time, so that a surrogate pair stays whole.
    QString plain;
    const auto appendPlain = [&] {
        expression += QRegularExpression::escape(plain);
        plain.clear();
    };
    for (int i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('*') || c == QLatin1Char('?')) {
            appendPlain();
            expression += QLatin1String(c == QLatin1Char('*') ? ".*" : ".");
            ++i;
            continue;
        }
        if (c == QLatin1Char('[')) {
            QString set;
            const int next = appendCharacterSet(pattern, i, set);
            if (next != i) {
                appendPlain();
                expression += set;
                i = next;
                continue;
            }
        }
        plain += c;
        ++i;
    }
    appendPlain();
    return QRegularExpression(expression, QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
}
