#include "rcon/console/outputpane.h"

#include "rcon/kit/fonts.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>

OutputPane::OutputPane(QWidget *parent)
    : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("TxtGet"));
    setAccessibleName(QStringLiteral("Server output"));
    // Server output is mostly plain Latin text: its lines are laid out without the shaping
    // engine, which is still used for a script that needs it (a player's name in Arabic).
    QFont font = talvero::consoleFont();
    font.setStyleStrategy(QFont::PreferNoShaping);
    setFont(font);
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
    setMaxLines(DefaultMaxLines);

    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &OutputPane::holdCaretAtEnd);
    connect(this, &QPlainTextEdit::selectionChanged, this, &OutputPane::holdCaretAtEnd);
}

void OutputPane::setMaxLines(int lines) {
    m_maxLines = qMax(0, lines);
    trimToLimit();
}

int OutputPane::maxLines() const {
    return m_maxLines;
}

void OutputPane::trimToLimit() {
    // Lines go from the top in batches, a sixteenth of the limit at a time, not one with every
    // reply: the layout then looks for its widest line again (every line of the pane) once per
    // batch rather than once per reply, which would make each reply cost the whole pane.
    const int excess = document()->blockCount() - m_maxLines;
    if (m_maxLines == 0 || excess <= qMax(1, m_maxLines / 16))
        return;
    // Placed by position inside an edit block: moving block by block would lay out every line
    // it passes.
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.setPosition(document()->findBlockByNumber(excess).position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    cursor.endEditBlock();
}

void OutputPane::appendText(const QString &text) {
    if (text.isEmpty())
        return;
    const bool onlyBreaks = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == QLatin1Char('\r') || c == QLatin1Char('\n');
    });
    if (!onlyBreaks)
        m_newestReply = text;
    m_unlogged += text;
    if (m_gathering)
        m_gathered += text;
    else
        insertAtEnd(text);
}

void OutputPane::gather() {
    m_gathering = true;
}

void OutputPane::showGathered() {
    m_gathering = false;
    if (!m_gathered.isEmpty())
        insertAtEnd(std::exchange(m_gathered, QString()));
}

void OutputPane::insertAtEnd(const QString &text) {
    // The pane's own caret stands at the end and moves on with text inserted there; placing it
    // again after every reply would cost more than the insertion itself.
    // Inside an edit block, placing the cursor and inserting leave the lines' layout to the
    // next paint: laying out the last line at once can make the document rescan every line
    // for the widest one, which costs the whole pane on every reply while the window is
    // hidden.
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text, m_white);
    cursor.endEditBlock();
    trimToLimit();
    holdCaretAtEnd();
    // A hidden pane (the windows in the notification area) follows when it is shown again.
    if (m_following && isVisible())
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void OutputPane::showEvent(QShowEvent *event) {
    QPlainTextEdit::showEvent(event);
    if (m_following)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void OutputPane::clearText() {
    m_unlogged.clear();
    m_gathered.clear();
    m_newestReply.clear();
    clear();
    Q_EMIT emptied();
}

QString OutputPane::text() const {
    QString gathered = m_gathered;
    gathered.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return toPlainText() + gathered;
}

QString OutputPane::takeUnlogged() {
    return std::exchange(m_unlogged, QString());
}

QString OutputPane::newestReply() const {
    QString reply = m_newestReply;
    reply.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    while (reply.endsWith(QLatin1Char('\n')))
        reply.chop(1);
    return reply;
}

void OutputPane::setFollowing(bool following) {
    m_following = following;
    if (following)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void OutputPane::showPosition(int position) {
    // The vertical scroll bar counts layout lines: find the line that holds the position and
    // put it in the middle of the view.
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid())
        return;
    int line = block.firstLineNumber();
    if (const QTextLayout *layout = block.layout(); layout && layout->lineCount() > 0) {
        const QTextLine inBlock = layout->lineForTextPosition(position - block.position());
        if (inBlock.isValid())
            line += inBlock.lineNumber();
    }
    const int visibleLines =
        std::max(1, viewport()->height() / std::max(1, fontMetrics().lineSpacing()));
    verticalScrollBar()->setValue(std::max(0, line - visibleLines / 2));
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
    // Placing the caret scrolls to it; while the user looks at a found line, the view stays.
    const int top = verticalScrollBar()->value();
    setTextCursor(cursor);
    if (!m_following)
        verticalScrollBar()->setValue(top);
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
