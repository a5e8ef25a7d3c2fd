#include "echo/initool.h"

INITool::INITool(QWidget *parent)
    : QWidget(parent) {}

QString INITool::GetFromINI(const QString &, const QString &, const QString &) {
    return QStringLiteral("[NOT FOUND]");
}
