#pragma once

#include "rcon/kit/controlfactory.h"

#include <QObject>

// The control library "Quirebox": holds the class Quirebox.INITool.
class EchoPlugin final : public QObject, public ControlFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ControlFactory_iid FILE "echo.json")
    Q_INTERFACES(ControlFactory)
public:
    QStringList classNames() const override;
    QWidget *createControl(const QString &className, QWidget *parent) override;
};
