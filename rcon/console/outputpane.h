#pragma once

#include <QPlainTextEdit>

// The output pane `TxtGet`: the server's replies in white on a dark background. The caret is
// held at the end at all times, so new text always lands at the end and the pane follows the
// newest line; the user cannot leave a selection or a caret anywhere else.
//
// A day connected to a chatty server would fill the pane for ever: it keeps the newest lines
// up to a limit and drops the oldest from the top. The log never depends on what the pane still
// holds: what the pane is given is handed on, piece by piece, by takeUnlogged().
class OutputPane final : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int DefaultMaxLines = 20000;

    explicit OutputPane(QWidget *parent = nullptr);

    // The most lines the pane keeps, give or take a sixteenth; 0 keeps every line.
    void setMaxLines(int lines);
    int maxLines() const;

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
    // The text the pane holds (gathered text included), each line break as one LF.
    QString text() const;
    // What the pane was given since this was last called or the pane was emptied, exactly as
    // given, whether or not the pane still holds it.
    QString takeUnlogged();
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
    void trimToLimit();
    void insertAtEnd(const QString &text);

    QString m_unlogged;
    QString m_gathered;
    bool m_gathering = false;
    QString m_newestReply;
    int m_maxLines = DefaultMaxLines;
    bool m_following = true;
    QTextCharFormat m_white;
    bool m_moving = false;
};
