#pragma once

#include <QDialog>

class Program;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class XpButton;

// The Properties dialog "Rcon Properties": the three on/off options, stored as soon as a box is
// clicked, and the start-up defaults (server address and port, two automatic commands with
// their intervals), which take effect at the next start or disconnect, hence the offer to
// restart. It hosts the INI control `I1`, through which it reads and writes the settings file,
// and its load checks that file.
class FrmSetRcon final : public QDialog {
    Q_OBJECT
public:
    explicit FrmSetRcon(Program &program);
    ~FrmSetRcon() override;

    // The load steps: options, fields from the settings file, the settings-file check.
    void load();

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

    // True once an Apply or Clear button has run during this load of the dialog.
    bool SettingsChanged = false;

    void done(int result) override;

private:
    void buildControls();
    QString path() const;
    void write(const QString &text, const QString &section, const QString &key);
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

    Program &m_program;
    QString m_time1;
    QString m_time2;
    // Emptying a list is not a choice of the user and runs no reaction.
    bool m_emptying = false;
};
