#include "hook/tarrywatch.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QResizeEvent>
#include <QtMath>

#include <limits>

namespace {
const QString IntervalKey = QStringLiteral("Interval");
const QString EnabledKey = QStringLiteral("Enabled");

// A clock face showing ten past ten, on the button-face grey of the host's forms.
QPixmap clockIcon() {
    const int side = Tarrywatch::Side;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(QColor(0xc0, 0xc0, 0xc0));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(side / 2.0, side / 2.0);
    const qreal radius = side / 2.0 - 2.5;

    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 2.0));
    painter.setBrush(QColor(0xff, 0xff, 0xf0));
    painter.drawEllipse(centre, radius, radius);

    painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.0));
    for (int hour = 0; hour < 12; ++hour) {
        const qreal angle = qDegreesToRadians(hour * 30.0);
        const qreal inner = hour % 3 == 0 ? radius - 4.5 : radius - 2.5;
        const QPointF direction(qSin(angle), -qCos(angle));
        painter.drawLine(centre + direction * inner, centre + direction * (radius - 1.0));
    }

    auto hand = [&](qreal degrees, qreal length, const QPen &pen) {
        const qreal angle = qDegreesToRadians(degrees);
        painter.setPen(pen);
        painter.drawLine(centre, centre + QPointF(qSin(angle), -qCos(angle)) * length);
    };
    hand(305.0, radius * 0.55, QPen(Qt::black, 2.0, Qt::SolidLine, Qt::RoundCap));
    hand(60.0, radius * 0.8, QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xc0, 0x00, 0x00));
    painter.drawEllipse(centre, 1.5, 1.5);
    painter.end();
    // The icon is a 24-bit bitmap.
    return QPixmap::fromImage(image.convertToFormat(QImage::Format_RGB888));
}

// A stored interval that is no 32-bit whole number is treated as absent.
qint32 storedInterval(const QVariantMap &bag) {
    const QVariant value = bag.value(IntervalKey);
    if (!value.isValid())
        return 0;
    bool ok = false;
    const qlonglong ms = value.toLongLong(&ok);
    if (!ok || ms < std::numeric_limits<qint32>::min() || ms > std::numeric_limits<qint32>::max())
        return 0;
    return static_cast<qint32>(ms);
}
} // namespace

Tarrywatch::Tarrywatch(QWidget *parent)
    : QWidget(parent)
    , m_tmrCount(this)
    , m_counter(m_tmrCount, this)
    , m_picIcon(new QLabel(this)) {
    m_tmrCount.setObjectName(QStringLiteral("tmrCount"));
    connect(&m_tmrCount, &PeriodTimer::elapsed, &m_counter, &TarryCounter::tick);
    connect(&m_counter, &TarryCounter::Timer, this, &Tarrywatch::Timer);

    m_picIcon->setObjectName(QStringLiteral("picIcon"));
    m_picIcon->setPixmap(clockIcon());
    m_picIcon->setGeometry(0, 0, Side, Side);
    // Minimum and maximum alike: whatever size the host asks for, the control stays this size.
    setFixedSize(Side, Side);
}

void Tarrywatch::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    // A host that lifts the size limits before resizing is undone too.
    if (size() != QSize(Side, Side)) {
        setFixedSize(Side, Side);
        resize(Side, Side);
    }
}

void Tarrywatch::setInterval(qint32 ms) {
    const qint32 oldInterval = Interval();
    m_counter.setInterval(ms);
    notifyChanges(oldInterval, Enabled());
}

void Tarrywatch::setEnabledProperty(bool on) {
    const bool oldEnabled = Enabled();
    m_counter.setEnabled(on);
    notifyChanges(Interval(), oldEnabled);
}

void Tarrywatch::ReadProperties(const QVariantMap &bag, bool userMode) {
    const qint32 oldInterval = Interval();
    const bool oldEnabled = Enabled();
    m_counter.load(storedInterval(bag), bag.value(EnabledKey, false).toBool(), userMode);
    notifyChanges(oldInterval, oldEnabled);
}

QVariantMap Tarrywatch::WriteProperties() const {
    QVariantMap bag;
    if (Interval() != 0)
        bag.insert(IntervalKey, Interval());
    if (Enabled())
        bag.insert(EnabledKey, true);
    return bag;
}

void Tarrywatch::notifyChanges(qint32 oldInterval, bool oldEnabled) {
    const bool intervalChanged = Interval() != oldInterval;
    const bool enabledChanged = Enabled() != oldEnabled;
    const QPointer<Tarrywatch> alive(this);
    if (intervalChanged)
        Q_EMIT IntervalChanged();
    if (alive && enabledChanged)
        Q_EMIT EnabledChanged();
}
