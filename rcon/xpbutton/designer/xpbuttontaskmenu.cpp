#include "rcon/xpbutton/designer/xpbuttontaskmenu.h"

#include "rcon/xpbutton/styles.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtDesigner/QDesignerFormWindowCursorInterface>
#include <QtDesigner/QDesignerFormWindowInterface>

namespace {

void writeCaptionThroughForm(QObject *target, const QString &caption) {
    auto *widget = qobject_cast<QWidget *>(target);
    QDesignerFormWindowInterface *form =
        widget ? QDesignerFormWindowInterface::findFormWindow(widget) : nullptr;
    if (form && form->cursor())
        form->cursor()->setWidgetProperty(widget, QStringLiteral("Caption"), caption);
    else
        target->setProperty("Caption", caption);
}

} // namespace

XpButtonTaskMenu::XpButtonTaskMenu(QWidget *button, QObject *parent)
    : QObject(parent)
    , m_button(button)
    , m_editCaption(new QAction(QStringLiteral("Edit Caption..."), this)) {
    connect(m_editCaption, &QAction::triggered, this, &XpButtonTaskMenu::editCaption);
}

QAction *XpButtonTaskMenu::preferredEditAction() const {
    return m_editCaption;
}

QList<QAction *> XpButtonTaskMenu::taskActions() const {
    return {m_editCaption};
}

void XpButtonTaskMenu::editCaption() {
    if (!m_button)
        return;
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    auto *dialog = new QDialog(m_button->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Styles"));

    auto *page = new Styles(dialog);
    page->setCaptionWriter(writeCaptionThroughForm);
    page->setSelection({m_button.data()});

    auto *buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, dialog);
    QPushButton *apply = buttons->button(QDialogButtonBox::Apply);
    apply->setEnabled(false);
    connect(page, &Styles::changedStateChanged, apply, &QPushButton::setEnabled);
    connect(apply, &QPushButton::clicked, page, &Styles::apply);
    connect(buttons, &QDialogButtonBox::accepted, dialog, [page, dialog] {
        if (page->isChanged())
            page->apply();
        dialog->accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(page);
    layout->addWidget(buttons);

    m_dialog = dialog;
    dialog->open();
}
