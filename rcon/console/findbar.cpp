#include "rcon/console/findbar.h"

#include "rcon/console/outputpane.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolButton>

namespace {
bool isEnter(const QKeyEvent *event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

void toClipboard(const QString &text) {
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}
} // namespace

FindBar::FindBar(OutputPane *pane, QWidget *parent)
    : QWidget(parent)
    , m_pane(pane) {
    setObjectName(QStringLiteral("FindBar"));
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setAccessibleName(QStringLiteral("Find in output"));
    txtFind->setPlaceholderText(QStringLiteral("Find"));
    txtFind->setClearButtonEnabled(true);
    LCount = new QLabel(this);
    LCount->setObjectName(QStringLiteral("LCount"));
    LCount->setMinimumWidth(
        LCount->fontMetrics().horizontalAdvance(QStringLiteral("0000 of 0000")));
    // The keys go into the tool tip and the description; the name says what the button does.
    auto makeButton = [this](const QString &name, const QString &text, const QString &what,
                             const QString &keys) {
        auto *button = new QToolButton(this);
        button->setObjectName(name);
        button->setText(text);
        button->setToolTip(QStringLiteral("%1 (%2)").arg(what, keys));
        button->setAccessibleName(what);
        button->setAccessibleDescription(keys);
        button->setAutoRaise(true);
        return button;
    };
    CmdPrevious =
        makeButton(QStringLiteral("CmdPrevious"), QStringLiteral("\u25B2"),
                   QStringLiteral("Previous match"), QStringLiteral("Shift+Enter, Shift+F3"));
    CmdNext = makeButton(QStringLiteral("CmdNext"), QStringLiteral("\u25BC"),
                         QStringLiteral("Next match"), QStringLiteral("Enter, F3"));
    CmdCopyLine =
        makeButton(QStringLiteral("CmdCopyLine"), QStringLiteral("Copy line"),
                   QStringLiteral("Copy the line of the match"), QStringLiteral("Ctrl+Shift+L"));
    CmdCloseFind = makeButton(QStringLiteral("CmdCloseFind"), QStringLiteral("\u2715"),
                              QStringLiteral("Close the find bar"), QStringLiteral("Escape"));
    // The field's own clear button has no text of its own to be named by.
    for (QToolButton *clear : txtFind->findChildren<QToolButton *>())
        clear->setAccessibleName(QStringLiteral("Clear the find text"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(txtFind, 1);
    layout->addWidget(LCount);
    layout->addWidget(CmdPrevious);
    layout->addWidget(CmdNext);
    layout->addWidget(CmdCopyLine);
    layout->addWidget(CmdCloseFind);

    connect(txtFind, &QLineEdit::textChanged, this, &FindBar::search);
    connect(CmdPrevious, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(CmdNext, &QToolButton::clicked, this, &FindBar::findNext);
    connect(CmdCopyLine, &QToolButton::clicked, this, &FindBar::copyLine);
    connect(CmdCloseFind, &QToolButton::clicked, this, &FindBar::closeBar);
    m_researchSoon.setSingleShot(true);
    m_researchSoon.setInterval(150);
    connect(&m_researchSoon, &QTimer::timeout, this, &FindBar::search);
    connect(m_pane->document(), &QTextDocument::contentsChanged, this, [this] {
        if (isVisible())
            m_researchSoon.start();
    });

    m_pane->installEventFilter(this);
    txtFind->installEventFilter(this);
    hide();
}

QString FindBar::keysHelp() {
    return QStringLiteral("Ctrl+C or Ctrl+Insert: copy the whole output\n"
                          "Ctrl+Shift+C: copy the newest reply\n"
                          "Ctrl+F: find (Enter or F3: next, Shift+Enter or Shift+F3: previous,\n"
                          "    Ctrl+Shift+L: copy the line of the match, Escape: close)\n"
                          "Ctrl+L: clear the output (the log file keeps it)");
}

void FindBar::openBar() {
    if (!isVisible()) {
        m_pane->setFollowing(false);
        show();
    }
    txtFind->setFocus(Qt::ShortcutFocusReason);
    txtFind->selectAll();
    search();
}

void FindBar::closeBar() {
    m_researchSoon.stop();
    m_matches.clear();
    m_current = -1;
    m_pane->setExtraSelections({});
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    hide();
    m_pane->setFollowing(true);
    if (hadFocus)
        m_pane->setFocus(Qt::OtherFocusReason);
}

void FindBar::search() {
    const QString needle = txtFind->text();
    const int previous = m_current >= 0 ? m_matches.at(m_current) : -1;
    m_matches.clear();
    m_current = -1;
    if (!needle.isEmpty()) {
        const QString text = m_pane->document()->toPlainText();
        for (qsizetype at = text.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(needle, at + needle.size(), Qt::CaseInsensitive))
            m_matches.append(int(at));
    }
    if (!m_matches.isEmpty()) {
        // Stay on the match shown before; a new search starts at the newest match.
        const int kept = previous >= 0 ? int(m_matches.indexOf(previous)) : -1;
        m_current = kept >= 0 ? kept : int(m_matches.size()) - 1;
    }
    showCurrent();
}

void FindBar::findNext() {
    step(1);
}

void FindBar::findPrevious() {
    step(-1);
}

void FindBar::step(int by) {
    if (m_researchSoon.isActive()) {
        m_researchSoon.stop();
        search();
    }
    if (m_matches.isEmpty())
        return;
    const int count = int(m_matches.size());
    m_current = ((m_current + by) % count + count) % count;
    showCurrent();
}

void FindBar::showCurrent() {
    const QString needle = txtFind->text();
    if (m_matches.isEmpty()) {
        LCount->setText(needle.isEmpty() ? QString() : QStringLiteral("No matches"));
        m_pane->setExtraSelections({});
        return;
    }
    LCount->setText(QStringLiteral("%1 of %2").arg(m_current + 1).arg(m_matches.size()));

    QTextCharFormat found;
    found.setBackground(QColor(0x80, 0x70, 0x10));
    found.setForeground(Qt::white);
    QTextCharFormat current;
    current.setBackground(QColor(0xF0, 0xC0, 0x20));
    current.setForeground(Qt::black);
    // Around the current match when there are too many to highlight them all.
    const int count = int(m_matches.size());
    const int first =
        std::clamp(m_current - MaxHighlighted / 2, 0, std::max(0, count - MaxHighlighted));
    const int last = std::min(count, first + MaxHighlighted);
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(last - first);
    for (int i = first; i < last; ++i) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(m_pane->document());
        selection.cursor.setPosition(m_matches.at(i));
        selection.cursor.setPosition(m_matches.at(i) + int(needle.size()), QTextCursor::KeepAnchor);
        selection.format = i == m_current ? current : found;
        selections.append(selection);
    }
    m_pane->setExtraSelections(selections);
    m_pane->showPosition(m_matches.at(m_current));
}

void FindBar::copyLine() {
    if (m_current < 0)
        return;
    const QTextBlock block = m_pane->document()->findBlock(m_matches.at(m_current));
    if (block.isValid())
        toClipboard(block.text());
}

bool FindBar::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == m_pane && paneKey(key))
            return true;
        if (watched == txtFind && barKey(key))
            return true;
    } else if (event->type() == QEvent::ShortcutOverride && watched == txtFind) {
        // The field's own Ctrl+L etc. must not take the bar's keys.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_F3) {
            event->accept();
            return false;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool FindBar::paneKey(QKeyEvent *event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (mods == Qt::ControlModifier && (key == Qt::Key_C || key == Qt::Key_Insert)) {
        toClipboard(m_pane->document()->toPlainText());
        return true;
    }
    if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_C) {
        toClipboard(m_pane->newestReply());
        return true;
    }
    if (mods == Qt::ControlModifier && key == Qt::Key_F) {
        openBar();
        return true;
    }
    if (mods == Qt::ControlModifier && key == Qt::Key_L) {
        m_pane->clearText();
        return true;
    }
    if (!isVisible())
        return false;
    // While a found line is shown, the movement keys scroll the view: the caret stays at the
    // end, and following it there would lose the line.
    QScrollBar *bar = m_pane->verticalScrollBar();
    const std::pair<int, QAbstractSlider::SliderAction> scrolls[] = {
        {Qt::Key_Up, QAbstractSlider::SliderSingleStepSub},
        {Qt::Key_Down, QAbstractSlider::SliderSingleStepAdd},
        {Qt::Key_PageUp, QAbstractSlider::SliderPageStepSub},
        {Qt::Key_PageDown, QAbstractSlider::SliderPageStepAdd},
        {Qt::Key_Home, QAbstractSlider::SliderToMinimum},
        {Qt::Key_End, QAbstractSlider::SliderToMaximum},
    };
    for (const auto &[scrollKey, action] : scrolls) {
        if (key == scrollKey && (mods & ~Qt::ShiftModifier) == Qt::NoModifier) {
            bar->triggerAction(action);
            return true;
        }
    }
    if (key == Qt::Key_Left || key == Qt::Key_Right)
        return true;
    return barKey(event);
}

bool FindBar::barKey(QKeyEvent *event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if ((isEnter(event) || key == Qt::Key_F3) && mods == Qt::NoModifier) {
        findNext();
        return true;
    }
    if ((isEnter(event) || key == Qt::Key_F3) && mods == Qt::ShiftModifier) {
        findPrevious();
        return true;
    }
    if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_L) {
        copyLine();
        return true;
    }
    if (key == Qt::Key_Escape && mods == Qt::NoModifier) {
        closeBar();
        return true;
    }
    if (mods == Qt::ControlModifier && key == Qt::Key_L) {
        m_pane->clearText();
        return true;
    }
    return false;
}
