#pragma once

#include "rcon/console/consoleoutput.h"

#include <QPoint>
#include <QWidget>

class FindBar;
class OutputPane;
class QLabel;
class QSizeGrip;
class SettingsStore;

// The borderless output window beside the main window: the title, the connection status
// `LHost` and the output pane `TxtGet`. It has no title bar, so the user moves it by dragging
// its background or its labels; a right click in the pane asks for the main window's menus.
class FrmLog final : public QWidget, public ConsoleOutput {
    Q_OBJECT
public:
    // settings: where the pane's line limit is kept.
    explicit FrmLog(const SettingsStore &settings);
    ~FrmLog() override;

    // What the main window does with the output.
    // Appends text to the pane, in white.
    void appendOutput(const QString &text) override;
    // Empties the pane.
    void clearOutput() override;
    // The connection's status beside the title.
    void setStatus(const QString &text) override;
    // Replies read in one turn of the event loop go into the pane together, at the end.
    void beginBurst() override;
    void endBurst() override;
    // What the pane was given since this was last called or the pane was emptied (for the log).
    QString takeUnlogged() override;
    QWidget *outputWindow() override { return this; }

    static constexpr QSize DesignedSize{468, 270};
    static constexpr int SizeStep = 16; // pixels per key press when resizing from the keyboard

Q_SIGNALS:
    // A right click or the menu key in the pane: the main window's menus are wanted there.
    void menuRequested(const QPoint &globalPos);
    // The pane was emptied (by the user, or by a disconnect).
    void emptied();

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

    QLabel *Label = nullptr;
    QLabel *LHost = nullptr;
    QWidget *PicText = nullptr;
    OutputPane *TxtGet = nullptr;
    QSizeGrip *Grip = nullptr;
    // Finding and copying in the pane (Ctrl+F, Ctrl+C, Ctrl+Shift+C, Ctrl+L).
    FindBar *findBar = nullptr;
    // Where a drag that the window system does not carry out itself started.
    bool m_dragging = false;
    QPoint m_dragOffset;
};
