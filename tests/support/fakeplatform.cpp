#include "tests/support/fakeplatform.h"

#include <QTest>

Platform::Answer FakePlatform::messageBox(QWidget *, Icon icon, Buttons buttons,
                                          const QString &text) {
    boxes.append({icon, buttons, text});
    if (onBox)
        onBox(boxes.last());
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (m_answers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: ") + text), __FILE__,
                     __LINE__);
        return Answer::No;
    }
    return m_answers.takeFirst();
}

void FakePlatform::playSound(const QString &path) {
    sounds.append(path);
}

bool FakePlatform::openUrl(const QUrl &url) {
    openedUrls.append(url);
    return openUrlSucceeds;
}

bool FakePlatform::startProgram(const QString &path) {
    startedPrograms.append(path);
    return startProgramSucceeds;
}

void FakePlatform::exitProcess(int code) {
    exitCodes.append(code);
}
