#include "rcon/servers/frmservers.h"

#include "rcon/console/recentservers.h"
#include "rcon/kit/buttonfactory.h"
#include "rcon/kit/fonts.h"
#include "rcon/kit/placekeeper.h"
#include "rcon/kit/platform.h"
#include "rcon/kit/programicon.h"
#include "rcon/kit/windowplaces.h"
#include "rcon/servers/desktopnotifier.h"
#include "rcon/servers/passwordkeyring.h"
#include "rcon/servers/sendtoserversview.h"
#include "rcon/servers/serverdialog.h"
#include "rcon/servers/serverfiltermodel.h"
#include "rcon/servers/serverlistmodel.h"
#include "rcon/servers/servermonitor.h"
#include "rcon/servers/serverrowdelegate.h"
#include "rcon/settings/programfiles.h"
#include "rcon/xpbutton/xpbutton.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTime>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

const QString GeometryKey = QStringLiteral("Geometry");
const QString ColumnsKey = QStringLiteral("Columns");
const QString SplitterKey = QStringLiteral("Splitter");
const QString ShownGroupKey = QStringLiteral("ShownGroup");

// More servers changing in one refresh than this are told in one notification.
constexpr int NotificationsPerRefresh = 3;

QString connectedFor(double seconds) {
    const qint64 total = qint64(seconds);
    const qint64 hours = total / 3600;
    const QString minutesSeconds =
        QStringLiteral("%1:%2")
            .arg((total / 60) % 60, hours > 0 ? 2 : 1, 10, QLatin1Char('0'))
            .arg(total % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QStringLiteral("%1:").arg(hours) + minutesSeconds : minutesSeconds;
}

// A cell of the details: sorted by the value it was given for sorting where it has one (a time
// by its seconds), else by what it shows, text without regard to case.
class DetailsCell final : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem &other) const override {
        const QVariant mine = data(Qt::UserRole);
        const QVariant theirs = other.data(Qt::UserRole);
        if (mine.isValid() && theirs.isValid())
            return QVariant::compare(mine, theirs) == QPartialOrdering::Less;
        const QVariant shown = data(Qt::DisplayRole);
        const QVariant otherShown = other.data(Qt::DisplayRole);
        if (shown.typeId() == QMetaType::QString && otherShown.typeId() == QMetaType::QString)
            return shown.toString().compare(otherShown.toString(), Qt::CaseInsensitive) < 0;
        return QVariant::compare(shown, otherShown) == QPartialOrdering::Less;
    }
};

QTableWidgetItem *cell(const QString &text, const QVariant &sortValue = {}) {
    auto *item = new DetailsCell(text);
    if (sortValue.isValid())
        item->setData(Qt::UserRole, sortValue);
    return item;
}

QTableWidget *detailsTable(QWidget *parent, const QString &name, const QString &accessibleName,
                           const QStringList &columns) {
    auto *table = new QTableWidget(0, int(columns.size()), parent);
    table->setObjectName(name);
    table->setAccessibleName(accessibleName);
    table->setHorizontalHeaderLabels(columns);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    // First by the first column, A to Z.
    table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    return table;
}

QString serversText(qsizetype count) {
    return count == 1 ? QStringLiteral("1 server") : QStringLiteral("%1 servers").arg(count);
}

} // namespace

FrmServers::FrmServers(Platform &platform, const ButtonFactory &buttons, const ProgramFiles &files,
                       CurrentServer currentServer, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_platform(platform)
    , m_buttons(buttons)
    , m_optionsFile(files.optionsFile())
    , m_recentServersFile(files.userStateDir().isEmpty()
                              ? QString()
                              : files.userStateDir() + QStringLiteral("/recent-servers"))
    , m_currentServer(std::move(currentServer))
    , m_monitor(new ServerMonitor(m_optionsFile, this))
    , m_shown(new ServerFilterModel(this))
    , m_keyring(new PasswordKeyring(this))
    , m_notifier(new DesktopNotifier(this)) {
    setObjectName(QStringLiteral("frmServers"));
    setWindowTitle(QStringLiteral("Servers"));
    setWindowIcon(talvero::programIcon());
    setFont(talvero::tahoma(8.25));
    new PlaceKeeper(this);

    m_shown->setSourceModel(m_monitor->model());
    m_shown->setSortCaseSensitivity(Qt::CaseInsensitive);
    buildWidgets();
    buildActions();
    restoreOptions();
    updateGroups();
    updateActions();

    connect(m_monitor, &ServerMonitor::detailsChanged, this, &FrmServers::updateDetails);
    connect(m_monitor, &ServerMonitor::stoppedAnswering, this, [this](const QStringList &names) {
        notifyChange(names, QStringLiteral("stopped answering"));
    });
    connect(m_monitor, &ServerMonitor::answersAgain, this, [this](const QStringList &names) {
        notifyChange(names, QStringLiteral("answers again"));
    });
    connect(m_monitor->model(), &QAbstractItemModel::modelReset, this, [this] {
        updateGroups();
        updateActions();
    });
}

FrmServers::~FrmServers() {
    if (m_opened)
        saveOptions();
}

void FrmServers::buildWidgets() {
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("TxtFilter"));
    m_filter->setAccessibleName(QStringLiteral("Filter by name, map or address"));
    m_filter->setPlaceholderText(QStringLiteral("name, map or address"));
    m_filter->setClearButtonEnabled(true);
    m_group = new QComboBox(this);
    m_group->setObjectName(QStringLiteral("CboGroup"));
    m_group->setAccessibleName(QStringLiteral("Group"));
    m_group->setMinimumContentsLength(12);
    m_watch = new QCheckBox(QStringLiteral("&Tell me when a server stops answering"), this);
    m_watch->setObjectName(QStringLiteral("ChkWatch"));
    m_watch->setChecked(m_monitor->isWatching());

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("TblServers"));
    m_table->setAccessibleName(QStringLiteral("Servers"));
    m_table->setModel(m_shown);
    m_table->setItemDelegate(new ServerRowDelegate(m_table));
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(ServerListModel::Name, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    QHeaderView *columns = m_table->horizontalHeader();
    columns->setSectionsMovable(true);
    columns->setStretchLastSection(true);
    const std::pair<int, int> widths[] = {
        {ServerListModel::Name, 200},       {ServerListModel::Address, 140},
        {ServerListModel::Map, 90},         {ServerListModel::Players, 90},
        {ServerListModel::Ping, 55},        {ServerListModel::Lock, 36},
        {ServerListModel::Vac, 36},         {ServerListModel::Game, 110},
        {ServerListModel::LastAnswer, 150},
    };
    for (const auto &[column, width] : widths)
        columns->resizeSection(column, width);

    m_detailsTitle = new QLabel(this);
    m_detailsTitle->setObjectName(QStringLiteral("LblDetails"));
    m_detailsTitle->setTextFormat(Qt::PlainText);
    m_players = detailsTable(
        this, QStringLiteral("TblPlayers"), QStringLiteral("Players of the selected server"),
        {QStringLiteral("Player"), QStringLiteral("Score"), QStringLiteral("Time")});
    m_players->setSortingEnabled(true);
    m_players->setColumnWidth(0, 180);
    m_players->setColumnWidth(1, 60);
    m_rulesFilter = new QLineEdit(this);
    m_rulesFilter->setObjectName(QStringLiteral("TxtRulesFilter"));
    m_rulesFilter->setAccessibleName(QStringLiteral("Filter the rules"));
    m_rulesFilter->setPlaceholderText(QStringLiteral("filter the rules"));
    m_rulesFilter->setClearButtonEnabled(true);
    m_rules = detailsTable(this, QStringLiteral("TblRules"),
                           QStringLiteral("Rules of the selected server"),
                           {QStringLiteral("Rule"), QStringLiteral("Value")});
    m_rules->setSortingEnabled(true);
    m_rules->setColumnWidth(0, 180);

    auto button = [this](const QString &name, const QString &caption) {
        XpButton *item = m_buttons.create(this, name, caption);
        item->ButtonStyle(2);
        item->fitCaption();
        return item;
    };
    m_add = button(QStringLiteral("CmdAdd"), QStringLiteral("&Add..."));
    m_addCurrent =
        button(QStringLiteral("CmdAddCurrent"), QStringLiteral("Add the c&urrent server"));
    m_edit = button(QStringLiteral("CmdEdit"), QStringLiteral("&Edit..."));
    m_remove = button(QStringLiteral("CmdRemove"), QStringLiteral("Re&move"));
    m_import = button(QStringLiteral("CmdImport"), QStringLiteral("&Import recent servers"));
    m_send = button(QStringLiteral("CmdSend"), QStringLiteral("&Send to selected..."));
    m_refresh = button(QStringLiteral("CmdRefresh"), QStringLiteral("&Refresh"));
    m_connect = button(QStringLiteral("CmdConnect"), QStringLiteral("C&onnect"));

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("LblStatus"));
    m_status->setAccessibleName(QStringLiteral("Status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setFrameShape(QFrame::StyledPanel);
    m_status->setFrameShadow(QFrame::Sunken);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *top = new QHBoxLayout;
    auto *filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    filterLabel->setBuddy(m_filter);
    auto *groupLabel = new QLabel(QStringLiteral("&Group:"), this);
    groupLabel->setBuddy(m_group);
    top->addWidget(filterLabel);
    top->addWidget(m_filter, 1);
    top->addWidget(groupLabel);
    top->addWidget(m_group);
    top->addWidget(m_watch);

    auto *details = new QWidget(this);
    auto *rulesBox = new QVBoxLayout;
    rulesBox->setContentsMargins(0, 0, 0, 0);
    auto *rulesLabel = new QLabel(QStringLiteral("R&ules:"), this);
    rulesLabel->setBuddy(m_rulesFilter);
    auto *rulesTop = new QHBoxLayout;
    rulesTop->addWidget(rulesLabel);
    rulesTop->addWidget(m_rulesFilter, 1);
    rulesBox->addLayout(rulesTop);
    rulesBox->addWidget(m_rules, 1);
    auto *detailsRow = new QHBoxLayout;
    detailsRow->setContentsMargins(0, 0, 0, 0);
    detailsRow->addWidget(m_players, 1);
    detailsRow->addLayout(rulesBox, 1);
    auto *detailsBox = new QVBoxLayout(details);
    detailsBox->setContentsMargins(0, 0, 0, 0);
    detailsBox->addWidget(m_detailsTitle);
    detailsBox->addLayout(detailsRow, 1);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("SplServers"));
    split->addWidget(m_table);
    split->addWidget(details);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);
    m_split = split;

    auto *actions = new QHBoxLayout;
    for (XpButton *item : {m_add, m_addCurrent, m_edit, m_remove, m_import})
        actions->addWidget(item);
    actions->addStretch(1);
    for (XpButton *item : {m_send, m_refresh, m_connect})
        actions->addWidget(item);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(actions);
    layout->addWidget(m_status);
}

void FrmServers::buildActions() {
    auto action = [this](const QString &name, const QList<QKeySequence> &keys) {
        auto *item = new QAction(this);
        item->setObjectName(name);
        item->setShortcuts(keys);
        addAction(item); // the keys work anywhere in the window
        return item;
    };
    QAction *add = action(QStringLiteral("ActAdd"), {Qt::Key_Insert});
    QAction *remove = action(QStringLiteral("ActRemove"), {Qt::Key_Delete});
    QAction *refreshNow = action(QStringLiteral("ActRefresh"), {Qt::Key_F5});
    m_sendAction = action(QStringLiteral("ActSend"), {QKeySequence(Qt::CTRL | Qt::Key_Return),
                                                      QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    QAction *find = action(QStringLiteral("ActFilter"), {QKeySequence(Qt::CTRL | Qt::Key_F)});

    connect(add, &QAction::triggered, this, [this] { addServers(); });
    connect(remove, &QAction::triggered, this, &FrmServers::removeServers);
    connect(refreshNow, &QAction::triggered, this, &FrmServers::refresh);
    connect(m_sendAction, &QAction::triggered, this, &FrmServers::sendToSelected);
    connect(find, &QAction::triggered, this, [this] {
        m_filter->setFocus(Qt::ShortcutFocusReason);
        m_filter->selectAll();
    });

    connect(m_add, &XpButton::Click, this, [this] { addServers(); });
    connect(m_addCurrent, &XpButton::Click, this, &FrmServers::addCurrentServer);
    connect(m_edit, &XpButton::Click, this, &FrmServers::editServer);
    connect(m_remove, &XpButton::Click, this, &FrmServers::removeServers);
    connect(m_import, &XpButton::Click, this, &FrmServers::importRecentServers);
    connect(m_send, &XpButton::Click, this, &FrmServers::sendToSelected);
    connect(m_refresh, &XpButton::Click, this, &FrmServers::refresh);
    connect(m_connect, &XpButton::Click, this, [this] { connectTo(currentIndex()); });
    // Enter on a row, or a double-click.
    connect(m_table, &QAbstractItemView::activated, this,
            [this](const QModelIndex &index) { connectTo(m_shown->mapToSource(index).row()); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const int index = currentIndex();
        m_monitor->setDetailsServer(index >= 0 ? m_monitor->model()->row(index).key : QString());
        updateActions();
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        const int index = currentIndex();
        m_monitor->setDetailsServer(index >= 0 ? m_monitor->model()->row(index).key : QString());
    });
    connect(m_filter, &QLineEdit::textChanged, m_shown, &ServerFilterModel::setFilterText);
    connect(m_group, &QComboBox::currentIndexChanged, this, [this] {
        m_shown->setGroup(m_group->currentData().toString());
        updateActions();
    });
    // A refresh asked for (F5, opening the window) says how it went once every server has
    // answered or been given up on; the ones that come by themselves leave the status line to
    // what it says.
    connect(m_monitor, &ServerMonitor::refreshFinished, this, [this] {
        if (!std::exchange(m_refreshAsked, false))
            return;
        const ServerListModel &rows = *m_monitor->model();
        int answering = 0;
        for (int row = 0; row < rows.rowCount(); ++row)
            answering += rows.row(row).state == ServerListModel::State::Answering;
        showMessage(QStringLiteral("%1 of %2 answered at %3.")
                        .arg(answering)
                        .arg(serversText(rows.rowCount()))
                        .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    });
    connect(m_watch, &QCheckBox::toggled, m_monitor, &ServerMonitor::setWatching);
    connect(m_rulesFilter, &QLineEdit::textChanged, this, &FrmServers::updateDetails);
}

void FrmServers::restoreOptions() {
    QSettings options(m_optionsFile, QSettings::IniFormat);
    options.beginGroup(SavedServers::Group);
    if (!restoreGeometry(options.value(GeometryKey).toByteArray()))
        resize(1060, 560); // every column in view
    m_table->horizontalHeader()->restoreState(options.value(ColumnsKey).toByteArray());
    static_cast<QSplitter *>(m_split)->restoreState(options.value(SplitterKey).toByteArray());
    const QString group = options.value(ShownGroupKey).toString();
    m_shown->setGroup(group);
}

void FrmServers::saveOptions() const {
    QSettings options(m_optionsFile, QSettings::IniFormat);
    options.beginGroup(SavedServers::Group);
    options.setValue(GeometryKey, saveGeometry());
    options.setValue(ColumnsKey, m_table->horizontalHeader()->saveState());
    options.setValue(SplitterKey, static_cast<QSplitter *>(m_split)->saveState());
    options.setValue(ShownGroupKey, m_shown->group());
}

void FrmServers::open() {
    m_opened = true;
    WindowPlaces::bringForward(this);
    refresh();
}

void FrmServers::refresh() {
    if (m_monitor->servers().count() == 0) {
        showMessage(QStringLiteral("No servers yet: Add... (Insert) adds one."));
        return;
    }
    m_monitor->refresh();
    m_refreshAsked = true;
    showMessage(QStringLiteral("Asking %1...").arg(serversText(m_monitor->servers().count())));
}

SendToServersView *FrmServers::sendWindow() const {
    return m_sendWindow;
}

void FrmServers::setAnswerTimeout(int ms) {
    m_answerTimeoutMs = ms;
    m_monitor->query().setAnswerTimeout(ms);
    if (m_sendWindow)
        m_sendWindow->command().setAnswerTimeout(ms);
}

void FrmServers::closeEvent(QCloseEvent *event) {
    saveOptions();
    // Only hidden: watching goes on, and the list is there at the next open.
    hide();
    event->ignore();
}

void FrmServers::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    m_monitor->setShown(true);
}

void FrmServers::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    m_monitor->setShown(false);
}

QList<int> FrmServers::selectedIndexes() const {
    QList<int> indexes;
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    for (const QModelIndex &row : rows)
        indexes.append(m_shown->mapToSource(row).row());
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

int FrmServers::currentIndex() const {
    const QModelIndex current = m_table->selectionModel()->currentIndex();
    if (current.isValid() && m_table->selectionModel()->isRowSelected(current.row()))
        return m_shown->mapToSource(current).row();
    const QList<int> selected = selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first();
}

void FrmServers::selectServer(const QString &key) {
    const int row = m_monitor->model()->rowOfKey(key);
    if (row < 0)
        return;
    const QModelIndex index = m_shown->mapFromSource(m_monitor->model()->index(row, 0));
    if (!index.isValid())
        return;
    m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    m_table->scrollTo(index);
}

void FrmServers::updateGroups() {
    const QString chosen = m_shown->group();
    const QSignalBlocker quiet(m_group);
    m_group->clear();
    m_group->addItem(QStringLiteral("All groups"), QString());
    for (const QString &group : m_monitor->servers().groups())
        m_group->addItem(group, group);
    const int index = m_group->findData(chosen, Qt::UserRole, Qt::MatchFixedString);
    m_group->setCurrentIndex(qMax(0, index));
    m_shown->setGroup(m_group->currentData().toString());
}

void FrmServers::updateActions() {
    const QList<int> selected = selectedIndexes();
    const bool one = selected.size() == 1;
    m_edit->setEnabled(one);
    m_connect->setEnabled(one && m_monitor->model()->row(selected.first()).address.has_value());
    m_remove->setEnabled(!selected.isEmpty());
    const bool targets = !selected.isEmpty() || !m_shown->group().isEmpty();
    m_send->setEnabled(targets);
    m_sendAction->setEnabled(targets);
    m_refresh->setEnabled(m_monitor->servers().count() > 0);
}

void FrmServers::updateDetails() {
    const int index = m_monitor->model()->rowOfKey(m_monitor->detailsServer());
    if (index < 0) {
        m_detailsTitle->setText(QStringLiteral("Select a server to see its players and rules."));
        m_players->setRowCount(0);
        m_rules->setRowCount(0);
        return;
    }
    QString title = ServerListModel::nameOf(m_monitor->model()->row(index));
    if (m_monitor->detailsSilent())
        title += QStringLiteral(": no answer, the last players and rules it gave");
    m_detailsTitle->setText(title);

    m_players->setSortingEnabled(false);
    m_players->setRowCount(int(m_monitor->players().size()));
    for (int row = 0; row < m_monitor->players().size(); ++row) {
        const A2s::Player &player = m_monitor->players().at(row);
        m_players->setItem(row, 0, cell(player.name));
        auto *score = cell({});
        score->setData(Qt::DisplayRole, player.score);
        m_players->setItem(row, 1, score);
        m_players->setItem(row, 2, cell(connectedFor(player.seconds), player.seconds));
    }
    m_players->setSortingEnabled(true);

    const QString filter = m_rulesFilter->text().trimmed();
    QList<A2s::Rule> rules;
    for (const A2s::Rule &rule : m_monitor->rules()) {
        if (filter.isEmpty() || rule.name.contains(filter, Qt::CaseInsensitive) ||
            rule.value.contains(filter, Qt::CaseInsensitive))
            rules.append(rule);
    }
    m_rules->setSortingEnabled(false);
    m_rules->setRowCount(int(rules.size()));
    for (int row = 0; row < rules.size(); ++row) {
        m_rules->setItem(row, 0, cell(rules.at(row).name));
        m_rules->setItem(row, 1, cell(rules.at(row).value));
    }
    m_rules->setSortingEnabled(true);
}

void FrmServers::showMessage(const QString &text) {
    m_status->setText(text);
}

void FrmServers::notifyChange(const QStringList &names, const QString &what) {
    if (names.size() <= NotificationsPerRefresh) {
        for (const QString &name : names)
            m_notifier->notify(QStringLiteral("%1 %2").arg(name, what));
    } else {
        m_notifier->notify(QStringLiteral("%1 servers %2").arg(names.size()).arg(what),
                           names.join(QStringLiteral(", ")));
    }
    showMessage(QStringLiteral("%1 %2.").arg(names.join(QStringLiteral(", ")), what));
}

void FrmServers::addServers(const QString &prefilled) {
    auto *dialog =
        new ServerDialog(ServerDialog::Mode::Add, m_buttons, m_monitor->servers().groups(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAddresses(prefilled);
    if (!m_shown->group().isEmpty())
        dialog->setGroup(m_shown->group());
    connect(dialog, &ServerDialog::submitted, this, [this, dialog] { submitAdd(dialog); });
    dialog->open();
}

void FrmServers::addCurrentServer() {
    const std::optional<std::pair<QString, quint16>> current =
        m_currentServer ? m_currentServer() : std::nullopt;
    if (!current || current->first.trimmed().isEmpty()) {
        showMessage(QStringLiteral("The main window's address field is empty."));
        return;
    }
    const QString host = current->first.trimmed();
    const QString shown =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    addServers(shown + QLatin1Char(':') + QString::number(current->second));
}

void FrmServers::submitAdd(ServerDialog *dialog) {
    QString error;
    const std::optional<QList<SavedServer>> servers =
        m_monitor->servers().prepare(dialog->addresses(), dialog->label(), dialog->group(), &error);
    if (!servers) {
        dialog->showProblem(error);
        return;
    }
    const QPointer<ServerDialog> alive(dialog);
    auto finish = [this, alive](const QStringList &kept) {
        if (!alive)
            return;
        QString failure;
        const std::optional<QList<SavedServer>> added =
            m_monitor->add(alive->addresses(), alive->label(), alive->group(), &failure);
        if (!added) {
            for (const QString &key : kept)
                m_keyring->remove(key, [](const PasswordKeyring::Result &) {});
            alive->setBusy(false);
            alive->showProblem(failure);
            return;
        }
        alive->accept();
        selectServer(added->first().endpoint()->key());
        showMessage(added->size() == 1
                        ? QStringLiteral("%1 was added.").arg(added->first().address)
                        : QStringLiteral("%1 were added.").arg(serversText(added->size())));
    };
    if (dialog->password().isEmpty() || !dialog->keepsPassword()) {
        finish({});
        return;
    }
    QStringList keys;
    for (const SavedServer &server : *servers)
        keys.append(server.endpoint()->keyringKey());
    keepPasswords(dialog, keys, dialog->password(), [finish, keys] { finish(keys); });
}

void FrmServers::keepPasswords(ServerDialog *dialog, const QStringList &keys,
                               const QString &password, const std::function<void()> &then) {
    const QPointer<ServerDialog> alive(dialog);
    dialog->setBusy(true);
    writePasswords(keys, password, [alive, then](const QString &problem) {
        if (!alive)
            return;
        if (!problem.isEmpty()) {
            // Kept nowhere: the dialog says why and waits, the password taken out of it.
            alive->setBusy(false);
            alive->dropPassword();
            alive->showProblem(problem);
            return;
        }
        then();
    });
}

void FrmServers::writePasswords(const QStringList &keys, const QString &password,
                                std::function<void(const QString &problem)> done) {
    // One after another; when one is refused, those written before it are taken out again, so
    // the password is kept for all of them or none.
    auto step = std::make_shared<std::function<void(int)>>();
    *step = [this, keys, password, done, step](int index) {
        if (index == keys.size()) {
            done({});
            return;
        }
        m_keyring->write(keys.at(index), password,
                         [this, keys, done, step, index](const PasswordKeyring::Result &result) {
                             if (result.status == PasswordKeyring::Status::Done) {
                                 (*step)(index + 1);
                                 return;
                             }
                             for (int i = 0; i < index; ++i)
                                 m_keyring->remove(keys.at(i),
                                                   [](const PasswordKeyring::Result &) {});
                             done(result.message);
                         });
    };
    (*step)(0);
}

void FrmServers::editServer() {
    const QList<int> selected = selectedIndexes();
    if (selected.size() != 1)
        return;
    const int index = selected.first();
    const ServerListModel::Row &row = m_monitor->model()->row(index);
    const QString key = row.key;
    auto openDialog = [this, key](const std::optional<QString> &kept, const QString &problem) {
        const int at = m_monitor->model()->rowOfKey(key);
        if (at < 0)
            return;
        const SavedServer &server = m_monitor->servers().at(at);
        auto *dialog = new ServerDialog(ServerDialog::Mode::Edit, m_buttons,
                                        m_monitor->servers().groups(), this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setAddresses(server.address);
        dialog->setLabel(server.label);
        dialog->setGroup(server.group);
        dialog->setPasswordKept(kept.has_value());
        dialog->showProblem(problem);
        connect(dialog, &ServerDialog::submitted, this, [this, dialog, key, kept] {
            const int now = m_monitor->model()->rowOfKey(key);
            if (now < 0) {
                dialog->reject();
                return;
            }
            submitEdit(dialog, now, kept);
        });
        dialog->open();
    };
    if (!row.address) {
        openDialog(std::nullopt, {});
        return;
    }
    m_keyring->read(row.address->keyringKey(), [openDialog](const PasswordKeyring::Result &result) {
        switch (result.status) {
        case PasswordKeyring::Status::Done:
            openDialog(result.password, {});
            return;
        case PasswordKeyring::Status::NotFound:
            openDialog(std::nullopt, {});
            return;
        default:
            openDialog(std::nullopt, result.message);
            return;
        }
    });
}

void FrmServers::submitEdit(ServerDialog *dialog, int index,
                            const std::optional<QString> &keptPassword) {
    SavedServer edited = m_monitor->servers().at(index);
    const std::optional<ServerAddress> before = edited.endpoint();
    edited.address = dialog->addresses().trimmed();
    edited.label = dialog->label();
    edited.group = dialog->group();
    QString error;
    if (edited.address.contains(QLatin1Char('\n'))) {
        dialog->showProblem(QStringLiteral("Edit one server at a time: one address."));
        return;
    }
    SavedServers trial = m_monitor->servers();
    if (!trial.replace(index, edited, &error)) {
        dialog->showProblem(error);
        return;
    }
    const ServerAddress after = *SavedServers::parseAddress(edited.address);
    const QString oldKey = before ? before->keyringKey() : QString();
    const QString newKey = after.keyringKey();
    const bool moved = !oldKey.isEmpty() && oldKey != newKey;

    const QPointer<ServerDialog> alive(dialog);
    auto finish = [this, alive, index, edited, oldKey, newKey, moved](bool keptAtNewKey) {
        if (!alive)
            return;
        QString failure;
        if (!m_monitor->replace(index, edited, &failure)) {
            if (moved && keptAtNewKey)
                m_keyring->remove(newKey, [](const PasswordKeyring::Result &) {});
            alive->setBusy(false);
            alive->showProblem(failure);
            return;
        }
        // What was kept under the old address, or is no longer to be kept, goes.
        if (!oldKey.isEmpty() && (moved || !keptAtNewKey))
            m_keyring->remove(oldKey, [](const PasswordKeyring::Result &) {});
        alive->accept();
        selectServer(SavedServers::parseAddress(edited.address)->key());
        showMessage(QStringLiteral("%1 was changed.").arg(edited.address));
    };

    QString password = dialog->password();
    if (password.isEmpty() && keptPassword)
        password = *keptPassword;
    if (!dialog->keepsPassword() || password.isEmpty()) {
        finish(false);
        return;
    }
    if (!dialog->password().isEmpty() || moved) {
        keepPasswords(dialog, {newKey}, password, [finish] { finish(true); });
        return;
    }
    finish(true); // kept as it was
}

void FrmServers::removeServers() {
    const QList<int> selected = selectedIndexes();
    if (selected.isEmpty())
        return;
    const QString question =
        selected.size() == 1
            ? QStringLiteral("Remove %1 from the list of servers?")
                  .arg(ServerListModel::nameOf(m_monitor->model()->row(selected.first())))
            : QStringLiteral("Remove %1 from the list?").arg(serversText(selected.size()));
    if (m_platform.messageBox(this, Platform::Icon::Information, Platform::Buttons::YesNo,
                              question) != Platform::Answer::Yes)
        return;
    QStringList keys;
    QStringList rowKeys;
    for (const int index : selected) {
        const ServerListModel::Row &row = m_monitor->model()->row(index);
        rowKeys.append(row.key);
        if (row.address)
            keys.append(row.address->keyringKey());
    }
    // From the last, so the indexes before stay right.
    for (auto it = selected.crbegin(); it != selected.crend(); ++it) {
        QString error;
        if (!m_monitor->remove(*it, &error)) {
            showMessage(error);
            return;
        }
    }
    for (const QString &key : keys) {
        m_keyring->remove(key, [this](const PasswordKeyring::Result &result) {
            if (result.status == PasswordKeyring::Status::Failed)
                showMessage(QStringLiteral("The password of a removed server could not be "
                                           "taken out of the keyring: ") +
                            result.message);
        });
    }
    showMessage(selected.size() == 1
                    ? QStringLiteral("The server was removed.")
                    : QStringLiteral("%1 were removed.").arg(serversText(selected.size())));
}

void FrmServers::importRecentServers() {
    const RecentServers recent(m_recentServersFile);
    QStringList lines;
    int known = 0;
    for (const RecentServers::Server &server : recent.servers()) {
        const std::optional<ServerAddress> address =
            SavedServers::parseAddress(RecentServers::display(server));
        if (!address)
            continue;
        if (m_monitor->servers().indexOf(address->key()) >= 0) {
            ++known;
            continue;
        }
        lines.append(RecentServers::display(server));
    }
    if (lines.isEmpty()) {
        showMessage(known > 0 ? QStringLiteral("Every recent server is in the list already.")
                              : QStringLiteral("There are no recent servers to add."));
        return;
    }
    QString error;
    if (!m_monitor->add(lines.join(QLatin1Char('\n')), {}, {}, &error)) {
        showMessage(error);
        return;
    }
    showMessage(QStringLiteral("%1 added from the recent servers.").arg(serversText(lines.size())));
}

void FrmServers::sendToSelected() {
    QList<int> indexes = selectedIndexes();
    if (indexes.isEmpty() && !m_shown->group().isEmpty()) {
        // No row chosen: the group shown.
        for (int row = 0; row < m_shown->rowCount(); ++row)
            indexes.append(m_shown->mapToSource(m_shown->index(row, 0)).row());
        std::sort(indexes.begin(), indexes.end());
    }
    QList<MultiServerCommand::Target> targets;
    for (const int index : std::as_const(indexes)) {
        const ServerListModel::Row &row = m_monitor->model()->row(index);
        if (row.address)
            targets.append({ServerListModel::nameOf(row), *row.address});
    }
    if (targets.isEmpty()) {
        showMessage(QStringLiteral("Select the servers to send to, or choose a group."));
        return;
    }
    if (!m_sendWindow) {
        m_sendWindow = new SendToServersView(m_platform, m_buttons, *m_keyring, this);
        if (m_answerTimeoutMs > 0)
            m_sendWindow->command().setAnswerTimeout(m_answerTimeoutMs);
    }
    m_sendWindow->setTargets(targets);
    WindowPlaces::bringForward(m_sendWindow);
    if (QWidget *line = m_sendWindow->findChild<QWidget *>(QStringLiteral("TxtCommand")))
        line->setFocus(Qt::OtherFocusReason);
}

void FrmServers::connectTo(int index) {
    if (index < 0 || index >= m_monitor->model()->rowCount())
        return;
    const ServerListModel::Row &row = m_monitor->model()->row(index);
    if (!row.address) {
        showMessage(QStringLiteral("%1 is not a server address.").arg(row.saved.address));
        return;
    }
    const ServerAddress address = *row.address;
    const QString name = ServerListModel::nameOf(row);
    m_keyring->read(address.keyringKey(),
                    [this, address, name](const PasswordKeyring::Result &result) {
                        std::optional<QString> password;
                        if (result.status == PasswordKeyring::Status::Done)
                            password = result.password;
                        if (result.status == PasswordKeyring::Status::NoKeyring ||
                            result.status == PasswordKeyring::Status::Failed)
                            showMessage(QStringLiteral("Connecting to %1 without a kept "
                                                       "password: %2")
                                            .arg(name, result.message));
                        else
                            showMessage(QStringLiteral("Connecting to %1.").arg(name));
                        Q_EMIT connectRequested(address.host, address.port, password);
                    });
}
