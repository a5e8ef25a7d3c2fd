#pragma once

#include <QByteArray>

#include <optional>

struct editline;
struct history;

// The interactive prompt: libedit's line editing (Emacs keys, ~/.editrc) on standard input,
// the prompt on standard error so that standard output holds nothing but replies, and a
// history of this run's commands on Up and Down. Ctrl+C while a line is typed ends the program
// with the terminal put back as it was.
class LineEditor final {
public:
    LineEditor(const char *programName, const QByteArray &prompt);
    ~LineEditor();
    LineEditor(const LineEditor &) = delete;
    LineEditor &operator=(const LineEditor &) = delete;

    // The next line as typed, without its line break; nothing at the end of input (Ctrl+D).
    std::optional<QByteArray> readLine();
    void addToHistory(const QByteArray &line);

private:
    static char *promptOf(editline *editor);
    // Without libedit (it could not start): the prompt, and the line read as it comes.
    std::optional<QByteArray> plainLine();

    editline *m_editor;
    history *m_history;
    QByteArray m_prompt;
};
