#include "rcon/serverlog/frmserverlog.h"

#include "common/savefile.h"
#include "rcon/console/mainconnection.h"
#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/framepacer.h"
#include "rcon/kit/placekeeper.h"
#include "rcon/kit/programicon.h"
#include "rcon/kit/windowplaces.h"
#include "rcon/protocol/logreceiver.h"
#include "rcon/protocol/rconcodec.h"
#include "rcon/protocol/serverlogcommands.h"
#include "rcon/serverlog/serverlogdelegate.h"
#include "rcon/serverlog/serverlogmodel.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QIntValidator>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString OptionsGroup = QStringLiteral("ServerLog");
const QString GeometryKey = QStringLiteral("Geometry");
const QString PortKey = QStringLiteral("Port");
const QString AddressKey = QStringLiteral("Address");
const QString HiddenKey = QStringLiteral("Hidden");

// A frame of a 60 Hz screen: lines wait at most this long before they are shown.
constexpr int FrameMs = 16;

QString defaultSaveFile() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return QDir(folder).filePath(
        QStringLiteral("server-log-%1.txt").arg(QDate::currentDate().toString(Qt::ISODate)));
}

} // namespace

FrmServerLog::FrmServerLog(MainConnection &connection, const SettingsStore &settings,
                           Platform &platform, const ButtonFactory &buttons)
    : QWidget(nullptr)
    , m_connection(connection)
    , m_settings(settings)
    , m_platform(platform)
    , m_session(new RconRequests([this] { return m_connection.endpoint(); }, this))
    , m_receiver(new LogReceiver(this))
    , m_model(new ServerLogModel(this))
    , m_chooseSaveFile([](QWidget *parent, const QString &suggested) {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Server Log"), suggested,
                                            QStringLiteral("Text files (*.txt);;All files (*)"));
    }) {
    setObjectName(QStringLiteral("frmServerLog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Server Log"));
    setWindowIcon(talvero::programIcon());
    setFont(talvero::tahoma(8.25));
    new PlaceKeeper(this);
    // A flood of lines is painted once a frame.
    new FramePacer(this);

    buildWidgets(buttons);

    QSettings options(m_settings.optionsFile(), QSettings::IniFormat);
    options.beginGroup(OptionsGroup);
    if (!restoreGeometry(options.value(GeometryKey).toByteArray()))
        resize(820, 480);
    const int port = options.value(PortKey, 0).toInt();
    if (port > 0 && port <= 65535)
        TxtPort->setText(QString::number(port));
    const QString address = options.value(AddressKey).toString();
    if (ServerLogCommands::isDottedIpv4(address))
        TxtAddress->setText(address);
    const QStringList hidden = options.value(HiddenKey).toStringList();
    options.endGroup();
    for (int i = 0; i < ServerLogLine::CategoryCount; ++i) {
        if (hidden.contains(ServerLogLine::categoryName(ServerLogLine::Category(i))))
            ChkCategory.at(i)->setChecked(false);
    }

    connect(m_session, &RconRequests::answered, this, &FrmServerLog::onAnswered);
    connect(m_session, &RconRequests::failed, this, &FrmServerLog::onFailed);
    connect(m_receiver, &LogReceiver::linesReceived, this, &FrmServerLog::onLines);
    connect(m_receiver, &LogReceiver::serverFound, this, &FrmServerLog::serverFound);
    connect(m_receiver, &LogReceiver::serverNotFound, this, &FrmServerLog::serverNotFound);
    connect(m_receiver, &LogReceiver::ignoredCountChanged, this, &FrmServerLog::showIgnored);
    const RconSession &main = m_connection.session();
    connect(&main, &RconSession::openChanged, this, [this](bool open) {
        if (!open) {
            leave();
            showMessage(QStringLiteral("Not connected."));
        }
    });
    // Connected again while the window is open: the log comes here again.
    connect(&main, &RconSession::replyReceived, this, [this](const RconReply &reply) {
        if (reply.kind == RconReply::Kind::Challenge && isVisible())
            start();
    });
}

FrmServerLog::~FrmServerLog() {
    // Also when the program unloads the window without closing it.
    leave();
    if (m_opened)
        saveOptions();
}

void FrmServerLog::buildWidgets(const ButtonFactory &buttons) {
    auto field = [this](const QString &name, const QString &accessibleName) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setAccessibleName(accessibleName);
        return edit;
    };
    TxtAddress = field(QStringLiteral("TxtAddress"), QStringLiteral("Address the server sends to"));
    TxtAddress->setMaxLength(15);
    TxtAddress->setToolTip(QStringLiteral(
        "The address the server sends its log to. Empty: this computer's address toward the "
        "server. Behind a router, type the public address and forward the port here."));
    TxtPort = field(QStringLiteral("TxtPort"), QStringLiteral("Port the log is received on"));
    TxtPort->setValidator(new QIntValidator(0, 65535, TxtPort));
    TxtPort->setPlaceholderText(QStringLiteral("any"));
    TxtPort->setToolTip(QStringLiteral("The port the log is received on. Empty: any free port."));
    TxtPort->setMaximumWidth(
        TxtPort->fontMetrics().horizontalAdvance(QStringLiteral("any, now 00000")) + 16);
    connect(TxtAddress, &QLineEdit::editingFinished, this, &FrmServerLog::onSettingsEdited);
    connect(TxtPort, &QLineEdit::editingFinished, this, &FrmServerLog::onSettingsEdited);

    auto button = [this, &buttons](const QString &name, const QString &caption) {
        return buttons.createStyled(this, name, caption);
    };
    CmdCopy = button(QStringLiteral("CmdCopy"), QStringLiteral("&Copy"));
    CmdSave = button(QStringLiteral("CmdSave"), QStringLiteral("&Save..."));
    CmdSay = button(QStringLiteral("CmdSay"), QStringLiteral("Sa&y"));

    auto *settings = new QHBoxLayout;
    auto *addressLabel = new QLabel(QStringLiteral("&Address:"), this);
    addressLabel->setBuddy(TxtAddress);
    auto *portLabel = new QLabel(QStringLiteral("&Port:"), this);
    portLabel->setBuddy(TxtPort);
    settings->addWidget(addressLabel);
    settings->addWidget(TxtAddress, 1);
    settings->addWidget(portLabel);
    settings->addWidget(TxtPort, 1);
    settings->addStretch(1);
    settings->addWidget(CmdCopy);
    settings->addWidget(CmdSave);

    auto *filters = new QHBoxLayout;
    for (int i = 0; i < ServerLogLine::CategoryCount; ++i) {
        const auto category = ServerLogLine::Category(i);
        const QString name = ServerLogLine::categoryName(category);
        auto *box = new QCheckBox(name, this);
        box->setObjectName(QStringLiteral("Chk") + name);
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this,
                [this, category](bool shown) { showFilter(category, shown); });
        filters->addWidget(box);
        ChkCategory.append(box);
    }
    filters->addStretch(1);

    LstLog = new QListView(this);
    LstLog->setObjectName(QStringLiteral("LstLog"));
    LstLog->setAccessibleName(QStringLiteral("Server log"));
    LstLog->setModel(m_model);
    LstLog->setItemDelegate(new ServerLogDelegate(LstLog));
    // One row height for all: a long list is laid out without measuring every line.
    LstLog->setUniformItemSizes(true);
    LstLog->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LstLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LstLog->setWordWrap(false);
    LstLog->setTextElideMode(Qt::ElideRight);
    LstLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QScrollBar *bar = LstLog->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (!m_adjusting)
            m_following = value >= bar->maximum();
    });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        // A resize or a relayout keeps the newest line in view while following.
        if (m_adjusting || !m_following)
            return;
        m_adjusting = true;
        bar->setValue(maximum);
        m_adjusting = false;
    });

    TxtSay = field(QStringLiteral("TxtSay"), QStringLiteral("Say to the players"));
    TxtSay->setMaxLength(190);
    TxtSay->setToolTip(QStringLiteral("Enter sends the text to every player as \"say\". A line "
                                      "with ; \" or a line break is not sent."));
    connect(TxtSay, &QLineEdit::returnPressed, this, &FrmServerLog::say);
    auto *sayRow = new QHBoxLayout;
    auto *sayLabel = new QLabel(QStringLiteral("Sa&y:"), this);
    sayLabel->setBuddy(TxtSay);
    sayRow->addWidget(sayLabel);
    sayRow->addWidget(TxtSay, 1);
    sayRow->addWidget(CmdSay);

    LblStatus = new QLabel(this);
    LblStatus->setObjectName(QStringLiteral("LblStatus"));
    LblIgnored = new QLabel(this);
    LblIgnored->setObjectName(QStringLiteral("LblIgnored"));
    LblIgnored->setToolTip(QStringLiteral(
        "Datagrams that came from another address than the server's, or were no log line"));
    for (QLabel *label : {LblStatus, LblIgnored}) {
        label->setTextFormat(Qt::PlainText);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    auto *status = new QHBoxLayout;
    status->addWidget(LblStatus, 1);
    status->addWidget(LblIgnored);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addLayout(filters);
    layout->addWidget(LstLog, 1);
    layout->addLayout(sayRow);
    layout->addLayout(status);

    ActCopy = new QAction(QStringLiteral("&Copy"), this);
    ActCopy->setObjectName(QStringLiteral("ActCopy"));
    ActCopy->setShortcut(QKeySequence::Copy);
    ActCopy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    LstLog->addAction(ActCopy);
    ActSave = new QAction(QStringLiteral("&Save..."), this);
    ActSave->setObjectName(QStringLiteral("ActSave"));
    ActSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addAction(ActSave);
    connect(ActCopy, &QAction::triggered, this, &FrmServerLog::copySelection);
    connect(ActSave, &QAction::triggered, this, &FrmServerLog::saveShown);
    connect(CmdCopy, &XpButton::Click, this, &FrmServerLog::copySelection);
    connect(CmdSave, &XpButton::Click, this, &FrmServerLog::saveShown);
    connect(CmdSay, &XpButton::Click, this, &FrmServerLog::say);

    showMessage(QStringLiteral("Not connected."));
    showIgnored(0);
}

void FrmServerLog::open() {
    m_opened = true;
    WindowPlaces::bringForward(this);
    start();
}

quint16 FrmServerLog::receivingPort() const {
    return m_receiver->localPort();
}

void FrmServerLog::start() {
    if (!m_connection.isConnected()) {
        showMessage(QStringLiteral("Not connected."));
        return;
    }
    if (m_started)
        return;
    m_started = true;
    const QString host = m_connection.session().host();
    if (m_receiver->findServer(host)) {
        serverFound(m_receiver->serverAddress());
        return;
    }
    showMessage(QStringLiteral("Looking up %1...").arg(host));
}

void FrmServerLog::serverNotFound(const QString &reason) {
    m_started = false;
    showMessage(QStringLiteral("The server's IPv4 address cannot be found: ") + reason);
}

void FrmServerLog::serverFound(const QHostAddress &server) {
    if (server.protocol() != QAbstractSocket::IPv4Protocol) {
        m_started = false;
        showMessage(QStringLiteral("The server's log can only be sent to an IPv4 address."));
        return;
    }
    m_receiver->setServerAddress(server);
    registerHere(true);
}

void FrmServerLog::registerHere(bool again) {
    const QHostAddress server = m_receiver->serverAddress();
    if (!m_started || server.isNull() || !m_connection.isConnected())
        return;

    const quint16 wantedPort = quint16(TxtPort->text().toUInt());
    if (!m_receiver->isBound() || (wantedPort != 0 && wantedPort != m_receiver->localPort())) {
        if (!m_receiver->bind(wantedPort)) {
            const QString reason = m_receiver->errorString();
            // Nothing is received any more: the server stops sending to the old port.
            if (m_registered) {
                if (const auto remove =
                        ServerLogCommands::removeAddress(m_registered->address, m_registered->port))
                    m_session->send(*remove);
                m_registered.reset();
            }
            showMessage(QStringLiteral("Port %1 cannot be used: %2").arg(wantedPort).arg(reason));
            return;
        }
    }
    TxtPort->setPlaceholderText(QStringLiteral("any, now %1").arg(m_receiver->localPort()));

    const QHostAddress found =
        LogReceiver::localAddressToward(server, quint16(m_connection.session().port()));
    if (!found.isNull())
        TxtAddress->setPlaceholderText(found.toString());
    const QString typed = TxtAddress->text().trimmed();
    if (!typed.isEmpty() && !ServerLogCommands::isDottedIpv4(typed)) {
        showMessage(QStringLiteral("The address must be an IPv4 address such as 203.0.113.5, or "
                                   "empty for this computer's own."));
        return;
    }
    const QString address = typed.isEmpty() ? found.toString() : typed;
    if (address.isEmpty()) {
        showMessage(QStringLiteral("There is no route to the server from this computer."));
        return;
    }

    const Registration wanted{address, m_receiver->localPort()};
    if (m_registered == wanted && !again)
        return;
    const std::optional<QString> add = ServerLogCommands::addAddress(address, wanted.port);
    if (!add) {
        showMessage(QStringLiteral("The log cannot be sent to %1.").arg(address));
        return;
    }
    if (m_registered && *m_registered != wanted) {
        if (const auto remove =
                ServerLogCommands::removeAddress(m_registered->address, m_registered->port))
            m_session->send(*remove);
    }
    m_registered = wanted;
    m_session->send(*add);
    showMessage(QStringLiteral("Asking the server to send its log to %1:%2...")
                    .arg(address)
                    .arg(wanted.port));
}

void FrmServerLog::leave() {
    m_receiver->stopFindingServer();
    if (m_registered) {
        // Sent now, not queued: the process may end as soon as this returns.
        if (const auto remove =
                ServerLogCommands::removeAddress(m_registered->address, m_registered->port))
            m_session->sendNow(*remove);
        m_registered.reset();
    }
    m_started = false;
    m_quietHint.stop();
    m_session->stop();
    m_receiver->close();
    flush();
}

void FrmServerLog::onSettingsEdited() {
    saveOptions();
    if (m_started)
        registerHere(false);
}

void FrmServerLog::onAnswered(const QString &command, const QString &text) {
    QString answer = RconCodec::displayText(text).trimmed();
    answer.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (command.startsWith(QLatin1String("say "))) {
        showMessage(QStringLiteral("Said to the players."));
        return;
    }
    if (answer.isEmpty())
        answer = QStringLiteral("The server carried out \"%1\".").arg(command);
    showMessage(answer);
    if (command.startsWith(QLatin1String("logaddress_add")) && m_registered)
        m_quietHint.start(m_quietHintMs, this);
}

void FrmServerLog::onFailed(const QString &command, RconRequests::Failure failure,
                            const QString &message) {
    if (command.startsWith(QLatin1String("logaddress_add"))) {
        // Without an answer the server may have taken the address after all: it is still told
        // to stop when the window goes.
        if (failure != RconRequests::Failure::NoAnswer)
            m_registered.reset();
        m_started = false;
        showMessage(message +
                    QStringLiteral(" The log is not coming; open the window again (Ctrl+G "
                                   "in the main window) to retry."));
        return;
    }
    showMessage(message);
}

void FrmServerLog::say() {
    const QString text = TxtSay->text().trimmed();
    if (text.isEmpty())
        return;
    if (!m_connection.isConnected()) {
        showMessage(QStringLiteral("Not connected."));
        return;
    }
    const std::optional<QString> command = ServerLogCommands::say(text);
    if (!command) {
        showMessage(ServerLogCommands::sayProblem(text));
        return;
    }
    m_session->send(*command);
    TxtSay->clear();
}

void FrmServerLog::onLines(const QList<ServerLogLine> &lines) {
    m_quietHint.stop();
    m_pending.append(lines);
    // More than the view keeps is never waiting either.
    if (m_pending.size() > ServerLogModel::MaxLines)
        m_pending.remove(0, m_pending.size() - ServerLogModel::MaxLines);
    if (!m_sinceFlush.isValid() || m_sinceFlush.elapsed() >= FrameMs) {
        flush();
        return;
    }
    if (!m_flushTimer.isActive())
        m_flushTimer.start(int(FrameMs - m_sinceFlush.elapsed()), Qt::PreciseTimer, this);
}

void FrmServerLog::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_flushTimer.timerId()) {
        flush();
        return;
    }
    if (event->timerId() == m_quietHint.timerId()) {
        m_quietHint.stop();
        // A server writes nothing to its log addresses while its logging is off; turning it on
        // is the admin's choice (it also writes log files on the server).
        if (m_registered)
            showMessage(QStringLiteral("No line has come yet. A server sends its log only while "
                                       "its logging is on: \"log on\" in the console turns it "
                                       "on."));
        return;
    }
    QWidget::timerEvent(event);
}

void FrmServerLog::flush() {
    m_flushTimer.stop();
    if (m_pending.isEmpty())
        return;
    m_sinceFlush.start();
    const QList<ServerLogLine> lines = std::exchange(m_pending, {});
    keepPlace([&] { m_model->append(lines); });
}

void FrmServerLog::keepPlace(const std::function<void()> &change) {
    // The line at the top of the view, found again after the change when the user is reading
    // older lines.
    qint64 topSerial = -1;
    int topRow = -1;
    if (!m_following) {
        const QModelIndex top = LstLog->indexAt(QPoint(1, 1));
        if (top.isValid()) {
            topRow = top.row();
            topSerial = m_model->serialAt(topRow);
        }
    }
    m_adjusting = true;
    change();
    if (m_following) {
        LstLog->scrollToBottom();
    } else if (topSerial >= 0) {
        const int row = m_model->rowAtOrAfter(topSerial);
        if (row != topRow)
            LstLog->scrollTo(m_model->index(std::max(row, 0)), QAbstractItemView::PositionAtTop);
    }
    m_adjusting = false;
}

void FrmServerLog::showFilter(ServerLogLine::Category category, bool shown) {
    flush();
    keepPlace([&] { m_model->setShown(category, shown); });
    saveOptions();
}

void FrmServerLog::copySelection() {
    QModelIndexList rows = LstLog->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    lines.reserve(rows.size());
    for (const QModelIndex &row : std::as_const(rows))
        lines.append(m_model->lineAt(row.row()).logText());
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    showMessage(rows.size() == 1 ? QStringLiteral("1 line copied.")
                                 : QStringLiteral("%1 lines copied.").arg(rows.size()));
}

bool FrmServerLog::saveShown() {
    flush();
    const QString path = m_chooseSaveFile(this, defaultSaveFile());
    if (path.isEmpty())
        return false;
    QByteArray bytes;
    const int rows = m_model->rowCount();
    for (int row = 0; row < rows; ++row)
        bytes += m_model->lineAt(row).logText().toUtf8() + '\n';
    QString error;
    if (!talvero::saveFileAtomically(path, bytes, talvero::SavePermissions::OwnerOnly, &error)) {
        showMessage(QStringLiteral("The log could not be saved to %1: %2")
                        .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    showMessage(
        QStringLiteral("%1 lines saved to %2").arg(rows).arg(QDir::toNativeSeparators(path)));
    return true;
}

void FrmServerLog::showMessage(const QString &text) {
    LblStatus->setText(text);
}

void FrmServerLog::showIgnored(qint64 count) {
    LblIgnored->setText(count == 1 ? QStringLiteral("1 datagram ignored")
                                   : QStringLiteral("%1 datagrams ignored").arg(count));
}

void FrmServerLog::saveOptions() const {
    QSettings options(m_settings.optionsFile(), QSettings::IniFormat);
    options.beginGroup(OptionsGroup);
    if (m_opened)
        options.setValue(GeometryKey, saveGeometry());
    options.setValue(PortKey, TxtPort->text().toInt());
    options.setValue(AddressKey, TxtAddress->text().trimmed());
    QStringList hidden;
    for (int i = 0; i < ServerLogLine::CategoryCount; ++i) {
        const auto category = ServerLogLine::Category(i);
        if (!m_model->isShown(category))
            hidden.append(ServerLogLine::categoryName(category));
    }
    options.setValue(HiddenKey, hidden);
    options.endGroup();
    options.sync();
}

void FrmServerLog::closeEvent(QCloseEvent *event) {
    saveOptions();
    leave();
    event->accept();
}
