#include "rcon/xpbutton/designer/xpbuttontaskmenufactory.h"

#include "rcon/xpbutton/designer/xpbuttontaskmenu.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QtDesigner/QDesignerTaskMenuExtension>

XpButtonTaskMenuFactory::XpButtonTaskMenuFactory(QExtensionManager *parent)
    : QExtensionFactory(parent) {}

QObject *XpButtonTaskMenuFactory::createExtension(QObject *object, const QString &iid,
                                                  QObject *parent) const {
    if (iid != Q_TYPEID(QDesignerTaskMenuExtension))
        return nullptr;
    if (auto *button = qobject_cast<XpButton *>(object))
        return new XpButtonTaskMenu(button, parent);
    return nullptr;
}
