#include "rcon/kit/altkeyguard.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

AltKeyGuard::AltKeyGuard(QObject *parent)
    : QObject(parent) {}

bool AltKeyGuard::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    // AltGr (a third level of the layout) does not count as Alt here: it types characters.
    const Qt::KeyboardModifiers mods = key->modifiers();
    if (!(mods & Qt::AltModifier) || (mods & (Qt::ControlModifier | Qt::MetaModifier)))
        return false;
    if (key->text().isEmpty() || !key->text().front().isPrint())
        return false;
    const bool textField =
        qobject_cast<QLineEdit *>(watched) || qobject_cast<QAbstractSpinBox *>(watched) ||
        qobject_cast<QComboBox *>(watched) || qobject_cast<QTextEdit *>(watched) ||
        qobject_cast<QPlainTextEdit *>(watched);
    return textField;
}
