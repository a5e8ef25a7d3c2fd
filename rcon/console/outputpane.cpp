#include "rcon/console/outputpane.h"

#include "rcon/shell/fonts.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>

OutputPane::OutputPane(QWidget *parent)
    : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("TxtGet"));
    setAccessibleName(QStringLiteral("Server output"));
    setFont(talvero::consoleFont());
    // Replies are what the server said: the user reads them, but never edits them.
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setFocusPolicy(Qt::StrongFocus);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    pal.setColor(QPalette::Text, Qt::white);
    setPalette(pal);
    m_white.setForeground(Qt::white);

    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &OutputPane::holdCaretAtEnd);
    connect(this, &QPlainTextEdit::selectionChanged, this, &OutputPane::holdCaretAtEnd);
}

void OutputPane::appendText(const QString &text) {
    if (text.isEmpty())
        return;
    m_text += text;
    // The pane's own caret stands at the end and moves on with text inserted there; placing it
    // again after every reply would cost more than the insertion itself.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text, m_white);
    holdCaretAtEnd();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void OutputPane::clearText() {
    m_text.clear();
    clear();
}

void OutputPane::holdCaretAtEnd() {
    if (m_moving)
        return;
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection() && cursor.atEnd())
        return;
    m_moving = true;
    cursor.clearSelection();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    m_moving = false;
}

void OutputPane::mousePressEvent(QMouseEvent *event) {
    Q_EMIT mousePressed(event->buttons(), event->globalPosition().toPoint());
    event->accept();
    holdCaretAtEnd();
}

void OutputPane::mouseReleaseEvent(QMouseEvent *event) {
    Q_EMIT mouseReleased(event->button());
    event->accept();
}

void OutputPane::mouseDoubleClickEvent(QMouseEvent *event) {
    // A double click would select a word; the caret stays at the end instead.
    event->accept();
    holdCaretAtEnd();
}

void OutputPane::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
}

void OutputPane::keyPressEvent(QKeyEvent *event) {
    // Shift+F10 is the other key that opens a context menu.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        const QPoint centre = viewport()->rect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, centre,
                               viewport()->mapToGlobal(centre));
        contextMenuEvent(&menu);
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void OutputPane::contextMenuEvent(QContextMenuEvent *event) {
    // The right button opens the program's own menus (see mousePressed), not an edit menu; the
    // menu key and Shift+F10 do the same for the keyboard.
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard)
        Q_EMIT mousePressed(Qt::RightButton, viewport()->mapToGlobal(viewport()->rect().center()));
}
