// The yardstick for the program's start: an empty Qt program, linked against the same Qt
// libraries, that shows one frameless window of the splash's size. Its time to the window on
// screen is what loading and starting Qt costs; the program's own work is what its splash
// takes beyond that.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
    window.setFixedSize(420, 240);
    window.show();
    return QApplication::exec();
}
