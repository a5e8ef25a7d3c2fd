#include "rcon/kit/windowplaces.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace {
// Client-area places. Earlier versions kept frame positions under "MainPos" and "OutputPos";
// those are dropped rather than read, since one of them could hold a place the window system
// had misreported.
const QString MainPlace = QStringLiteral("MainPlace");
const QString OutputPlace = QStringLiteral("OutputPlace");
const QString OutputSize = QStringLiteral("OutputSize");
const QString OldKeys[] = {QStringLiteral("MainPos"), QStringLiteral("OutputPos")};
} // namespace

WindowPlaces::WindowPlaces(QString optionsFile)
    : m_optionsFile(std::move(optionsFile)) {}

void WindowPlaces::save(const QWidget *main, const QWidget *output) const {
    QSettings settings(m_optionsFile, QSettings::IniFormat);
    settings.beginGroup(QLatin1String(Group));
    settings.setValue(MainPlace, main->geometry().topLeft());
    settings.setValue(OutputPlace, output->geometry().topLeft());
    settings.setValue(OutputSize, output->size());
    for (const QString &key : OldKeys)
        settings.remove(key);
    settings.endGroup();
    settings.sync();
}

bool WindowPlaces::restore(QWidget *main, QWidget *output) const {
    QSettings settings(m_optionsFile, QSettings::IniFormat);
    settings.beginGroup(QLatin1String(Group));
    const QVariant mainPlace = settings.value(MainPlace);
    const QVariant outputPlace = settings.value(OutputPlace);
    const QVariant outputSize = settings.value(OutputSize);
    if (!mainPlace.canConvert<QPoint>() || !outputPlace.canConvert<QPoint>() ||
        !outputSize.canConvert<QSize>())
        return false;
    output->resize(outputSize.toSize().expandedTo(output->minimumSize()));
    placeClientAt(main, mainPlace.toPoint());
    placeClientAt(output, outputPlace.toPoint());
    keepOnScreen(main);
    keepOnScreen(output);
    return true;
}

void WindowPlaces::placeClientAt(QWidget *window, const QPoint &place) {
    // QWidget::move() means the frame's corner for a window that has no native window yet and
    // the client area's corner for one that has: the geometry is the client area either way.
    window->setGeometry(QRect(place, window->size()));
}

void WindowPlaces::bringForward(QWidget *window) {
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

void WindowPlaces::keepOnScreen(QWidget *window) {
    // The frame's size where the window manager has told it, else the client area's.
    const QRect client = window->geometry();
    const QRect frame = window->frameGeometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                           frame.right() - client.right(), frame.bottom() - client.bottom());
    const QRect outer = client.marginsAdded(margins);
    const QScreen *screen = QGuiApplication::screenAt(outer.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QPoint place = outer.topLeft();
    place.setX(qBound(area.left(), place.x(), qMax(area.left(), area.right() - outer.width() + 1)));
    place.setY(qBound(area.top(), place.y(), qMax(area.top(), area.bottom() - outer.height() + 1)));
    if (place != outer.topLeft())
        placeClientAt(window, place + QPoint(margins.left(), margins.top()));
}
