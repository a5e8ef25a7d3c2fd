#include "rcon/xpbutton/xpbuttonaccessible.h"

#include "rcon/xpbutton/xpbutton.h"

#include <QKeySequence>

namespace {

QAccessibleInterface *xpButtonInterface(const QString &className, QObject *object) {
    if (className == QLatin1String("XpButton")) {
        if (auto *button = qobject_cast<XpButton *>(object))
            return new XpButtonAccessible(button);
    }
    return nullptr;
}

} // namespace

XpButtonAccessible::XpButtonAccessible(XpButton *button)
    : QAccessibleWidget(button, QAccessible::Button) {}

void XpButtonAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(xpButtonInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

QString XpButtonAccessible::plainCaption(const QString &caption) {
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&')) {
            ++i;
            if (i == caption.size())
                break;
        }
        plain.append(caption.at(i));
    }
    return plain;
}

XpButton *XpButtonAccessible::button() const {
    return static_cast<XpButton *>(widget());
}

int XpButtonAccessible::childCount() const {
    return 0;
}

QAccessibleInterface *XpButtonAccessible::child(int) const {
    return nullptr;
}

int XpButtonAccessible::indexOfChild(const QAccessibleInterface *) const {
    return -1;
}

QAccessibleInterface *XpButtonAccessible::childAt(int, int) const {
    return nullptr;
}

QString XpButtonAccessible::text(QAccessible::Text t) const {
    switch (t) {
    case QAccessible::Name: {
        const QString name = QAccessibleWidget::text(t);
        return name.isEmpty() ? plainCaption(button()->Caption()) : name;
    }
    case QAccessible::Accelerator: {
        const QKeySequence mnemonic = QKeySequence::mnemonic(button()->Caption());
        return mnemonic.toString(QKeySequence::NativeText);
    }
    default:
        return QAccessibleWidget::text(t);
    }
}

QAccessible::State XpButtonAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.pressed = button()->state() == XpButton::State::Pressed;
    return s;
}

QStringList XpButtonAccessible::actionNames() const {
    return {pressAction()};
}

void XpButtonAccessible::doAction(const QString &actionName) {
    if (actionName == pressAction() && button()->isEnabled())
        button()->click();
}

QStringList XpButtonAccessible::keyBindingsForAction(const QString &actionName) const {
    if (actionName != pressAction())
        return {};
    const QKeySequence mnemonic = QKeySequence::mnemonic(button()->Caption());
    if (mnemonic.isEmpty())
        return {};
    return {mnemonic.toString(QKeySequence::NativeText)};
}
