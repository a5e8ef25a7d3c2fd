#include "rcon/servers/serverdialog.h"

#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/fonts.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

// Enter in the address field: a new line when adding (one server a line), submitting when
// editing the one server; Ctrl+Enter submits in both.
class AddressEnter final : public QObject {
public:
    AddressEnter(ServerDialog *dialog, bool multiLine)
        : QObject(dialog)
        , m_dialog(dialog)
        , m_multiLine(multiLine) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (!m_multiLine || key->modifiers() & Qt::ControlModifier)) {
            Q_EMIT m_dialog->submitted();
            return true;
        }
        return false;
    }

private:
    ServerDialog *m_dialog;
    bool m_multiLine;
};

} // namespace

ServerDialog::ServerDialog(Mode mode, const ButtonFactory &buttons, const QStringList &groups,
                           QWidget *parent)
    : QDialog(parent)
    , m_mode(mode)
    , m_addresses(new QPlainTextEdit(this))
    , m_label(new QLineEdit(this))
    , m_group(new QComboBox(this))
    , m_password(new QLineEdit(this))
    , m_keep(new QCheckBox(QStringLiteral("&Keep the password in the desktop keyring"), this))
    , m_problem(new QLabel(this))
    , m_ok(buttons.create(this, QStringLiteral("CmdOk"), QStringLiteral("OK")))
    , m_cancel(buttons.create(this, QStringLiteral("CmdCancel"), QStringLiteral("Cancel"))) {
    setObjectName(QStringLiteral("dlgServer"));
    setWindowTitle(mode == Mode::Add ? QStringLiteral("Add Servers")
                                     : QStringLiteral("Edit Server"));
    setFont(talvero::tahoma(8.25));

    m_addresses->setObjectName(QStringLiteral("TxtAddresses"));
    m_addresses->setAccessibleName(QStringLiteral("Address"));
    m_addresses->setTabChangesFocus(true);
    m_addresses->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_addresses->setPlaceholderText(mode == Mode::Add
                                        ? QStringLiteral("host or host:port, one server a line")
                                        : QStringLiteral("host or host:port"));
    m_addresses->setFixedHeight(mode == Mode::Add ? m_addresses->fontMetrics().height() * 5 + 12
                                                  : m_addresses->fontMetrics().height() + 12);
    m_addresses->installEventFilter(new AddressEnter(this, mode == Mode::Add));

    m_label->setObjectName(QStringLiteral("TxtLabel"));
    m_label->setAccessibleName(QStringLiteral("Label"));
    m_label->setPlaceholderText(QStringLiteral("optional: the server's own name is shown"));
    m_group->setObjectName(QStringLiteral("CboGroup"));
    m_group->setAccessibleName(QStringLiteral("Group"));
    m_group->setEditable(true);
    m_group->addItem(QString());
    m_group->addItems(groups);
    m_password->setObjectName(QStringLiteral("TxtPassword"));
    m_password->setAccessibleName(QStringLiteral("Rcon password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_keep->setObjectName(QStringLiteral("ChkKeepPassword"));
    m_keep->setChecked(true);
    m_problem->setObjectName(QStringLiteral("LblProblem"));
    m_problem->setTextFormat(Qt::PlainText);
    m_problem->setWordWrap(true);
    m_problem->setAccessibleName(QStringLiteral("Message"));
    m_problem->hide();
    m_ok->ButtonStyle(2);
    m_cancel->ButtonStyle(2);

    auto *form = new QFormLayout;
    auto labelled = [this, form](const QString &caption, QWidget *field) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    labelled(QStringLiteral("&Address:"), m_addresses);
    labelled(QStringLiteral("&Label:"), m_label);
    labelled(QStringLiteral("&Group:"), m_group);
    labelled(QStringLiteral("Rcon &password:"), m_password);
    form->addRow(QString(), m_keep);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_ok);
    buttonRow->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addLayout(buttonRow);
    setMinimumWidth(420);

    connect(m_ok, &XpButton::Click, this, &ServerDialog::submitted);
    connect(m_cancel, &XpButton::Click, this, &QDialog::reject);
    for (QLineEdit *field : {m_label, m_password})
        connect(field, &QLineEdit::returnPressed, this, &ServerDialog::submitted);
    connect(m_group->lineEdit(), &QLineEdit::returnPressed, this, &ServerDialog::submitted);
    m_addresses->setFocus();
}

QString ServerDialog::addresses() const {
    return m_addresses->toPlainText();
}

QString ServerDialog::label() const {
    return m_label->text().trimmed();
}

QString ServerDialog::group() const {
    return m_group->currentText().trimmed();
}

QString ServerDialog::password() const {
    return m_password->text();
}

bool ServerDialog::keepsPassword() const {
    return m_keep->isChecked();
}

void ServerDialog::setAddresses(const QString &text) {
    m_addresses->setPlainText(text);
    m_addresses->moveCursor(QTextCursor::End);
}

void ServerDialog::setLabel(const QString &label) {
    m_label->setText(label);
}

void ServerDialog::setGroup(const QString &group) {
    m_group->setCurrentText(group);
}

void ServerDialog::setPasswordKept(bool kept) {
    m_keep->setChecked(kept);
    m_password->setPlaceholderText(kept ? QStringLiteral("kept in the keyring; type to change it")
                                        : QString());
}

void ServerDialog::showProblem(const QString &text) {
    m_problem->setText(text);
    m_problem->setVisible(!text.isEmpty());
}

void ServerDialog::setBusy(bool busy) {
    for (QWidget *field :
         std::initializer_list<QWidget *>{m_addresses, m_label, m_group, m_password, m_keep, m_ok})
        field->setEnabled(!busy);
}

void ServerDialog::dropPassword() {
    m_password->clear();
    setPasswordKept(false);
}
