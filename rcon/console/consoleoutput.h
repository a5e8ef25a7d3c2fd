#pragma once

class QString;
class QWidget;

// What the main window asks of the output window: the status line, the replies (a burst of
// them put into the pane at once when it is over), and what the pane was given since the log
// last took it. The output window belongs to the main window: it is hidden, shown and
// minimised with it.
class ConsoleOutput {
public:
    virtual ~ConsoleOutput() = default;

    virtual void setStatus(const QString &text) = 0;
    virtual void appendOutput(const QString &text) = 0;
    virtual void clearOutput() = 0;
    virtual void beginBurst() = 0;
    virtual void endBurst() = 0;
    virtual QString takeUnlogged() = 0;
    // The window itself.
    virtual QWidget *outputWindow() = 0;

protected:
    ConsoleOutput() = default;
    ConsoleOutput(const ConsoleOutput &) = default;
    ConsoleOutput &operator=(const ConsoleOutput &) = default;
};
