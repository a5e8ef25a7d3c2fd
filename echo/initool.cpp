#include "echo/initool.h"

#include "echo/inifile.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QVBoxLayout>

namespace {

// The profile functions are handed a buffer of 254 characters.
constexpr int BufferSize = 254;

const QString NotFound = QStringLiteral("[NOT FOUND]");

// A sheet of an INI file with a folded corner, its section header in blue and key lines
// below, drawn in colours of the classic 16-colour palette.
QPixmap drawIcon(int extent) {
    QImage image(extent, extent, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const qreal unit = extent / 16.0;
    painter.scale(unit, unit);
    // One device pixel wide at either size.
    const QPen outline(QColor(0x00, 0x00, 0x00), 1.0 / unit);

    const QPolygonF sheet({{2.5, 0.5}, {10.5, 0.5}, {13.5, 3.5}, {13.5, 15.5}, {2.5, 15.5}});
    painter.setPen(outline);
    painter.setBrush(QColor(0xff, 0xff, 0xff));
    painter.drawPolygon(sheet);
    painter.setBrush(QColor(0xc0, 0xc0, 0xc0));
    painter.drawPolygon(QPolygonF({{10.5, 0.5}, {10.5, 3.5}, {13.5, 3.5}}));

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x00, 0x00, 0x80));
    painter.drawRect(QRectF(4, 2, 5, 2));
    for (int row = 0; row < 4; ++row) {
        const qreal y = 6 + row * 2.25;
        painter.setBrush(QColor(0x80, 0x80, 0x80));
        painter.drawRect(QRectF(4, y, 3, 1.25));
        painter.setBrush(QColor(0x00, 0x80, 0x00));
        painter.drawRect(QRectF(7.5, y, 1, 1.25));
        painter.setBrush(QColor(0x80, 0x00, 0x00));
        painter.drawRect(QRectF(9, y, 3 - (row % 2), 1.25));
    }
    painter.end();
    return QPixmap::fromImage(image);
}

} // namespace

INITool::INITool(QWidget *parent)
    : QWidget(parent)
    , Image1(new QLabel(this)) {
    m_icon.addPixmap(drawIcon(32));
    m_icon.addPixmap(drawIcon(16));
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    resize(sizeHint());
    showImage();
}

QSize INITool::sizeHint() const {
    return {32, 32};
}

void INITool::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    showImage();
}

void INITool::showImage() {
    Image1->setGeometry(rect());
    const int extent = qMin(width(), height()) <= 16 ? 16 : 32;
    Image1->setPixmap(m_icon.pixmap(extent, extent));
}

QString INITool::GetFromINI(const QString &SectionName, const QString &KeyName,
                            const QString &FileName) {
    return IniFile(FileName).readString(SectionName, KeyName, NotFound, BufferSize);
}

void INITool::WriteToINI(const QString &Text, const QString &SectionName, const QString &KeyName,
                         const QString &FileName) {
    IniFile(FileName).writeString(SectionName, KeyName, Text);
}

void INITool::WriteToINISection(const QString &Text, const QString &KeyName,
                                const QString &FileName) {
    IniFile(FileName).writeSection(KeyName, Text);
}

QString INITool::GetINISection(const QString &SectionName, const QString &FileName) {
    return IniFile(FileName).readSection(SectionName, BufferSize);
}

void INITool::AboutBox() {
    QDialog about(window());
    about.setObjectName(QStringLiteral("INIToolAbout"));
    about.setWindowTitle(QStringLiteral("About INITool"));
    about.setWindowModality(Qt::ApplicationModal);

    auto *picture = new QLabel(&about);
    picture->setPixmap(m_icon.pixmap(32, 32));
    picture->setAlignment(Qt::AlignTop);
    auto *text = new QLabel(&about);
    text->setObjectName(QStringLiteral("AboutText"));
    text->setText(QStringLiteral("<b>INITool</b> (Quirebox.INITool) version %1<br>"
                                 "Reads and writes keys and sections of INI files.")
                      .arg(QStringLiteral(ECHO_VERSION)));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);

    auto *row = new QHBoxLayout;
    row->addWidget(picture);
    row->addWidget(text, 1);
    auto *column = new QVBoxLayout(&about);
    column->addLayout(row);
    column->addWidget(buttons);
    about.setSizeGripEnabled(false);
    about.exec();
}
