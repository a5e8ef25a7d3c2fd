#include "hook/hookplugin.h"

#include "hook/tarrywatch.h"

QStringList HookPlugin::classNames() const {
    return {QStringLiteral("Dawdle.Tarrywatch")};
}

QWidget *HookPlugin::createControl(const QString &className, QWidget *parent) {
    if (className.compare(QLatin1String("Dawdle.Tarrywatch"), Qt::CaseInsensitive) != 0)
        return nullptr;
    return new Tarrywatch(parent);
}
