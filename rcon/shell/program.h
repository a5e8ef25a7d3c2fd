#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class ControlHost;
class Platform;
class QWidget;

// The running program: where its files lie, the desktop it talks to, its program-wide values
// and its windows. Main creates one and hands it to every window; there are no hidden globals,
// so a test can build a whole fresh program in a temporary folder.
class Program final : public QObject {
    Q_OBJECT
public:
    // programDir: the folder of the running executable, which holds every file the program
    // reads or writes. optionsFile: where the per-user on/off options are kept.
    Program(QString programDir, QString optionsFile, Platform &platform, QObject *parent = nullptr);
    ~Program() override;

    const QString &programDir() const { return m_programDir; }
    // A file of the program folder by its fixed name ("talvero.ini", "password", ...).
    QString filePath(const QString &fileName) const;
    const QString &optionsFile() const { return m_optionsFile; }
    Platform &platform() const { return m_platform; }
    ControlHost &controls() const { return *m_controls; }

    // Plays one of the program's sounds ("welcome.wav", ...) from the program folder.
    void playSound(const QString &fileName) const;

    // Program-wide values, named as the rest of the program knows them.
    QString ChallengeText; // the challenge last parsed from the server; survives a disconnect
    bool IsConnected = false;
    bool LogToFile = false;
    QString AutoCommand1;
    QString AutoCommand2;
    qint32 AutoInterval1 = 0;
    qint32 AutoInterval2 = 0;

    // The main window; until the full window set is built it is a plain window titled
    // "Talvero". Created on first reference.
    QWidget *mainWindow();
    // Unloads every window and ends the process.
    void ExitProgram();

private:
    QString m_programDir;
    QString m_optionsFile;
    Platform &m_platform;
    std::unique_ptr<ControlHost> m_controls;
    QPointer<QWidget> m_mainWindow;
    bool m_exiting = false;
};
