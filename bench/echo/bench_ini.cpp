// INI access as the program does it: a settings read from a file of 200 keys, and the
// password-file sized case (32 KB) that every password access pays.
#include "echo/inifile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QString NotFound = QStringLiteral("[NOT FOUND]");

// A file of the given number of keys spread over sections of 20 keys each.
QString makeFile(const QTemporaryDir &dir, int keys, int valueLength) {
    QByteArray content;
    for (int k = 0; k < keys; ++k) {
        if (k % 20 == 0)
            content += "[Section" + QByteArray::number(k / 20) + "]\n";
        content += "Key" + QByteArray::number(k) + '=' + QByteArray(valueLength, 'v') + '\n';
    }
    const QString path = dir.filePath(QStringLiteral("bench.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

void GetFromINI_200Keys(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = makeFile(dir, 200, 16);
    const IniFile ini(path);
    for (auto _ : state) {
        // Near the end: a section late in the file, written with other letter cases.
        benchmark::DoNotOptimize(
            ini.readString(QStringLiteral("section9"), QStringLiteral("KEY198"), NotFound, 254));
    }
}
BENCHMARK(GetFromINI_200Keys);

void GetFromINI_32KB(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = makeFile(dir, 1000, 24);
    const IniFile ini(path);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            ini.readString(QStringLiteral("Section49"), QStringLiteral("Key999"), NotFound, 254));
    }
}
BENCHMARK(GetFromINI_32KB);

void WriteToINI_200Keys(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = makeFile(dir, 200, 16);
    IniFile ini(path);
    int round = 0;
    for (auto _ : state) {
        ini.writeString(QStringLiteral("Section9"), QStringLiteral("Key198"),
                        QString::number(++round));
    }
}
BENCHMARK(WriteToINI_200Keys);

void WriteToINI_32KB(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = makeFile(dir, 1000, 24);
    IniFile ini(path);
    int round = 0;
    for (auto _ : state) {
        ini.writeString(QStringLiteral("Section49"), QStringLiteral("Key999"),
                        QString::number(++round));
    }
}
BENCHMARK(WriteToINI_32KB);

} // namespace

BENCHMARK_MAIN();
