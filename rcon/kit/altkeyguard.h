#pragma once

#include <QObject>

// Alt with a letter is how the keyboard reaches a button or a menu entry. When nothing claims
// the letter, a text field would take it as typing and silently change an address or a
// password; this guard swallows such a key instead. It watches the whole application, and a
// key that a shortcut claims never reaches it.
class AltKeyGuard final : public QObject {
    Q_OBJECT
public:
    explicit AltKeyGuard(QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
