#pragma once

#include <QIcon>
#include <QObject>

class QSystemTrayIcon;

// The icon in the desktop's notification area: a picture, a visible flag and a tool tip. A
// click or double click on it asks to restore the windows, a right click asks for its menu.
class TrayIcon final : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject *parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop has a notification area to put the icon in.
    static bool isAvailable();

    void setIcon(const QIcon &icon);
    QIcon icon() const;
    void setVisible(bool visible);
    bool isVisible() const;
    void setToolTip(const QString &text);
    QString toolTip() const;

Q_SIGNALS:
    void restore();
    void menu();

private:
    QSystemTrayIcon *m_icon;
};
