#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// A long-interval timer control (class "Dawdle.Tarrywatch") as the main window holds it: the
// control is created by class name and called late-bound through its properties "Interval"
// and "Enabled" and its signal Timer(). A control that could not be created does nothing.
class LongTimer final : public QObject {
    Q_OBJECT
public:
    explicit LongTimer(QWidget *control, QObject *parent = nullptr);

    QWidget *control() const { return m_control; }
    void setInterval(qint32 milliseconds);
    qint32 interval() const;
    void setEnabled(bool enabled);
    bool isEnabled() const;

Q_SIGNALS:
    void Timer();

private:
    QPointer<QWidget> m_control;
};
