#pragma once

#include <QWidget>

class Tarrywatch final : public QWidget {
    Q_OBJECT
public:
    explicit Tarrywatch(QWidget *parent = nullptr);
};
