#include "hook/tarrywatch.h"

Tarrywatch::Tarrywatch(QWidget *parent)
    : QWidget(parent) {}
