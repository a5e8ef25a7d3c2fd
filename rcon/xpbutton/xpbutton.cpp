#include "rcon/xpbutton/xpbutton.h"

#include "rcon/kit/fonts.h"
#include "rcon/kit/platform.h"
#include "rcon/xpbutton/xpbuttonaccessible.h"
#include "rcon/xpbutton/xpbuttonpictures.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>

namespace {

const QRect CaptionArea(5, 3, 63, 17);
const QColor EnabledCaption(0, 0, 0);
const QColor DisabledCaption(0x80, 0x80, 0x80);

short buttonMask(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

short shiftMask(Qt::KeyboardModifiers modifiers) {
    short mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= 1;
    if (modifiers & Qt::ControlModifier)
        mask |= 2;
    if (modifiers & Qt::AltModifier)
        mask |= 4;
    return mask;
}

bool isClickKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

} // namespace

XpButton::XpButton(QWidget *parent)
    : QWidget(parent)
    , m_label(new QLabel(QStringLiteral("button"), this)) {
    XpButtonAccessible::install();
    setFixedSize(PictureWidth, PictureHeight);
    // Focus by Tab and by click, never by merely passing over: the pointer must not take the
    // focus away from a field the user is typing in.
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);

    m_label->setGeometry(CaptionArea);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setFont(talvero::tahoma(8.25));
    m_label->setTextFormat(Qt::PlainText);
    // The pointer is handled here, with the caption's area as the only live part.
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    // With the button as its buddy the label underlines the letter after "&" and owns the
    // Alt+letter shortcut, whose activation is caught in eventFilter() to click.
    m_label->setBuddy(this);
    m_label->installEventFilter(this);
    // The caption's own colours in every palette group, so the style cannot put its own
    // disabled text colour in place of the caption's grey. The label is disabled with the
    // button and so takes the disabled group's colour by itself.
    QPalette palette = m_label->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::WindowText, EnabledCaption);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, DisabledCaption);
    m_label->setPalette(palette);

    settle();
}

XpButton::~XpButton() = default;

bool XpButton::Enabled() const {
    return isEnabled();
}

void XpButton::setEnabledProperty(bool enabled) {
    setEnabled(enabled);
}

QString XpButton::Caption() const {
    return m_label->text();
}

void XpButton::setCaption(const QString &caption) {
    if (caption == m_label->text())
        return;
    m_label->setText(caption);
    QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
}

void XpButton::ButtonStyle(short style) {
    const XpButtonPictures *pictures = XpButtonPictures::forStyle(style);
    if (!pictures)
        return;
    m_pictures = pictures;
    resize(m_width, PictureHeight);
    // The new set starts from its normal picture; disabled, focus or pointer then decide.
    m_state = State::Normal;
    settle();
    update();
}

void XpButton::setClickSound(Platform *platform, const QString &soundPath) {
    m_platform = platform;
    m_soundPath = soundPath;
}

QPixmap XpButton::currentPicture() const {
    if (!m_pictures)
        return {};
    return QPixmap::fromImage(m_pictures->picture(m_state));
}

void XpButton::click(short shift) {
    if (!isEnabled())
        return;
    showPicture(State::Pressed);
    finishClick(1, shift, QRectF(QPointF(), captionArea().size()).center());
}

void XpButton::fitCaption() {
    // The caption's widest form (its "&" shows as an underline, not a letter) with the room the
    // pictures leave around it.
    const int room = PictureWidth - CaptionArea.width();
    const int text =
        m_label->fontMetrics().horizontalAdvance(QString(Caption()).remove(QLatin1Char('&')));
    m_width = qMax(PictureWidth, text + room + 8);
    setFixedSize(m_width, PictureHeight);
    m_label->setGeometry(captionArea());
    updateGeometry();
}

QRect XpButton::captionArea() const {
    return CaptionArea.adjusted(0, 0, m_width - PictureWidth, 0);
}

QSize XpButton::sizeHint() const {
    return {m_width, PictureHeight};
}

QSize XpButton::minimumSizeHint() const {
    return sizeHint();
}

bool XpButton::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_label && event->type() == QEvent::Shortcut) {
        const auto *shortcut = static_cast<QShortcutEvent *>(event);
        if (!isEnabled())
            return true;
        // Two buttons of one window with the same letter: the letter moves the focus between
        // them, as for Qt's own buttons, instead of clicking one at random.
        if (shortcut->isAmbiguous())
            setFocus(Qt::ShortcutFocusReason);
        else
            click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void XpButton::paintEvent(QPaintEvent *) {
    if (!m_pictures)
        return;
    QPainter painter(this);
    const QImage &picture = m_pictures->picture(m_state);
    if (m_width == PictureWidth) {
        painter.drawImage(0, 0, picture);
        return;
    }
    // The rounded ends as they are, the face between them stretched: its shading runs from top
    // to bottom, so it looks the same at any width.
    constexpr int End = 6;
    painter.drawImage(QRect(0, 0, End, PictureHeight), picture, QRect(0, 0, End, PictureHeight));
    painter.drawImage(QRect(End, 0, m_width - 2 * End, PictureHeight), picture,
                      QRect(End, 0, PictureWidth - 2 * End, PictureHeight));
    painter.drawImage(QRect(m_width - End, 0, End, PictureHeight), picture,
                      QRect(PictureWidth - End, 0, End, PictureHeight));
}

void XpButton::mousePressEvent(QMouseEvent *event) {
    if (!overCaption(event->position())) {
        event->ignore();
        return;
    }
    m_pointerOverCaption = true;
    m_captionButtons |= event->button();
    if (event->button() == Qt::LeftButton)
        showPicture(State::Pressed);
    event->accept();
}

void XpButton::mouseReleaseEvent(QMouseEvent *event) {
    const Qt::MouseButton released = event->button();
    const bool pressedOnCaption = m_captionButtons.testFlag(released);
    m_captionButtons &= ~released;
    m_pointerOverCaption = overCaption(event->position());
    if (!pressedOnCaption) {
        event->ignore();
        return;
    }
    event->accept();
    const short mask = buttonMask(released);
    if (!m_pointerOverCaption || mask == 0) {
        // Dragged off the caption before letting go: no click.
        if (released == Qt::LeftButton)
            settle();
        return;
    }
    const QPointF captionPos = event->position() - QPointF(captionArea().topLeft());
    const short shift = shiftMask(event->modifiers());
    if (released == Qt::LeftButton) {
        finishClick(mask, shift, captionPos);
        return;
    }
    // Any other button clicks without changing the picture.
    if (m_platform)
        m_platform->playSound(m_soundPath);
    Q_EMIT Click(mask, shift, float(captionPos.x()), float(captionPos.y()));
}

void XpButton::mouseMoveEvent(QMouseEvent *event) {
    m_pointerOverCaption = overCaption(event->position());
    if (m_captionButtons.testFlag(Qt::LeftButton)) {
        // A held button looks pressed only while the pointer is over the caption.
        if (m_pointerOverCaption)
            showPicture(State::Pressed);
        else
            settle();
        return;
    }
    settle();
}

void XpButton::enterEvent(QEnterEvent *event) {
    m_pointerOverCaption = overCaption(event->position());
    settle();
    QWidget::enterEvent(event);
}

void XpButton::leaveEvent(QEvent *event) {
    m_pointerOverCaption = false;
    if (!m_captionButtons.testFlag(Qt::LeftButton))
        settle();
    QWidget::leaveEvent(event);
}

void XpButton::focusInEvent(QFocusEvent *event) {
    settle();
    QWidget::focusInEvent(event);
}

void XpButton::focusOutEvent(QFocusEvent *event) {
    // Losing the focus lets go of anything held down.
    m_captionButtons &= ~Qt::LeftButton;
    m_heldKey = 0;
    settle();
    QWidget::focusOutEvent(event);
}

void XpButton::keyPressEvent(QKeyEvent *event) {
    if (!isClickKey(event->key())) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || m_heldKey != 0)
        return;
    m_heldKey = event->key();
    showPicture(State::Pressed);
}

void XpButton::keyReleaseEvent(QKeyEvent *event) {
    if (!isClickKey(event->key())) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || event->key() != m_heldKey)
        return;
    m_heldKey = 0;
    finishClick(1, shiftMask(event->modifiers()), QRectF(QPointF(), captionArea().size()).center());
}

void XpButton::changeEvent(QEvent *event) {
    if (event->type() == QEvent::EnabledChange) {
        // A disabled button hears nothing of the pointer, so what it knew is stale: a button
        // enabled again shows its normal picture until the pointer next moves over it.
        m_pointerOverCaption = false;
        m_captionButtons = {};
        m_heldKey = 0;
        settle();
    }
    QWidget::changeEvent(event);
}

void XpButton::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    // A container that forces another size (by lifting the fixed size first) is undone.
    if (size() != QSize(m_width, PictureHeight)) {
        setFixedSize(m_width, PictureHeight);
        resize(m_width, PictureHeight);
    }
}

bool XpButton::overCaption(const QPointF &pos) const {
    return QRectF(captionArea()).contains(pos);
}

void XpButton::showPicture(State state) {
    if (state == m_state)
        return;
    m_state = state;
    update();
}

void XpButton::settle() {
    if (!isEnabled())
        showPicture(State::Disabled);
    else if (m_heldKey != 0 || (m_captionButtons.testFlag(Qt::LeftButton) && m_pointerOverCaption))
        showPicture(State::Pressed);
    else
        showPicture(m_pointerOverCaption || hasFocus() ? State::Hover : State::Normal);
}

void XpButton::finishClick(short button, short shift, QPointF captionPos) {
    // The normal picture shows while the click is reported; afterwards the button settles on
    // hover again when the pointer is still over it or it keeps the focus.
    showPicture(State::Normal);
    if (m_platform)
        m_platform->playSound(m_soundPath);
    const QPointer<XpButton> alive(this);
    Q_EMIT Click(button, shift, float(captionPos.x()), float(captionPos.y()));
    if (alive)
        settle();
}
