// Run by hand: build/bench/passwords/bench_passwordfile
#include "rcon/kit/controlhost.h"
#include "rcon/kit/platform.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/passwords/scramblepasswordfile.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {
// Nothing may block a benchmark: a failure to create the control is printed, not shown.
class PrintingPlatform final : public Platform {
public:
    Answer messageBox(QWidget *, Icon, Buttons, const QString &text) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return Answer::Ok;
    }
    void playSound(const QString &) override {}
    bool openUrl(const QUrl &) override { return false; }
    bool startProgram(const QString &) override { return false; }
    void exitProcess(int) override {}
};

QWidget *g_control = nullptr;

// A password file of about the given size: the usual entries, then further keys.
QByteArray passwordText(qsizetype size) {
    QByteArray text = "[password]\nuserpass=guard\npass1=No Password\npass2=No Password\n"
                      "pass3=No Password\npass4=No Password\npass5=No Password\n"
                      "usethis=No Password\n";
    for (int n = 0; text.size() < size; ++n)
        text += "extra" + QByteArray::number(n) + "=0123456789abcdef\n";
    text.truncate(size - 1);
    return text + '\n';
}

struct ScrambledFile {
    explicit ScrambledFile(qsizetype size) {
        QByteArray bytes = passwordText(size);
        scrambleBytes(bytes);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("password"));
};

void wholeAccess(benchmark::State &state) {
    const ScrambledFile file(state.range(0));
    const PasswordFile passwords(file.path, IniAccess(g_control));
    for (auto _ : state)
        benchmark::DoNotOptimize(passwords.read(PasswordFile::userpass));
    if (passwords.read(PasswordFile::userpass) != QLatin1String("guard"))
        state.SkipWithError("the INI control did not read the key");
}

void bothPasses(benchmark::State &state) {
    const ScrambledFile file(state.range(0));
    for (auto _ : state) {
        ScramblePasswordFile(file.path, false);
        ScramblePasswordFile(file.path, true);
    }
}

void bothPassesInMemory(benchmark::State &state) {
    QByteArray bytes = passwordText(state.range(0));
    for (auto _ : state) {
        scrambleBytes(bytes);
        unscrambleBytes(bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
}
} // namespace

BENCHMARK(wholeAccess)->Arg(300)->Arg(MaxScrambleLength)->Unit(benchmark::kMicrosecond);
BENCHMARK(bothPasses)->Arg(300)->Arg(MaxScrambleLength)->Unit(benchmark::kMicrosecond);
BENCHMARK(bothPassesInMemory)->Arg(300)->Arg(MaxScrambleLength)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PrintingPlatform platform;
    ControlHost host(QStringLiteral(TALVERO_PROGRAM_DIR), platform);
    const std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    g_control = host.create(QStringLiteral("Quirebox.INITool"), window.get());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
