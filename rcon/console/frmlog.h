#pragma once

#include <QPoint>
#include <QWidget>

class FindBar;
class OutputPane;
class Program;
class QLabel;
class QSizeGrip;

// The borderless output window beside the main window: the title, the connection status
// `LHost` and the output pane `TxtGet`. It has no title bar, so the user moves it by dragging
// its background or its labels; a right click in the pane opens the main window's menus.
class FrmLog final : public QWidget {
    Q_OBJECT
public:
    explicit FrmLog(Program &program);
    ~FrmLog() override;

    // What the main window does with the output.
    // Appends text to the pane, in white.
    void appendOutput(const QString &text);
    // Empties the pane.
    void clearOutput();
    // The connection's status beside the title.
    void setStatus(const QString &text);
    // Replies read in one turn of the event loop go into the pane together, at the end.
    void beginBurst();
    void endBurst();
    // What the pane was given since this was last called or the pane was emptied (for the log).
    QString takeUnlogged();

    QLabel *Label = nullptr;
    QLabel *LHost = nullptr;
    QWidget *PicText = nullptr;
    OutputPane *TxtGet = nullptr;
    QSizeGrip *Grip = nullptr;

    static constexpr QSize DesignedSize{468, 270};
    static constexpr int SizeStep = 16; // pixels per key press when resizing from the keyboard
    // Finding and copying in the pane (Ctrl+F, Ctrl+C, Ctrl+Shift+C, Ctrl+L).
    FindBar *findBar = nullptr;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void beginDrag(const QPoint &globalPos);
    void paneMousePressed(Qt::MouseButtons buttons, const QPoint &globalPos);

    Program &m_program;
    // Where a drag that the window system does not carry out itself started.
    bool m_dragging = false;
    QPoint m_dragOffset;
};
