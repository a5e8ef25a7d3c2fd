#include "rcon/kit/trayicon.h"

#include <QSystemTrayIcon>

TrayIcon::TrayIcon(QObject *parent)
    : QObject(parent)
    , m_icon(new QSystemTrayIcon(this)) {
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                case QSystemTrayIcon::DoubleClick:
                    Q_EMIT restore();
                    break;
                case QSystemTrayIcon::Context:
                    Q_EMIT menu();
                    break;
                default:
                    break;
                }
            });
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::isAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::setIcon(const QIcon &icon) {
    m_icon->setIcon(icon);
}

QIcon TrayIcon::icon() const {
    return m_icon->icon();
}

void TrayIcon::setVisible(bool visible) {
    m_icon->setVisible(visible);
}

bool TrayIcon::isVisible() const {
    return m_icon->isVisible();
}

void TrayIcon::setToolTip(const QString &text) {
    m_icon->setToolTip(text);
}

QString TrayIcon::toolTip() const {
    return m_icon->toolTip();
}
