// Draws every button style in every state onto one PNG, real buttons driven by real events,
// once at their true size and once magnified, for checking the pictures by eye.
//   QT_QPA_PLATFORM=offscreen xpbutton_sheet [file.png]
#include "rcon/kit/fonts.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTextStream>

namespace {

const QPointF CaptionCentre(36, 11);

void hover(XpButton *button) {
    QMouseEvent move(QEvent::MouseMove, CaptionCentre, button->mapToGlobal(CaptionCentre),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &move);
}

void press(XpButton *button) {
    QMouseEvent down(QEvent::MouseButtonPress, CaptionCentre, button->mapToGlobal(CaptionCentre),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &down);
}

QWidget *buildSheet(const QColor &background) {
    auto *sheet = new QWidget;
    QPalette palette = sheet->palette();
    palette.setColor(QPalette::Window, background);
    sheet->setPalette(palette);
    sheet->setAutoFillBackground(true);
    sheet->setFont(talvero::tahoma(8.25));

    auto *grid = new QGridLayout(sheet);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    const QStringList states{QStringLiteral("Normal"), QStringLiteral("Hover"),
                             QStringLiteral("Pressed"), QStringLiteral("Disabled")};
    const QStringList styles{QStringLiteral("0 blue"), QStringLiteral("1 olive"),
                             QStringLiteral("2 silver")};
    for (int column = 0; column < states.size(); ++column)
        grid->addWidget(new QLabel(states[column]), 0, column + 1, Qt::AlignCenter);
    for (int row = 0; row < styles.size(); ++row) {
        grid->addWidget(new QLabel(styles[row]), row + 1, 0);
        for (int column = 0; column < states.size(); ++column) {
            auto *button = new XpButton;
            button->setCaption(QStringLiteral("&Connect"));
            button->ButtonStyle(short(row));
            grid->addWidget(button, row + 1, column + 1);
        }
    }
    sheet->adjustSize();
    sheet->show();
    for (int row = 0; row < styles.size(); ++row) {
        hover(qobject_cast<XpButton *>(grid->itemAtPosition(row + 1, 2)->widget()));
        press(qobject_cast<XpButton *>(grid->itemAtPosition(row + 1, 3)->widget()));
        grid->itemAtPosition(row + 1, 4)->widget()->setEnabled(false);
    }
    return sheet;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    talvero::registerApplicationFonts();
    const QString target =
        argc > 1 ? QString::fromLocal8Bit(argv[1])
                 : QCoreApplication::applicationDirPath() + QStringLiteral("/xpbutton-sheet.png");

    // The windows' own background and plain white, to see the rounded corners on both.
    QList<QImage> parts;
    for (const QColor &background : {QColor(236, 233, 216), QColor(Qt::white)}) {
        QWidget *sheet = buildSheet(background);
        parts.append(sheet->grab().toImage());
        delete sheet;
    }
    const QImage &first = parts.first();
    const int magnify = 4;
    const QImage large =
        first.scaled(first.size() * magnify, Qt::IgnoreAspectRatio, Qt::FastTransformation);

    QImage out(large.width(), first.height() + parts.last().height() + large.height(),
               QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.drawImage(0, 0, first);
    painter.drawImage(0, first.height(), parts.last());
    painter.drawImage(0, first.height() + parts.last().height(), large);
    painter.end();

    if (!out.save(target)) {
        QTextStream(stderr) << "xpbutton_sheet: cannot write " << target << '\n';
        return 1;
    }
    QTextStream(stdout) << target << '\n';
    return 0;
}
