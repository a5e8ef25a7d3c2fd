#include "rcon/xpbutton/styles.h"

#include "rcon/kit/fonts.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QVariant>

namespace {

const char *const CaptionProperty = "Caption";

void setCaptionProperty(QObject *target, const QString &caption) {
    target->setProperty(CaptionProperty, caption);
}

} // namespace

Styles::Styles(QWidget *parent)
    : QWidget(parent)
    , m_writer(setCaptionProperty) {
    setWindowTitle(QStringLiteral("Styles"));
    setFont(talvero::tahoma(8.25));

    auto *frame = new QGroupBox(QStringLiteral("Caption"), this);
    auto *prompt = new QLabel(QStringLiteral("Enter the buttons Caption"), frame);
    txtCaption = new QLineEdit(frame);
    txtCaption->setObjectName(QStringLiteral("txtCaption"));
    prompt->setBuddy(txtCaption);

    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(prompt);
    frameLayout->addWidget(txtCaption);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addStretch();

    connect(txtCaption, &QLineEdit::textEdited, this, [this] { setChanged(true); });
}

void Styles::setSelection(const QList<QObject *> &objects) {
    m_selection.clear();
    for (QObject *object : objects)
        m_selection.append(object);
    const QObject *first = objects.isEmpty() ? nullptr : objects.first();
    txtCaption->setText(first ? first->property(CaptionProperty).toString() : QString());
    txtCaption->setEnabled(first != nullptr);
    setChanged(false);
}

void Styles::setCaptionWriter(CaptionWriter writer) {
    m_writer = writer ? std::move(writer) : CaptionWriter(setCaptionProperty);
}

void Styles::apply() {
    // A first object deleted since it was selected is skipped, not replaced by the next one.
    if (m_selection.isEmpty() || !m_selection.first())
        return;
    m_writer(m_selection.first(), txtCaption->text());
    setChanged(false);
}

void Styles::setChanged(bool changed) {
    if (changed == m_changed)
        return;
    m_changed = changed;
    Q_EMIT changedStateChanged(changed);
}
