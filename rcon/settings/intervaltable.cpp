#include "rcon/settings/intervaltable.h"

#include <array>

namespace {
struct Interval {
    const char *caption;
    const char *milliseconds;
};

constexpr std::array<Interval, 9> Table{{
    {"1 Minute", "60000"},
    {"2 Minutes", "120000"},
    {"5 Minutes", "300000"},
    {"15 Minutes", "900000"},
    {"25 Minutes", "1500000"},
    {"30 Minutes", "1800000"},
    {"50 Minutes", "3000000"},
    {"60 Minutes", "3600000"},
    {"90 Minutes", "5400000"},
}};

bool inTable(int index) {
    return index >= 0 && index < int(Table.size());
}
} // namespace

int IntervalTable::count() {
    return int(Table.size());
}

QStringList IntervalTable::captions() {
    QStringList result;
    for (const Interval &interval : Table)
        result.append(QString::fromLatin1(interval.caption));
    return result;
}

QString IntervalTable::caption(int index) {
    return inTable(index) ? QString::fromLatin1(Table[index].caption) : QString();
}

QString IntervalTable::millisecondsText(int index) {
    return inTable(index) ? QString::fromLatin1(Table[index].milliseconds) : QString();
}

QString IntervalTable::millisecondsFor(const QString &caption) {
    for (const Interval &interval : Table) {
        if (caption == QLatin1String(interval.caption))
            return QString::fromLatin1(interval.milliseconds);
    }
    return {};
}

int IntervalTable::indexOfMilliseconds(const QString &millisecondsText) {
    for (int i = 0; i < count(); ++i) {
        if (millisecondsText == QLatin1String(Table[i].milliseconds))
            return i;
    }
    return -1;
}

QString IntervalTable::captionFor(const QString &millisecondsText) {
    return caption(indexOfMilliseconds(millisecondsText));
}
