#pragma once

#include <QtDesigner/QExtensionFactory>

// Gives every XpButton on a Designer form its "Edit Caption..." task menu.
class XpButtonTaskMenuFactory final : public QExtensionFactory {
    Q_OBJECT
public:
    explicit XpButtonTaskMenuFactory(QExtensionManager *parent = nullptr);

protected:
    QObject *createExtension(QObject *object, const QString &iid, QObject *parent) const override;
};
