#include "rcon/kit/buttonfactory.h"

#include "rcon/xpbutton/xpbutton.h"

#include <utility>

ButtonFactory::ButtonFactory(Platform &platform, QString clickSound)
    : m_platform(platform)
    , m_clickSound(std::move(clickSound)) {}

XpButton *ButtonFactory::create(QWidget *parent, const QString &name,
                                const QString &caption) const {
    auto *button = new XpButton(parent);
    button->setObjectName(name);
    button->setCaption(caption);
    button->setClickSound(&m_platform, m_clickSound);
    return button;
}

XpButton *ButtonFactory::createStyled(QWidget *parent, const QString &name,
                                      const QString &caption) const {
    XpButton *button = create(parent, name, caption);
    button->ButtonStyle(2);
    button->fitCaption();
    return button;
}
