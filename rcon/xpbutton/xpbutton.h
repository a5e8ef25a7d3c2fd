#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

class Platform;
class QLabel;
class XpButtonPictures;

// The push button of every window: a fixed 73 x 21 picture in the look of the XP theme buttons
// with a caption on top. Each state shows its own picture, drawn once per style and kept, so a
// state change only swaps which picture is shown. Only the caption area reacts to the pointer.
class XpButton final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabledProperty)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
public:
    enum class State { Normal = 1, Hover = 2, Pressed = 3, Disabled = 4 };
    Q_ENUM(State)

    static constexpr int PictureWidth = 73;
    static constexpr int PictureHeight = 21;

    explicit XpButton(QWidget *parent = nullptr);
    ~XpButton() override;

    // The same as QWidget's enabled state; plain setEnabled() refreshes the look as well.
    bool Enabled() const;
    void setEnabledProperty(bool enabled);

    // "&" underlines the next letter, and Alt with that letter clicks the button.
    QString Caption() const;
    void setCaption(const QString &caption);

    // 0 blue, 1 olive, 2 silver; any other value changes nothing. Until the first call the
    // button shows no picture, only its caption.
    Q_INVOKABLE void ButtonStyle(short style);

    // The click sound, played through the platform on every click. The platform must outlive
    // the button; null plays nothing.
    void setClickSound(Platform *platform, const QString &soundPath);

    State state() const { return m_state; }
    // The picture shown; null before ButtonStyle.
    QPixmap currentPicture() const;

    // Clicks the button as the keyboard does: pressed picture, normal picture, sound, then
    // Click with the left-button mask and the caption's centre as position.
    void click(short shift = 0);

    // As wide as a caption needs, never narrower than the pictures' 73 pixels: for windows
    // whose captions are longer than the program's own windows have. The pictures' face is
    // stretched between their ends.
    void fitCaption();
    int buttonWidth() const { return m_width; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // A mouse button released over the caption (or a keyboard click): the button mask (1 left,
    // 2 right, 4 middle), the modifier mask (1 Shift, 2 Ctrl, 4 Alt) and the position in
    // pixels relative to the caption's top left corner.
    void Click(short button, short shift, float x, float y);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QRect captionArea() const;
    bool overCaption(const QPointF &pos) const;
    void showPicture(State state);
    // Shows the picture that fits what the button knows: enabled, held down, pointer over the
    // caption, keyboard focus; and colours the caption to match.
    void settle();
    void finishClick(short button, short shift, QPointF captionPos);

    QLabel *m_label = nullptr;
    const XpButtonPictures *m_pictures = nullptr;
    State m_state = State::Normal;
    int m_width = PictureWidth;
    Platform *m_platform = nullptr;
    QString m_soundPath;
    bool m_pointerOverCaption = false;
    // The mouse buttons pressed while over the caption; only their release can click.
    Qt::MouseButtons m_captionButtons;
    // The key (Enter or Space) holding the button down, 0 when none.
    int m_heldKey = 0;
};
