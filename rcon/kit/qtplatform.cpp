#include "rcon/kit/qtplatform.h"

#include "rcon/protocol/website.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QProcess>
#include <QSoundEffect>

QtPlatform::QtPlatform(QObject *parent)
    : QObject(parent) {}

QtPlatform::~QtPlatform() = default;

Platform::Answer QtPlatform::messageBox(QWidget *parent, Icon icon, Buttons buttons,
                                        const QString &text) {
    // On the heap and watched: the window it sits on may be unloaded while the box waits, and
    // takes the box with it.
    const QPointer<QMessageBox> box = new QMessageBox(
        icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::Information,
        QString::fromLatin1(talvero::ProductName), text,
        buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    // Messages may carry what a server or a player wrote; it is shown as written, never as
    // markup.
    box->setTextFormat(Qt::PlainText);
    const int result = box->exec();
    delete box.data();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtPlatform::playSound(const QString &path) {
    if (!QFileInfo::exists(path))
        return;
    QSoundEffect *&effect = m_sounds[path];
    if (!effect) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(path));
    }
    effect->stop();
    effect->play();
}

bool QtPlatform::openUrl(const QUrl &url) {
    return QDesktopServices::openUrl(url);
}

bool QtPlatform::startProgram(const QString &path) {
    return QProcess::startDetached(path, {}, QFileInfo(path).absolutePath());
}

void QtPlatform::exitProcess(int code) {
    // Queued, so that an exit decided before the event loop runs (a damaged settings file found
    // during start-up) still ends the process once the loop starts.
    QMetaObject::invokeMethod(
        qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}
