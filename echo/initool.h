#pragma once

#include <QWidget>

class INITool final : public QWidget {
    Q_OBJECT
public:
    explicit INITool(QWidget *parent = nullptr);
    Q_INVOKABLE QString GetFromINI(const QString &SectionName, const QString &KeyName,
                                   const QString &FileName);
};
