#include "echo/echoplugin.h"

#include "echo/initool.h"

QStringList EchoPlugin::classNames() const {
    return {QStringLiteral("Quirebox.INITool")};
}

QWidget *EchoPlugin::createControl(const QString &className, QWidget *parent) {
    if (className.compare(QLatin1String("Quirebox.INITool"), Qt::CaseInsensitive) != 0)
        return nullptr;
    return new INITool(parent);
}
