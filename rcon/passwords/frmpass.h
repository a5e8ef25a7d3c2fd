#pragma once

#include <QDialog>
#include <QStringList>

class Program;
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
    FrmPass(Program &program, QWidget *owner);
    ~FrmPass() override;

    // The open steps: the lists filled, the buttons styled.
    void load();
    // Shows the Password Manager modally over the main window; when it was left through
    // Properties, the Properties dialog follows, modally.
    static void showManager(Program &program);

    // Fills both lists and the current start-up choice from the file; empties the new value.
    void LoadPasswords();

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

    // The five slot values as last read, slot 1 first.
    const QStringList &slotValues() const { return m_slots; }

private:
    void buildControls();
    void applyStartupChoice();
    void applyToSlot();
    void clearAll();

    Program &m_program;
    QStringList m_slots;
    bool m_toProperties = false;
};
