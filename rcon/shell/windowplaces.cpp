#include "rcon/shell/windowplaces.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace {
const QString MainPos = QStringLiteral("MainPos");
const QString OutputPos = QStringLiteral("OutputPos");
const QString OutputSize = QStringLiteral("OutputSize");
} // namespace

WindowPlaces::WindowPlaces(QString optionsFile)
    : m_optionsFile(std::move(optionsFile)) {}

void WindowPlaces::save(const QWidget *main, const QWidget *output) const {
    QSettings settings(m_optionsFile, QSettings::IniFormat);
    settings.beginGroup(QLatin1String(Group));
    settings.setValue(MainPos, main->pos());
    settings.setValue(OutputPos, output->pos());
    settings.setValue(OutputSize, output->size());
    settings.endGroup();
    settings.sync();
}

bool WindowPlaces::restore(QWidget *main, QWidget *output) const {
    QSettings settings(m_optionsFile, QSettings::IniFormat);
    settings.beginGroup(QLatin1String(Group));
    const QVariant mainPos = settings.value(MainPos);
    const QVariant outputPos = settings.value(OutputPos);
    const QVariant outputSize = settings.value(OutputSize);
    if (!mainPos.canConvert<QPoint>() || !outputPos.canConvert<QPoint>() ||
        !outputSize.canConvert<QSize>())
        return false;
    output->resize(outputSize.toSize().expandedTo(output->minimumSize()));
    main->move(mainPos.toPoint());
    output->move(outputPos.toPoint());
    keepOnScreen(main);
    keepOnScreen(output);
    return true;
}

void WindowPlaces::keepOnScreen(QWidget *window) {
    const QRect frame(window->pos(), window->frameGeometry().size().expandedTo(window->size()));
    const QScreen *screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QPoint place = frame.topLeft();
    place.setX(qBound(area.left(), place.x(), qMax(area.left(), area.right() - frame.width() + 1)));
    place.setY(qBound(area.top(), place.y(), qMax(area.top(), area.bottom() - frame.height() + 1)));
    window->move(place);
}
