#include "rcon/console/frmlog.h"

#include "rcon/console/findbar.h"
#include "rcon/console/logfilewriter.h"
#include "rcon/console/outputpane.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/framepacer.h"
#include "rcon/kit/placekeeper.h"
#include "rcon/kit/windowsystem.h"
#include "rcon/settings/settingsstore.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QSettings>
#include <QShortcut>
#include <QSizeGrip>
#include <QVBoxLayout>

namespace {
// How many lines the pane keeps, from the options (group "Output", key "MaxLines"; 0 keeps
// every line).
int maxLinesOption(const QString &optionsFile) {
    const QSettings options(optionsFile, QSettings::IniFormat);
    bool ok = false;
    const int lines = options.value(QStringLiteral("Output/MaxLines")).toInt(&ok);
    return ok && lines >= 0 ? lines : OutputPane::DefaultMaxLines;
}
} // namespace

FrmLog::FrmLog(const SettingsStore &settings)
    // A tool window: the taskbar shows the program once, by its main window.
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("FrmLog"));
    setWindowTitle(QStringLiteral("Talvero - Output"));
    setAccessibleName(QStringLiteral("Talvero output window"));
    // Its designed size is the least it takes; larger is the user's choice (the size grip in
    // its corner, or Alt+Shift with the arrow keys).
    setMinimumSize(DesignedSize);
    resize(DesignedSize);
    // It comes and goes with the main window, which keeps the keyboard.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(false);
    // Replies can come faster than a screen shows them.
    new FramePacer(this);
    new PlaceKeeper(this);

    Label = new QLabel(QStringLiteral("Talvero -"), this);
    Label->setObjectName(QStringLiteral("Label"));
    Label->setFont(talvero::tahoma(8.25, true));
    LHost = new QLabel(QStringLiteral("Not Connected"), this);
    LHost->setObjectName(QStringLiteral("LHost"));
    LHost->setFont(talvero::tahoma(8.25, true));
    // No fixed name: a screen reader reads the label's text, which is the status, and hears of
    // each change.
    LHost->setAccessibleDescription(QStringLiteral("Connection status"));
    PicText = new QWidget(this);
    PicText->setObjectName(QStringLiteral("PicText"));
    TxtGet = new OutputPane(PicText);
    TxtGet->setMaxLines(maxLinesOption(settings.optionsFile()));

    auto *paneLayout = new QVBoxLayout(PicText);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->addWidget(TxtGet);

    // The status ends in a line break when connected; both labels keep to the top line.
    Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LHost->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *header = new QHBoxLayout;
    header->addWidget(Label, 0, Qt::AlignTop);
    header->addWidget(LHost, 1, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(6);
    layout->addLayout(header);
    layout->addWidget(PicText, 1);

    Grip = new QSizeGrip(this);
    Grip->setObjectName(QStringLiteral("Grip"));
    Grip->setToolTip(QStringLiteral("Drag to resize the output window (or Alt+Shift+arrow keys)"));
    const std::pair<int, QSize> steps[] = {{Qt::Key_Right, QSize(SizeStep, 0)},
                                           {Qt::Key_Left, QSize(-SizeStep, 0)},
                                           {Qt::Key_Down, QSize(0, SizeStep)},
                                           {Qt::Key_Up, QSize(0, -SizeStep)}};
    for (const auto &[key, step] : steps) {
        auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::SHIFT | key), this);
        connect(shortcut, &QShortcut::activated, this,
                [this, step = step] { resize((size() + step).expandedTo(minimumSize())); });
    }

    findBar = new FindBar(TxtGet, this);
    layout->addWidget(findBar);
    TxtGet->setToolTip(FindBar::keysHelp());
    TxtGet->setWhatsThis(FindBar::keysHelp());
    setWhatsThis(FindBar::keysHelp());
    // Whatever the pane holds after it was emptied is new to the log.
    connect(TxtGet, &OutputPane::emptied, this, &FrmLog::emptied);

    Label->installEventFilter(this);
    LHost->installEventFilter(this);
    connect(TxtGet, &OutputPane::mousePressed, this, &FrmLog::paneMousePressed);
    connect(TxtGet, &OutputPane::mouseReleased, this, [this](Qt::MouseButtons buttons) {
        if (buttons & Qt::LeftButton)
            PicText->setEnabled(true);
    });

    talvero::WindowSystem::setTranslucency(this, 0);
}

FrmLog::~FrmLog() = default;

void FrmLog::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    Grip->move(width() - Grip->width(), height() - Grip->height());
    Grip->raise();
}

void FrmLog::paintEvent(QPaintEvent *) {
    // The product artwork: the window's grey under a soft diagonal sheen and a thin frame,
    // since the window has no border of its own.
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xC0, 0xC0, 0xC0));
    QLinearGradient sheen(0, 0, width(), height());
    sheen.setColorAt(0.0, QColor(0x5A, 0x6E, 0x8C));
    sheen.setColorAt(0.55, QColor(0xA8, 0xB4, 0xC4));
    sheen.setColorAt(1.0, QColor(0xC0, 0xC0, 0xC0));
    painter.fillRect(rect(), sheen);
    painter.setPen(QColor(0x3A, 0x46, 0x5A));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void FrmLog::beginDrag(const QPoint &globalPos) {
    if (talvero::WindowSystem::beginWindowDrag(this))
        return;
    // The window system cannot move the window for us: follow the pointer ourselves.
    m_dragging = true;
    m_dragOffset = globalPos - frameGeometry().topLeft();
}

void FrmLog::mousePressEvent(QMouseEvent *event) {
    beginDrag(event->globalPosition().toPoint());
    event->accept();
}

void FrmLog::mouseMoveEvent(QMouseEvent *event) {
    if (m_dragging)
        move(event->globalPosition().toPoint() - m_dragOffset);
    event->accept();
}

void FrmLog::mouseReleaseEvent(QMouseEvent *event) {
    m_dragging = false;
    event->accept();
}

bool FrmLog::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Label || watched == LHost) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            mousePressEvent(static_cast<QMouseEvent *>(event));
            return true;
        case QEvent::MouseMove:
            mouseMoveEvent(static_cast<QMouseEvent *>(event));
            return true;
        case QEvent::MouseButtonRelease:
            mouseReleaseEvent(static_cast<QMouseEvent *>(event));
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrmLog::paneMousePressed(Qt::MouseButtons buttons, const QPoint &globalPos) {
    if (buttons & Qt::RightButton)
        emit menuRequested(globalPos);
}

void FrmLog::appendOutput(const QString &text) {
    TxtGet->appendText(text);
}

void FrmLog::clearOutput() {
    TxtGet->clearText();
}

void FrmLog::setStatus(const QString &text) {
    LHost->setText(text);
}

void FrmLog::beginBurst() {
    TxtGet->gather();
}

void FrmLog::endBurst() {
    TxtGet->showGathered();
}

QString FrmLog::takeUnlogged() {
    return TxtGet->takeUnlogged();
}

void FrmLog::closeEvent(QCloseEvent *event) {
    // The output window has no close box; the window system may still ask (Alt+F4). It goes
    // and comes with the main window, so it only hides.
    event->ignore();
}
