// Writes the program's icon as PNG files for the desktop's icon theme:
//   icongen <folder> <size>...   makes <folder>/<size>x<size>/net.talvero.Talvero.png
#include "rcon/kit/programicon.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: icongen <folder> <size>...\n");
        return 2;
    }
    for (qsizetype i = 2; i < args.size(); ++i) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "icongen: not a size: %s\n", qPrintable(args.at(i)));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2").arg(args.at(1)).arg(size);
        const QString file = folder + QStringLiteral("/net.talvero.Talvero.png");
        if (!QDir().mkpath(folder) || !talvero::programIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "icongen: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
