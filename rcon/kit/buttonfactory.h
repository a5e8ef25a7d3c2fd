#pragma once

#include <QString>

class Platform;
class QWidget;
class XpButton;

// Makes the push buttons of the program's windows: named (the name assistive technology and
// the tests find it by), captioned, and clicking with the program's button sound.
class ButtonFactory final {
public:
    ButtonFactory(Platform &platform, QString clickSound);

    XpButton *create(QWidget *parent, const QString &name, const QString &caption) const;

private:
    Platform &m_platform;
    QString m_clickSound;
};
