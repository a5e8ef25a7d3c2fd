#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QtDesigner/QDesignerTaskMenuExtension>

class QAction;

// "Edit Caption..." on an XpButton's context menu in Qt Designer: opens the Styles page for
// that button in a small dialog. Applying it sets the caption through the form, so the change
// can be undone and is saved with the form.
class XpButtonTaskMenu final : public QObject, public QDesignerTaskMenuExtension {
    Q_OBJECT
    Q_INTERFACES(QDesignerTaskMenuExtension)
public:
    XpButtonTaskMenu(QWidget *button, QObject *parent = nullptr);

    QAction *preferredEditAction() const override;
    QList<QAction *> taskActions() const override;

    // The dialog opened by the last "Edit Caption...", while it is open.
    QDialog *dialog() const { return m_dialog; }

private:
    void editCaption();

    QPointer<QWidget> m_button;
    QAction *m_editCaption;
    QPointer<QDialog> m_dialog;
};
