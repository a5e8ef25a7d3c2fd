#pragma once

#include <QPlainTextEdit>

// The output pane `TxtGet`: the server's replies in white on a dark background. The caret is
// held at the end at all times, so new text always lands at the end and the pane follows the
// newest line; the user cannot leave a selection or a caret anywhere else.
//
// The pane keeps a copy of its whole text as it was inserted (line breaks as given), which is
// what the log writer is handed after each reply: reading it back from the document would cost
// time proportional to the pane on every reply.
class OutputPane final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit OutputPane(QWidget *parent = nullptr);

    // Inserts the text at the end in white.
    void appendText(const QString &text);
    // Empties the pane.
    void clearText();
    // The pane's whole text, exactly as inserted since it was last emptied.
    const QString &text() const { return m_text; }

Q_SIGNALS:
    // A mouse button went down in the pane (Qt button bits).
    void mousePressed(Qt::MouseButtons buttons, const QPoint &globalPos);
    void mouseReleased(Qt::MouseButtons buttons);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void holdCaretAtEnd();

    QString m_text;
    QTextCharFormat m_white;
    bool m_moving = false;
};
