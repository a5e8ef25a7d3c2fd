#pragma once

#include "rcon/kit/platform.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>

// Stands in for the desktop in tests. Message boxes answer from a queue the test fills in
// advance and are recorded; a box with no queued answer fails the running test (instead of
// blocking it) and answers No/OK. Sounds, opened addresses, started programs and exits are
// only recorded.
class FakePlatform final : public Platform {
public:
    struct Box {
        Icon icon;
        Buttons buttons;
        QString text;
    };

    Answer messageBox(QWidget *parent, Icon icon, Buttons buttons, const QString &text) override;
    void playSound(const QString &path) override;
    bool openUrl(const QUrl &url) override;
    bool startProgram(const QString &path) override;
    void exitProcess(int code) override;

    // Answers for the next Yes/No boxes, in order. OK boxes need no answer.
    void queueAnswer(Answer answer) { m_answers.append(answer); }

    QList<Box> boxes;
    QStringList sounds;
    QList<QUrl> openedUrls;
    QStringList startedPrograms;
    QList<int> exitCodes;
    bool openUrlSucceeds = true;
    bool startProgramSucceeds = true;
    // Called with each box as it is shown, for a test that checks what holds at that moment.
    std::function<void(const Box &)> onBox;

private:
    QList<Answer> m_answers;
};
