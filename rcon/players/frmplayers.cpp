#include "rcon/players/frmplayers.h"

#include "rcon/console/mainconnection.h"
#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/placekeeper.h"
#include "rcon/kit/platform.h"
#include "rcon/kit/programicon.h"
#include "rcon/kit/windowplaces.h"
#include "rcon/players/playercelldelegate.h"
#include "rcon/players/playertablemodel.h"
#include "rcon/protocol/playercommands.h"
#include "rcon/protocol/statusparser.h"
#include "rcon/settings/settingsstore.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTime>
#include <QVBoxLayout>

namespace {

const QString StatusCommand = QStringLiteral("status");
const QString MapsCommand = QStringLiteral("maps *");
const QString OptionsGroup = QStringLiteral("Players");
const QString GeometryKey = QStringLiteral("Geometry");

QString lengthText(int minutes) {
    switch (minutes) {
    case 0:
        return QStringLiteral("Permanently");
    case 5:
        return QStringLiteral("5 minutes");
    case 60:
        return QStringLiteral("1 hour");
    case 1440:
        return QStringLiteral("1 day");
    default:
        return QStringLiteral("%1 minutes").arg(minutes);
    }
}

QString forHowLong(int minutes) {
    return minutes == 0 ? QStringLiteral("permanently")
                        : QStringLiteral("for ") + lengthText(minutes);
}

// A confirmation: the question, then the player on a line of its own. A name can hold
// anything; after a line break it is never taken for markup by the message box.
QString aboutPlayer(const QString &question, const PlayerRow &player) {
    return question + QStringLiteral("\n\n\"%1\" (user id %2)").arg(player.name).arg(player.userId);
}

} // namespace

FrmPlayers::FrmPlayers(MainConnection &connection, const SettingsStore &settings,
                       Platform &platform, const ButtonFactory &buttons)
    : QWidget(nullptr)
    , m_connection(connection)
    , m_settings(settings)
    , m_platform(platform)
    , m_session(new RconRequests([this] { return m_connection.endpoint(); }, this))
    , m_model(new PlayerTableModel(this))
    , m_sorted(new QSortFilterProxyModel(this)) {
    setObjectName(QStringLiteral("frmPlayers"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Players"));
    setWindowIcon(talvero::programIcon());
    setFont(talvero::tahoma(8.25));
    new PlaceKeeper(this);

    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(PlayerTableModel::SortRole);
    m_sorted->setSortCaseSensitivity(Qt::CaseInsensitive);

    buildWidgets(buttons);
    buildActions();

    m_refreshTimer.setInterval(RefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &FrmPlayers::requestStatus);
    connect(m_session, &RconRequests::answered, this, &FrmPlayers::onAnswered);
    connect(m_session, &RconRequests::failed, this, &FrmPlayers::onFailed);
    const RconSession &main = m_connection.session();
    connect(&main, &RconSession::openChanged, this, [this](bool open) {
        if (!open)
            mainDisconnected();
    });
    // Connected again while the window is open: it picks up where it stopped.
    connect(&main, &RconSession::replyReceived, this, [this](const RconReply &reply) {
        if (reply.kind == RconReply::Kind::Challenge && isVisible())
            refresh();
    });

    QSettings options(m_settings.optionsFile(), QSettings::IniFormat);
    options.beginGroup(OptionsGroup);
    if (!restoreGeometry(options.value(GeometryKey).toByteArray()))
        resize(780, 460);
    updateActions();
}

FrmPlayers::~FrmPlayers() {
    // Also when the program unloads the window without closing it.
    if (m_opened)
        saveGeometryToOptions();
    m_session->stop();
}

void FrmPlayers::buildWidgets(const ButtonFactory &buttons) {
    auto label = [this](const QString &name) {
        auto *item = new QLabel(this);
        item->setObjectName(name);
        item->setTextFormat(Qt::PlainText);
        return item;
    };
    LblHost = label(QStringLiteral("LblHost"));
    QFont bold = LblHost->font();
    bold.setBold(true);
    LblHost->setFont(bold);
    LblMap = label(QStringLiteral("LblMap"));
    LblPlayers = label(QStringLiteral("LblPlayers"));
    LblStatus = label(QStringLiteral("LblStatus"));
    LblStatus->setFrameShape(QFrame::StyledPanel);
    LblStatus->setFrameShadow(QFrame::Sunken);
    LblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);

    TblPlayers = new QTableView(this);
    TblPlayers->setObjectName(QStringLiteral("TblPlayers"));
    TblPlayers->setModel(m_sorted);
    TblPlayers->setItemDelegate(new PlayerCellDelegate(TblPlayers));
    TblPlayers->setSortingEnabled(true);
    TblPlayers->sortByColumn(PlayerTableModel::UserId, Qt::AscendingOrder);
    TblPlayers->setSelectionBehavior(QAbstractItemView::SelectRows);
    TblPlayers->setSelectionMode(QAbstractItemView::SingleSelection);
    TblPlayers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TblPlayers->setAlternatingRowColors(true);
    TblPlayers->setWordWrap(false);
    TblPlayers->setContextMenuPolicy(Qt::CustomContextMenu);
    TblPlayers->verticalHeader()->hide();
    TblPlayers->verticalHeader()->setDefaultSectionSize(TblPlayers->fontMetrics().height() + 6);
    QHeaderView *columns = TblPlayers->horizontalHeader();
    columns->setStretchLastSection(true);
    const std::pair<int, int> widths[] = {
        {PlayerTableModel::Name, 180},     {PlayerTableModel::UserId, 60},
        {PlayerTableModel::UniqueId, 150}, {PlayerTableModel::Frags, 50},
        {PlayerTableModel::Time, 64},      {PlayerTableModel::Ping, 50},
        {PlayerTableModel::Loss, 50},
    };
    for (const auto &[column, width] : widths)
        columns->resizeSection(column, width);
    TblPlayers->setAccessibleName(QStringLiteral("Players"));

    CboMap = new QComboBox(this);
    CboMap->setObjectName(QStringLiteral("CboMap"));
    CboMap->setAccessibleName(QStringLiteral("Map"));
    CboMap->setMinimumContentsLength(16);

    auto button = [this, &buttons](const QString &name, const QString &caption) {
        return buttons.createStyled(this, name, caption);
    };
    CmdRefresh = button(QStringLiteral("CmdRefresh"), QStringLiteral("&Refresh"));
    CmdKick = button(QStringLiteral("CmdKick"), QStringLiteral("&Kick"));
    CmdBan = button(QStringLiteral("CmdBan"), QStringLiteral("&Ban"));
    CmdBanAddress = button(QStringLiteral("CmdBanAddress"), QStringLiteral("Ban &Address"));
    CmdChangeMap = button(QStringLiteral("CmdChangeMap"), QStringLiteral("Change &map"));

    auto *heading = new QGridLayout;
    heading->addWidget(LblHost, 0, 0, 1, 2);
    heading->addWidget(LblMap, 1, 0);
    heading->addWidget(LblPlayers, 1, 1);
    heading->setColumnStretch(0, 1);
    heading->setColumnStretch(1, 1);

    auto *actions = new QHBoxLayout;
    for (XpButton *item : {CmdRefresh, CmdKick, CmdBan, CmdBanAddress})
        actions->addWidget(item);
    actions->addStretch(1);
    auto *mapLabel = new QLabel(QStringLiteral("Ma&p:"), this);
    mapLabel->setBuddy(CboMap);
    actions->addWidget(mapLabel);
    actions->addWidget(CboMap);
    actions->addWidget(CmdChangeMap);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addWidget(TblPlayers, 1);
    layout->addLayout(actions);
    layout->addWidget(LblStatus);

    showMessage(QStringLiteral("Not connected."), Message::Problem);
}

void FrmPlayers::buildActions() {
    auto action = [this](const QString &name, const QString &text, const QKeySequence &keys) {
        auto *item = new QAction(text, this);
        item->setObjectName(name);
        item->setShortcut(keys);
        addAction(item); // the keys work anywhere in the window
        return item;
    };
    ActRefresh = action(QStringLiteral("ActRefresh"), QStringLiteral("&Refresh"), Qt::Key_F5);
    ActKick = action(QStringLiteral("ActKick"), QStringLiteral("&Kick..."), Qt::Key_Delete);
    ActCopyName = action(QStringLiteral("ActCopyName"), QStringLiteral("Copy &Name"),
                         QKeySequence(Qt::CTRL | Qt::Key_C));
    ActCopyUniqueId = action(QStringLiteral("ActCopyUniqueId"), QStringLiteral("Copy &Unique ID"),
                             QKeySequence(Qt::CTRL | Qt::Key_I));
    ActCopyAddress = action(QStringLiteral("ActCopyAddress"), QStringLiteral("Copy A&ddress"),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));

    MnuBan = new QMenu(QStringLiteral("&Ban"), this);
    MnuBan->setObjectName(QStringLiteral("MnuBan"));
    MnuBanAddress = new QMenu(QStringLiteral("Ban the &Address"), this);
    MnuBanAddress->setObjectName(QStringLiteral("MnuBanAddress"));
    for (const int minutes : BanMinutes) {
        QAction *ban = MnuBan->addAction(lengthText(minutes) + QStringLiteral("..."));
        ban->setObjectName(QStringLiteral("ActBan%1").arg(minutes));
        connect(ban, &QAction::triggered, this, [this, minutes] { banSelected(minutes); });
        ActBan.append(ban);
        QAction *banAddress = MnuBanAddress->addAction(lengthText(minutes) + QStringLiteral("..."));
        banAddress->setObjectName(QStringLiteral("ActBanAddress%1").arg(minutes));
        connect(banAddress, &QAction::triggered, this,
                [this, minutes] { banAddressSelected(minutes); });
        ActBanAddress.append(banAddress);
    }
    auto *popBan =
        action(QStringLiteral("ActPopBan"), QString(), QKeySequence(Qt::CTRL | Qt::Key_B));
    auto *popBanAddress = action(QStringLiteral("ActPopBanAddress"), QString(),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));

    MnuPlayer = new QMenu(this);
    MnuPlayer->setObjectName(QStringLiteral("MnuPlayer"));
    MnuPlayer->addAction(ActKick);
    MnuPlayer->addMenu(MnuBan);
    MnuPlayer->addMenu(MnuBanAddress);
    MnuPlayer->addSeparator();
    MnuPlayer->addAction(ActCopyName);
    MnuPlayer->addAction(ActCopyUniqueId);
    MnuPlayer->addAction(ActCopyAddress);
    MnuPlayer->addSeparator();
    MnuPlayer->addAction(ActRefresh);

    connect(ActRefresh, &QAction::triggered, this, &FrmPlayers::refresh);
    connect(ActKick, &QAction::triggered, this, &FrmPlayers::kickSelected);
    connect(ActCopyName, &QAction::triggered, this, [this] {
        if (const PlayerRow *player = selectedPlayer())
            copy(player->name);
    });
    connect(ActCopyUniqueId, &QAction::triggered, this, [this] {
        if (const PlayerRow *player = selectedPlayer())
            copy(player->uniqueId);
    });
    connect(ActCopyAddress, &QAction::triggered, this, [this] {
        if (const PlayerRow *player = selectedPlayer())
            copy(player->address);
    });
    connect(popBan, &QAction::triggered, this, [this] { popUnder(MnuBan, CmdBan); });
    connect(popBanAddress, &QAction::triggered, this,
            [this] { popUnder(MnuBanAddress, CmdBanAddress); });

    connect(CmdRefresh, &XpButton::Click, this, &FrmPlayers::refresh);
    connect(CmdKick, &XpButton::Click, this, &FrmPlayers::kickSelected);
    connect(CmdBan, &XpButton::Click, this, [this] { popUnder(MnuBan, CmdBan); });
    connect(CmdBanAddress, &XpButton::Click, this,
            [this] { popUnder(MnuBanAddress, CmdBanAddress); });
    connect(CmdChangeMap, &XpButton::Click, this, &FrmPlayers::changeMap);
    connect(CboMap, &QComboBox::currentIndexChanged, this, &FrmPlayers::updateActions);
    connect(TblPlayers, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        const QModelIndex index = TblPlayers->indexAt(pos);
        if (index.isValid())
            TblPlayers->selectRow(index.row());
        MnuPlayer->popup(TblPlayers->viewport()->mapToGlobal(pos));
    });
    connect(TblPlayers->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FrmPlayers::updateActions);
}

void FrmPlayers::open() {
    m_opened = true;
    WindowPlaces::bringForward(this);
    refresh();
}

void FrmPlayers::refresh() {
    if (!m_connection.isConnected()) {
        showMessage(QStringLiteral("Not connected."), Message::Problem);
        return;
    }
    m_refreshTimer.start();
    requestStatus();
    if (CboMap->count() == 0)
        requestMaps();
    updateActions();
}

void FrmPlayers::mainDisconnected() {
    m_session->stop();
    m_refreshTimer.stop();
    showMessage(QStringLiteral("Not connected."), Message::Problem);
    updateActions();
}

void FrmPlayers::requestStatus() {
    if (!m_connection.isConnected() || m_session->isPending(StatusCommand))
        return;
    m_session->send(StatusCommand, RconRequests::Ending::StatusEnd);
}

void FrmPlayers::requestMaps() {
    if (!m_session->isPending(MapsCommand))
        m_session->send(MapsCommand, RconRequests::Ending::Quiet);
}

void FrmPlayers::onAnswered(const QString &command, const QString &text) {
    if (command == StatusCommand) {
        applyStatus(text);
        return;
    }
    if (command == MapsCommand) {
        const QString current = CboMap->currentText();
        CboMap->clear();
        CboMap->addItems(PlayerCommands::mapsFromListing(text));
        CboMap->setCurrentIndex(qMax(0, CboMap->findText(current)));
        updateActions();
        return;
    }
    QString answer = StatusParser::displayText(text).trimmed();
    answer.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (answer.isEmpty())
        answer = QStringLiteral("The server carried out \"%1\".").arg(command);
    showMessage(answer, Message::Action);
}

void FrmPlayers::onFailed(const QString &, RconRequests::Failure failure, const QString &message) {
    if (failure == RconRequests::Failure::NoAnswer) {
        // Silence is no refusal: the next refresh asks again.
        showMessage(message, Message::Problem);
        return;
    }
    // Asking again would only add failures toward a ban: wait for the user.
    m_refreshTimer.stop();
    showMessage(message + QStringLiteral(" Refreshing has stopped; press F5 to try again."),
                Message::Problem);
}

bool FrmPlayers::applyStatus(const QString &text) {
    ServerStatus status;
    QString error;
    if (!StatusParser::parse(text, status, &error)) {
        showMessage(error + QStringLiteral(" The table shows the last reply that could be read."),
                    Message::Problem);
        return false;
    }
    const PlayerRow *selected = selectedPlayer();
    const int selectedUser = selected ? selected->userId : 0;
    m_model->setPlayers(std::move(status.players));
    if (selectedUser != 0)
        selectUser(selectedUser);

    LblHost->setText(status.hostname);
    LblMap->setText(QStringLiteral("Map: ") + status.map);
    LblPlayers->setText(
        QStringLiteral("Players: %1 active / %2 max").arg(status.active).arg(status.maxPlayers));
    updateActions();
    if (std::exchange(m_keepMessage, false))
        return true;
    showMessage(QStringLiteral("Updated at ") +
                    QTime::currentTime().toString(QStringLiteral("HH:mm:ss")),
                Message::Refresh);
    return true;
}

const PlayerRow *FrmPlayers::selectedPlayer() const {
    const QModelIndexList rows = TblPlayers->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return nullptr;
    const QModelIndex source = m_sorted->mapToSource(rows.first());
    if (!source.isValid() || source.row() >= m_model->players().size())
        return nullptr;
    return &m_model->players().at(source.row());
}

bool FrmPlayers::selectUser(int userId) {
    const int row = m_model->rowOfUser(userId);
    if (row < 0)
        return false;
    const QModelIndex index = m_sorted->mapFromSource(m_model->index(row, 0));
    TblPlayers->selectRow(index.row());
    TblPlayers->scrollTo(index);
    return true;
}

void FrmPlayers::showMessage(const QString &text, Message kind) {
    LblStatus->setText(text);
    m_keepMessage = kind == Message::Action;
}

void FrmPlayers::updateActions() {
    const PlayerRow *player = selectedPlayer();
    const bool live = m_connection.isConnected();
    const bool hasAddress = player && PlayerCommands::ipOf(player->address).has_value();
    // A bot has no id of its own to ban.
    const bool bannable = player && player->uniqueId != QLatin1String("BOT");
    ActKick->setEnabled(live && player);
    CmdKick->setEnabled(live && player);
    MnuBan->setEnabled(live && bannable);
    CmdBan->setEnabled(live && bannable);
    for (QAction *ban : std::as_const(ActBan))
        ban->setEnabled(live && bannable);
    MnuBanAddress->setEnabled(live && hasAddress);
    CmdBanAddress->setEnabled(live && hasAddress);
    for (QAction *ban : std::as_const(ActBanAddress))
        ban->setEnabled(live && hasAddress);
    ActCopyName->setEnabled(player);
    ActCopyUniqueId->setEnabled(player);
    ActCopyAddress->setEnabled(player && !player->address.isEmpty());
    CmdChangeMap->setEnabled(live && CboMap->currentIndex() >= 0);
}

bool FrmPlayers::confirm(const QString &question) {
    return m_platform.messageBox(this, Platform::Icon::Information, Platform::Buttons::YesNo,
                                 question) == Platform::Answer::Yes;
}

void FrmPlayers::runAction(const QStringList &commands) {
    if (!m_connection.isConnected()) {
        showMessage(QStringLiteral("Not connected."), Message::Problem);
        return;
    }
    for (const QString &command : commands)
        m_session->send(command);
    // The table shows the effect at once.
    m_session->send(StatusCommand, RconRequests::Ending::StatusEnd);
}

void FrmPlayers::kickSelected() {
    const PlayerRow *player = selectedPlayer();
    if (!player || !m_connection.isConnected())
        return;
    const std::optional<QString> command = PlayerCommands::kick(player->userId);
    if (!command || !confirm(aboutPlayer(QStringLiteral("Kick this player?"), *player)))
        return;
    runAction({*command});
}

void FrmPlayers::banSelected(int minutes) {
    const PlayerRow *player = selectedPlayer();
    if (!player || !m_connection.isConnected())
        return;
    const std::optional<QString> command = PlayerCommands::banId(minutes, player->userId);
    const QString question =
        QStringLiteral("Ban this player %1 and kick them?").arg(forHowLong(minutes));
    if (!command || !confirm(aboutPlayer(question, *player)))
        return;
    QStringList commands{*command};
    if (minutes == 0)
        commands.append(QStringLiteral("writeid"));
    runAction(commands);
}

void FrmPlayers::banAddressSelected(int minutes) {
    const PlayerRow *player = selectedPlayer();
    if (!player || !m_connection.isConnected())
        return;
    const std::optional<QString> command = PlayerCommands::addIp(minutes, player->address);
    if (!command)
        return;
    const QString ip = *PlayerCommands::ipOf(player->address);
    if (!confirm(aboutPlayer(QStringLiteral("Ban the address %1 %2?").arg(ip, forHowLong(minutes)),
                             *player)))
        return;
    QStringList commands{*command};
    if (minutes == 0)
        commands.append(QStringLiteral("writeip"));
    runAction(commands);
}

void FrmPlayers::changeMap() {
    const QString map = CboMap->currentText();
    const std::optional<QString> command = PlayerCommands::changeLevel(map);
    if (!command || !m_connection.isConnected())
        return;
    if (!confirm(QStringLiteral("Change the map to %1?").arg(map)))
        return;
    runAction({*command});
}

void FrmPlayers::copy(const QString &text) {
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

void FrmPlayers::popUnder(QMenu *menu, QWidget *button) {
    if (menu->isEnabled())
        menu->popup(button->mapToGlobal(QPoint(0, button->height())));
}

void FrmPlayers::saveGeometryToOptions() const {
    QSettings options(m_settings.optionsFile(), QSettings::IniFormat);
    options.beginGroup(OptionsGroup);
    options.setValue(GeometryKey, saveGeometry());
    options.endGroup();
    options.sync();
}

void FrmPlayers::closeEvent(QCloseEvent *event) {
    saveGeometryToOptions();
    m_session->stop();
    m_refreshTimer.stop();
    event->accept();
}
