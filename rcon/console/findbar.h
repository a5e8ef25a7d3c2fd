#pragma once

#include <QList>
#include <QTimer>
#include <QWidget>

class OutputPane;
class QLabel;
class QLineEdit;
class QToolButton;

// The output window's keys for getting text out of the pane, and the find bar at its bottom.
// The pane keeps its caret at the end: matches are shown as highlights, and the pane scrolls
// to the current one without any selection. Keys, in the pane:
//   Ctrl+C, Ctrl+Insert  copy the whole output      Ctrl+Shift+C  copy the newest reply
//   Ctrl+F               open the find bar          Ctrl+L        clear the pane (not the log)
// and in the find bar: Enter / F3 next match, Shift+Enter / Shift+F3 previous, Ctrl+Shift+L
// copy the line of the current match, Escape close (the pane follows the newest line again).
class FindBar final : public QWidget {
    Q_OBJECT
public:
    // Most matches highlighted at once; the count goes on beyond it.
    static constexpr int MaxHighlighted = 2000;

    FindBar(OutputPane *pane, QWidget *parent);

    // Shows the bar with the focus in its field, the field's text selected.
    void openBar();
    void closeBar();
    void findNext();
    void findPrevious();
    // Copies the whole line of the current match.
    void copyLine();

    int matchCount() const { return int(m_matches.size()); }
    // The current match (0 based), -1 when there is none.
    int currentMatch() const { return m_current; }
    // Where each match starts in the pane's text.
    const QList<int> &matches() const { return m_matches; }

    static QString keysHelp();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool paneKey(QKeyEvent *event);
    bool barKey(QKeyEvent *event);
    void search();
    void step(int by);
    void showCurrent();

    OutputPane *m_pane;
    QLineEdit *txtFind = nullptr;
    QLabel *LCount = nullptr;
    QToolButton *CmdPrevious = nullptr;
    QToolButton *CmdNext = nullptr;
    QToolButton *CmdCopyLine = nullptr;
    QToolButton *CmdCloseFind = nullptr;
    QList<int> m_matches;
    int m_current = -1;
    // Replies arriving while the bar is open are searched a moment later, together.
    QTimer m_researchSoon;
};
