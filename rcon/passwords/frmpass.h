#pragma once

#include "rcon/passwords/passwordfile.h"

#include <QDialog>
#include <QStringList>

class ButtonFactory;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class XpButton;

// "Rcon Password Manager": the five server-password slots of the password file and the start-up
// choice, the password the main window's password box receives at start-up. Every action writes
// the file at once. Slots are found by the value they hold, so equal slots are one target: the
// lowest of them.
class FrmPass final : public QDialog {
    Q_OBJECT
public:
    FrmPass(PasswordFile passwords, const ButtonFactory &buttons, QWidget *owner);
    ~FrmPass() override;

    // The open steps: the lists filled, the buttons styled.
    void load();

    // Fills both lists and the current start-up choice from the file; empties the new value.
    void LoadPasswords();

    // The five slot values as last read, slot 1 first.
    const QStringList &slotValues() const { return m_slots; }
    // The dialog was left through Properties: the Properties dialog is to follow.
    bool leftForProperties() const { return m_toProperties; }

Q_SIGNALS:
    // The start-up choice was applied: the main connection's password is now this (as stored).
    void startupChoiceApplied(const QString &password);

private:
    void buildControls(const ButtonFactory &buttons);
    void applyStartupChoice();
    void applyToSlot();
    void clearAll();

    PasswordFile m_passwords;
    QGroupBox *Frame1 = nullptr; // "Password Startup Selector"
    QComboBox *CUse = nullptr;
    XpButton *CmdApply = nullptr;
    QLabel *lPass = nullptr;
    QGroupBox *Frame2 = nullptr; // "Password Manager"
    QComboBox *CPass = nullptr;
    QLineEdit *TPass = nullptr;
    XpButton *CmdChange = nullptr;
    XpButton *CmdClearAll = nullptr;
    XpButton *CmdClose = nullptr;
    XpButton *CmdProp = nullptr;
    XpButton *CmdHelp = nullptr;
    QStringList m_slots;
    bool m_toProperties = false;
};
