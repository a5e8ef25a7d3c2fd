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
    // Replies that come together (a burst of datagrams read in one turn of the event loop) are
    // gathered, then put into the document at once when the burst is over: text() has each at
    // once, the document lays out and scrolls once for the lot, not once per datagram. Nothing
    // is painted or read in between.
    void gather();
    void showGathered();
    // Empties the pane.
    void clearText();
    // The pane's whole text, exactly as inserted since it was last emptied.
    const QString &text() const { return m_text; }
    // The newest reply: the last text inserted that was more than a line break.
    QString newestReply() const;
    // While off, new text does not scroll the pane to its end (the user is looking at a found
    // line); turning it on again scrolls to the end.
    void setFollowing(bool following);
    // Scrolls the given position of the text into view, leaving the caret at the end.
    void showPosition(int position);

Q_SIGNALS:
    // A mouse button went down in the pane (Qt button bits).
    void mousePressed(Qt::MouseButtons buttons, const QPoint &globalPos);
    void mouseReleased(Qt::MouseButtons buttons);
    // The pane was emptied.
    void emptied();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void holdCaretAtEnd();
    void insertAtEnd(const QString &text);

    QString m_text;
    QString m_gathered;
    bool m_gathering = false;
    qsizetype m_replyFrom = 0;
    qsizetype m_replyTo = 0;
    bool m_following = true;
    QTextCharFormat m_white;
    bool m_moving = false;
};
