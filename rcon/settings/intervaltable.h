#pragma once

#include <QString>
#include <QStringList>

// The nine intervals the automatic commands run on, in the order of the Properties dialog's
// lists: captions as the dialog shows them, milliseconds as decimal text as "talvero.ini"
// stores them. Both directions are exact, case-sensitive comparisons against the table.
class IntervalTable final {
public:
    static int count();
    static QStringList captions();
    // Empty for an index outside the table.
    static QString caption(int index);
    static QString millisecondsText(int index);

    // The stored text for a caption; empty when the caption is not in the table.
    static QString millisecondsFor(const QString &caption);
    // The position of a stored text in the table; -1 when it is not there.
    static int indexOfMilliseconds(const QString &millisecondsText);
    // The caption for a stored text; empty when the text is not in the table.
    static QString captionFor(const QString &millisecondsText);
};
