#pragma once

#include <QDialog>

class ButtonFactory;
class ControlHost;
class MainConnection;
class Platform;
class ProgramFiles;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class SettingsStore;
class XpButton;

// The Properties dialog "Rcon Properties": the three on/off options, stored as soon as a box is
// clicked, and the start-up defaults (server address and port, two automatic commands with
// their intervals), which take effect at the next start or disconnect, hence the offer to
// restart. It hosts the INI control `I1`, through which it reads and writes the settings file,
// and its load checks that file. Restarting, ending the program and opening the Password
// Manager are the program's to do: the dialog asks for them.
class FrmSetRcon final : public QDialog {
    Q_OBJECT
public:
    FrmSetRcon(const ProgramFiles &files, const SettingsStore &settings, MainConnection &connection,
               Platform &platform, ControlHost &controls, const ButtonFactory &buttons);
    ~FrmSetRcon() override;

    // The load steps: options, fields from the settings file, the settings-file check. False
    // when the settings file is damaged: the dialog has said so and asked for the end.
    bool load();

    // True once an Apply or Clear button has run during this load of the dialog.
    bool settingsChanged() const { return SettingsChanged; }

Q_SIGNALS:
    // Passwords: the dialog has closed, and the Password Manager (behind its prompt) is wanted.
    void passwordManagerRequested();
    // The user agreed to restart now.
    void restartRequested();
    // The settings file is damaged: the program is to end.
    void exitRequested();

private:
    void buildControls(const ButtonFactory &buttons);
    // Shows the interval whose milliseconds text is given, or none.
    static void showInterval(QComboBox *list, const QString &milliseconds);
    static void showCaption(QComboBox *list, const QString &caption);
    void emptyList(QComboBox *list);
    bool askRestart();
    void txtcommandChanged(const QString &text);
    void txtcommand2Changed(const QString &text);
    void applyAddress();
    void clearAddress();
    void applyCommands();
    void clearCommands();
    void clearAll();
    void closeClicked();
    void passwordsClicked();

    QString m_settingsFile;
    const SettingsStore &m_settings;
    MainConnection &m_connection;
    Platform &m_platform;
    QWidget *I1 = nullptr; // the INI control (class "Quirebox.INITool")
    QCheckBox *CSendToTray = nullptr;
    QCheckBox *CLog = nullptr;
    QCheckBox *ChkAskPM = nullptr;
    QLineEdit *txtcommand = nullptr;
    QComboBox *CTime = nullptr;
    QLineEdit *txtcommand2 = nullptr;
    QComboBox *CTime2 = nullptr;
    XpButton *CmdApp = nullptr;
    XpButton *CmdClear2 = nullptr;
    QLineEdit *txtIP = nullptr;
    QLineEdit *txtPort = nullptr;
    XpButton *Cmd1 = nullptr;
    XpButton *CmdClear = nullptr;
    XpButton *CmdClearAll = nullptr;
    XpButton *CmdClose = nullptr;
    XpButton *CmdPasswords = nullptr;
    XpButton *CmdHelp = nullptr;
    bool SettingsChanged = false;
    QString m_time1;
    QString m_time2;
    // Emptying a list is not a choice of the user and runs no reaction.
    bool m_emptying = false;
};
