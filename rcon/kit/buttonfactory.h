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
    // The same, drawn at once in the silver style every window gives its buttons and as wide as
    // the caption needs: for the windows that style their buttons as they make them.
    XpButton *createStyled(QWidget *parent, const QString &name, const QString &caption) const;

private:
    Platform &m_platform;
    QString m_clickSound;
};
