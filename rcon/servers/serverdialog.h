#pragma once

#include <QDialog>
#include <QStringList>

class ButtonFactory;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class XpButton;

// "Add..." and "Edit..." of the Servers window: the address (when adding, one server a line,
// to add many at once), an optional label and group, the rcon password and whether to keep it
// in the desktop keyring. It checks nothing itself: OK (or Enter in a one-line field) says
// submitted(), and the window either closes it or shows why not in its message line.
class ServerDialog final : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Add, Edit };

    ServerDialog(Mode mode, const ButtonFactory &buttons, const QStringList &groups,
                 QWidget *parent);

    Mode mode() const { return m_mode; }
    QString addresses() const;
    QString label() const;
    QString group() const;
    QString password() const;
    bool keepsPassword() const;

    void setAddresses(const QString &text);
    void setLabel(const QString &label);
    void setGroup(const QString &group);
    // Edit: whether a password is kept for the server now (the password field then stays empty
    // and leaves it as it is).
    void setPasswordKept(bool kept);

    // The reason the servers were not taken, in the message line; the field stays as typed.
    void showProblem(const QString &text);
    // While the keyring is being written: nothing can be changed or submitted.
    void setBusy(bool busy);
    // The keyring did not keep the password: it is taken out of the dialog, and not kept.
    void dropPassword();

Q_SIGNALS:
    void submitted();

private:
    Mode m_mode;
    QPlainTextEdit *m_addresses;
    QLineEdit *m_label;
    QComboBox *m_group;
    QLineEdit *m_password;
    QCheckBox *m_keep;
    QLabel *m_problem;
    XpButton *m_ok;
    XpButton *m_cancel;
};
