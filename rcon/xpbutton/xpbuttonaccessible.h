#pragma once

#include <QAccessibleWidget>

class XpButton;

// What assistive technology sees of an XpButton: a push button named by its caption (without
// the mnemonic "&") that can be pressed.
class XpButtonAccessible final : public QAccessibleWidget {
public:
    explicit XpButtonAccessible(XpButton *button);

    // Registers the interface with Qt's accessibility; safe to call any number of times.
    static void install();
    // The caption as read aloud: "&&" becomes "&", a lone "&" is dropped.
    static QString plainCaption(const QString &caption);

    // The caption label is part of the button's name, not a child of its own, so a screen
    // reader announces the button once.
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    XpButton *button() const;
};
