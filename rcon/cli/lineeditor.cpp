#include "rcon/cli/lineeditor.h"

#include <histedit.h>

#include <cstdio>
#include <cstdlib>

namespace {
constexpr int HistorySize = 500;
}

LineEditor::LineEditor(const char *programName, const QByteArray &prompt)
    : m_editor(el_init(programName, stdin, stderr, stderr))
    , m_history(history_init())
    , m_prompt(prompt) {
    if (!m_editor || !m_history)
        return;
    HistEvent event;
    history(m_history, &event, H_SETSIZE, HistorySize);
    history(m_history, &event, H_SETUNIQUE, 1);
    el_set(m_editor, EL_CLIENTDATA, this);
    el_set(m_editor, EL_PROMPT, &LineEditor::promptOf);
    el_set(m_editor, EL_EDITOR, "emacs");
    // libedit's own handlers put the terminal back before a signal ends the program.
    el_set(m_editor, EL_SIGNAL, 1);
    el_set(m_editor, EL_HIST, history, m_history);
    el_source(m_editor, nullptr);
}

LineEditor::~LineEditor() {
    if (m_editor)
        el_end(m_editor);
    if (m_history)
        history_end(m_history);
}

std::optional<QByteArray> LineEditor::readLine() {
    if (!m_editor || !m_history)
        return plainLine();
    int count = 0;
    const char *line = el_gets(m_editor, &count);
    if (!line || count <= 0)
        return std::nullopt;
    QByteArray text(line, count);
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

std::optional<QByteArray> LineEditor::plainLine() {
    std::fputs(m_prompt.constData(), stderr);
    std::fflush(stderr);
    char *buffer = nullptr;
    size_t capacity = 0;
    const ssize_t length = getline(&buffer, &capacity, stdin);
    std::optional<QByteArray> line;
    if (length >= 0)
        line = QByteArray(buffer, length).chopped(buffer[length - 1] == '\n' ? 1 : 0);
    std::free(buffer);
    return line;
}

void LineEditor::addToHistory(const QByteArray &line) {
    if (!m_history)
        return;
    HistEvent event;
    history(m_history, &event, H_ENTER, line.constData());
}

char *LineEditor::promptOf(editline *editor) {
    void *data = nullptr;
    el_get(editor, EL_CLIENTDATA, &data);
    return static_cast<LineEditor *>(data)->m_prompt.data();
}
