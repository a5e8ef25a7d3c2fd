#include "rcon/passwords/frmpass.h"

#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/programicon.h"
#include "rcon/passwords/passwordfile.h"
#include "rcon/settings/iniaccess.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <utility>

namespace {
QLabel *wrappedLabel(const QString &text, QWidget *parent, QWidget *buddy = nullptr) {
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

QComboBox *passwordList(const QString &name, const QString &accessibleName, QWidget *parent) {
    auto *list = new QComboBox(parent);
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    // The text can be typed as well as chosen; typing never adds to the list.
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setMinimumContentsLength(18);
    return list;
}
} // namespace

FrmPass::FrmPass(PasswordFile passwords, const ButtonFactory &buttons, QWidget *owner)
    : QDialog(owner)
    , m_passwords(std::move(passwords)) {
    setObjectName(QStringLiteral("FrmPass"));
    setWindowTitle(QStringLiteral("Rcon Password Manager"));
    setWindowIcon(talvero::programIcon());
    setFont(talvero::tahoma(8.25));
    setModal(true);
    buildControls(buttons);
}

FrmPass::~FrmPass() = default;

void FrmPass::buildControls(const ButtonFactory &buttons) {
    auto makeButton = [this, &buttons](const QString &name, const QString &caption) {
        return buttons.create(this, name, caption);
    };

    Frame1 = new QGroupBox(QStringLiteral("Password Startup Selector"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    CUse = passwordList(QStringLiteral("CUse"), QStringLiteral("Start-up password"), Frame1);
    CmdApply = makeButton(QStringLiteral("CmdApply"), QStringLiteral("Apply"));
    CmdApply->setParent(Frame1);
    CmdApply->setAccessibleName(QStringLiteral("Apply start-up password"));
    lPass = new QLabel(Frame1);
    lPass->setObjectName(QStringLiteral("lPass"));
    auto *current = new QLabel(QStringLiteral("Current password is:"), Frame1);
    current->setBuddy(CUse);
    auto *startup = new QGridLayout(Frame1);
    startup->addWidget(CUse, 0, 0);
    startup->addWidget(CmdApply, 0, 1);
    startup->addWidget(current, 1, 0, 1, 2);
    startup->addWidget(lPass, 2, 0, 1, 2);
    startup->addWidget(
        wrappedLabel(QStringLiteral("Select the password you wish to use when Talvero Starts. "
                                    "Leave it blank to enter you password every time it starts."),
                     Frame1, CUse),
        3, 0, 1, 2);
    lPass->setAccessibleName(QStringLiteral("Current password"));

    Frame2 = new QGroupBox(QStringLiteral("Password Manager"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    CPass = passwordList(QStringLiteral("CPass"), QStringLiteral("Password to manage"), Frame2);
    TPass = new QLineEdit(Frame2);
    TPass->setObjectName(QStringLiteral("TPass"));
    TPass->setAccessibleName(QStringLiteral("New password"));
    CmdChange = makeButton(QStringLiteral("CmdChange"), QStringLiteral("Apply"));
    CmdChange->setParent(Frame2);
    CmdChange->setAccessibleName(QStringLiteral("Apply new password"));
    CmdClearAll = makeButton(QStringLiteral("CmdClearAll"), QStringLiteral("Clear All"));
    CmdClearAll->setParent(Frame2);
    auto *manage = new QGridLayout(Frame2);
    manage->addWidget(
        wrappedLabel(QStringLiteral("Select the Rcon password(s) that you want to manage."), Frame2,
                     CPass),
        0, 0, 1, 2);
    manage->addWidget(CPass, 1, 0);
    manage->addWidget(
        wrappedLabel(QStringLiteral("Enter your new password then click Apply."), Frame2, TPass), 2,
        0, 1, 2);
    manage->addWidget(TPass, 3, 0);
    manage->addWidget(CmdChange, 3, 1);
    manage->addWidget(CmdClearAll, 4, 1);

    CmdClose = makeButton(QStringLiteral("CmdClose"), QStringLiteral("&Close"));
    CmdProp = makeButton(QStringLiteral("CmdProp"), QStringLiteral("Properties"));
    CmdHelp = makeButton(QStringLiteral("CmdHelp"), QStringLiteral("Help"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    for (XpButton *button : {CmdHelp, CmdProp, CmdClose})
        bottom->addWidget(button);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(CUse, CmdApply);
    setTabOrder(CmdApply, CPass);
    setTabOrder(CPass, TPass);
    setTabOrder(TPass, CmdChange);
    setTabOrder(CmdChange, CmdClearAll);
    setTabOrder(CmdClearAll, CmdHelp);
    setTabOrder(CmdHelp, CmdProp);
    setTabOrder(CmdProp, CmdClose);

    // Choosing a slot puts its value up for editing.
    connect(CPass, &QComboBox::activated, this, [this] { TPass->setText(CPass->currentText()); });
    connect(CmdApply, &XpButton::Click, this, &FrmPass::applyStartupChoice);
    connect(CmdChange, &XpButton::Click, this, &FrmPass::applyToSlot);
    connect(CmdClearAll, &XpButton::Click, this, &FrmPass::clearAll);
    connect(CmdClose, &XpButton::Click, this, &QDialog::reject);
    connect(CmdProp, &XpButton::Click, this, [this] {
        m_toProperties = true;
        reject();
    });
    // Help has no action.
}

void FrmPass::load() {
    LoadPasswords();
    for (XpButton *button : {CmdHelp, CmdClose, CmdChange, CmdClearAll, CmdApply, CmdProp})
        button->ButtonStyle(2);
}

void FrmPass::LoadPasswords() {
    CPass->clear();
    CUse->clear();
    TPass->clear();
    QStringList values(PasswordFile::SlotCount, QString(IniAccess::NotFound));
    QString current = IniAccess::NotFound;
    m_passwords.access([&] {
        for (qsizetype i = 0; i < values.size(); ++i)
            values[i] = m_passwords.slot(int(i));
        current = m_passwords.startupChoice();
    });
    m_slots = values;
    lPass->setText(current);
    CPass->addItems(m_slots);
    CUse->addItems(m_slots);
    CPass->setCurrentText(m_slots.first());
    CUse->setCurrentText(current);
}

void FrmPass::applyStartupChoice() {
    const QString choice = CUse->currentText();
    QString stored;
    const bool done = m_passwords.access([&] {
        m_passwords.setStartupChoice(choice);
        stored = m_passwords.startupChoice();
    });
    if (!done)
        return;
    lPass->setText(stored);
    // As stored: a choice of "No Password" is turned into an empty box only at start-up.
    emit startupChoiceApplied(stored);
}

void FrmPass::applyToSlot() {
    const qsizetype slot = m_slots.indexOf(CPass->currentText());
    if (slot < 0)
        return;
    m_passwords.setSlot(int(slot), TPass->text());
    LoadPasswords();
}

void FrmPass::clearAll() {
    m_passwords.access([&] {
        for (int slot = 0; slot < PasswordFile::SlotCount; ++slot)
            m_passwords.setSlot(slot, QString(PasswordFile::NoPassword));
    });
    LoadPasswords();
}
