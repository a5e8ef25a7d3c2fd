#pragma once

#include "rcon/kit/platform.h"

#include <QHash>
#include <QObject>

class QSoundEffect;

// The real desktop, through Qt.
class QtPlatform final : public QObject, public Platform {
    Q_OBJECT
public:
    explicit QtPlatform(QObject *parent = nullptr);
    ~QtPlatform() override;

    Answer messageBox(QWidget *parent, Icon icon, Buttons buttons, const QString &text) override;
    void playSound(const QString &path) override;
    bool openUrl(const QUrl &url) override;
    bool startProgram(const QString &path) override;
    void exitProcess(int code) override;

private:
    // A sound effect must outlive its playback, so each file keeps one.
    QHash<QString, QSoundEffect *> m_sounds;
};
