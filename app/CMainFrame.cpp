#include "CMainFrame.h"

#include "CSupportView.h"
#include "CommandIcons.h"
#include "ContextHelpMode.h"
#include "LockKeyState.h"
#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/LifecycleHooks.h"
#include "core/StringTable.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {

// Menu texts show these keys, which the window system or another command handles.
const QHash<int, QString>& displayedKeys()
{
    static const QHash<int, QString> keys = {
        {IdAppExit, QStringLiteral("Alt+F4")},
        {IdHelpFinder, QStringLiteral("F1")},
    };
    return keys;
}

constexpr int kIdleInterval = 250;
constexpr int kCapsIndicator = 59137;
constexpr int kNumIndicator = 59138;
constexpr int kScrollIndicator = 59139;
constexpr int kIdleMessage = 57345;

} // namespace

CMainFrame::CMainFrame(SettingsStore& store, CSupportDoc& doc, LifecycleHooks& hooks,
                       QWidget* parent)
    : CPersistentFrame(store, parent)
    , m_doc(doc)
    , m_hooks(hooks)
    , m_router(new CommandRouter(this))
    , m_lockKeys(std::make_unique<LockKeyState>())
{
    setObjectName(QStringLiteral("mainFrame"));
    // The caption is the application title alone.
    setWindowTitle(StringTable::instance().text(57344, QStringLiteral("Vantrel")));
    setWindowIcon(applicationIcon());

    createMenus();
    m_standardBar = createToolBar(QStringLiteral("Standard"), QStringLiteral("standardToolBar"),
                                  standardToolBarButtons());
    // Each bar starts on a row of its own, so the mail buttons are not pushed behind
    // the overflow of the long standard bar.
    addToolBarBreak(Qt::TopToolBarArea);
    m_mailBar = createToolBar(QStringLiteral("tool 1"), QStringLiteral("mailToolBar"),
                              mailToolBarButtons());
    m_mailBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_mailBarTextWidth = m_mailBar->sizeHint().width();
    createStatusBar();
    bindFrameCommands();

    qApp->installEventFilter(this);

    auto* idle = new QTimer(this);
    idle->setInterval(kIdleInterval);
    connect(idle, &QTimer::timeout, this, &CMainFrame::updateIdleState);
    idle->start();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::setView(CSupportView* view)
{
    m_view = view;
    // The form keeps its fixed layout and fills the window; a window smaller than its
    // controls scrolls it.
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("workspaceScroller"));
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    // Not a Tab stop of its own: the controls inside are, and focusing one scrolls to it.
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->setWidget(view);
    setCentralWidget(scroller);
    delete m_contextHelp;
    m_contextHelp = new ContextHelpMode(
        view, [this](int context) { requestHelp(context); }, this);
    m_router->setInterceptor(
        [this](int id) { return m_contextHelp && m_contextHelp->commandChosen(id); });
}

QSize CMainFrame::firstStartSize() const
{
    if (!m_view || !centralWidget())
        return CPersistentFrame::firstStartSize();
    // The bars' share is what the window's layout adds around the central widget; the
    // width is the form's, as the bars shorten or overflow on a narrower window.
    const QWidget* central = centralWidget();
    const QSize centralHint = central->sizeHint().expandedTo(central->minimumSizeHint());
    const int bars = layout()->totalSizeHint().height() - centralHint.height();
    const QSize form = m_view->minimumSize();
    return QSize(form.width(), form.height() + bars);
}

QAction* CMainFrame::createAction(int id, const QString& text)
{
    const StringTable& strings = StringTable::instance();
    auto* action = new QAction(text, this);
    action->setStatusTip(strings.statusPrompt(id));
    action->setToolTip(strings.toolTip(id).isEmpty() ? strings.statusPrompt(id)
                                                     : strings.toolTip(id));
    const QList<QKeySequence> keys = acceleratorsFor(id);
    if (!keys.isEmpty() && !m_router->action(id)) {
        action->setShortcuts(keys);
        // Accelerators work wherever the focus is in the window, menus closed or not.
        addAction(action);
    }
    if (displayedKeys().contains(id))
        action->setText(text + u'\t' + displayedKeys().value(id));
    m_router->registerAction(id, action);
    return action;
}

QMenu* CMainFrame::buildMenu(const QString& title, const QList<MenuItem>& items, QWidget* parent)
{
    auto* menu = new QMenu(title, parent);
    for (const MenuItem& item : items) {
        switch (item.kind) {
        case MenuItem::Separator:
            menu->addSeparator();
            break;
        case MenuItem::Submenu:
            menu->addMenu(buildMenu(item.text, item.items, menu));
            break;
        case MenuItem::Command: {
            QAction* existing = m_router->action(item.id);
            menu->addAction(existing && existing->text().section(u'\t', 0, 0) == item.text
                                ? existing
                                : createAction(item.id, item.text));
            break;
        }
        }
    }
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        // A checked item with a toolbar icon would show a framed icon, not a check mark.
        for (QAction* action : menu->actions())
            action->setIconVisibleInMenu(!action->isCheckable());
        m_router->updateMenu(menu);
    });
    return menu;
}

void CMainFrame::createMenus()
{
    for (const MenuItem& top : mainMenuBar())
        menuBar()->addMenu(buildMenu(top.text, top.items, menuBar()));
    m_textBoxMenu = buildMenu(QStringLiteral("menu RH"), textBoxPopupMenu(), this);
    m_textBoxMenu->setObjectName(QStringLiteral("textBoxMenu"));
    m_topicTreeMenu = buildMenu(QStringLiteral("Topic File"), topicTreePopupMenu(), this);
    m_topicTreeMenu->setObjectName(QStringLiteral("topicTreeMenu"));
    m_folderTreeMenu = buildMenu(QStringLiteral("RH Folder tree"), folderTreePopupMenu(), this);
    m_folderTreeMenu->setObjectName(QStringLiteral("folderTreeMenu"));
    m_messageMenu = buildMenu(QStringLiteral("Message"), messagePopupMenu(), this);
    m_messageMenu->setObjectName(QStringLiteral("messageMenu"));

    // Commands reached by keys only.
    for (int id : {IdHelp, IdDefaultHelp}) {
        if (!m_router->action(id))
            createAction(id, StringTable::instance().toolTip(id));
    }
    for (int id : {IdViewToolBar, IdViewStatusBar, IdMailToolBar})
        m_router->action(id)->setCheckable(true);
}

QToolBar* CMainFrame::createToolBar(const QString& title, const QString& objectName,
                                    const QList<int>& buttons)
{
    auto* bar = new QToolBar(title, this);
    bar->setObjectName(objectName);
    bar->setIconSize(QSize(16, 16));
    bar->setAllowedAreas(Qt::AllToolBarAreas);
    for (int id : buttons) {
        if (id == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* action = m_router->action(id);
        if (!action)
            action = createAction(id, StringTable::instance().toolTip(id));
        action->setIcon(commandIcon(id));
        action->setIconText(StringTable::instance().toolTip(id));
        bar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

void CMainFrame::createStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    m_messagePane = new QLabel(StringTable::instance().text(kIdleMessage), bar);
    m_messagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(m_messagePane, 1);
    for (int id : {kCapsIndicator, kNumIndicator, kScrollIndicator}) {
        auto* pane = new QLabel(bar);
        pane->setObjectName(QStringLiteral("indicator%1").arg(id));
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("SCRLW")));
        bar->addPermanentWidget(pane);
        m_indicators.insert(id, pane);
    }
}

void CMainFrame::bindFrameCommands()
{
    m_router->bind(
        IdViewToolBar, [this] { m_standardBar->setVisible(!m_standardBar->isVisible()); },
        [this] {
            return CommandState{true, m_standardBar->isVisible()};
        });
    m_router->bind(
        IdViewStatusBar, [this] { statusBar()->setVisible(!statusBar()->isVisible()); },
        [this] {
            return CommandState{true, statusBar()->isVisible()};
        });
    m_router->bind(
        IdMailToolBar, [this] { OnMailToolBar(); },
        [this] {
            return CommandState{true, m_mailBar->isVisible()};
        });
    m_router->bind(IdAppExit, [this] { close(); });
    m_router->bind(IdContextHelp, [this] {
        if (m_contextHelp)
            m_contextHelp->enter();
    });
}

void CMainFrame::OnMailToolBar()
{
    const bool visible = m_mailBar->isVisible();
    if (m_mailToolBarFlag == 1 && !visible) {
        m_mailBar->show();
    } else if (m_mailToolBarFlag == 1 && visible && m_mailBar->isFloating()) {
        m_mailBar->hide();
    } else {
        m_mailToolBarFlag = visible ? 0 : 1;
        m_mailBar->setVisible(!visible);
    }
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    CPersistentFrame::resizeEvent(event);
    fitMailBar();
}

void CMainFrame::fitMailBar()
{
    // The mail buttons carry their names where the row has room for all of them; on a
    // narrower window they show icons only rather than hiding behind the overflow.
    if (m_mailBar->isFloating() || m_mailBar->orientation() != Qt::Horizontal)
        return;
    const Qt::ToolButtonStyle style =
        width() >= m_mailBarTextWidth ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly;
    if (m_mailBar->toolButtonStyle() != style)
        m_mailBar->setToolButtonStyle(style);
}

void CMainFrame::requestHelp(int context)
{
    Q_EMIT helpRequested(context);
}

void CMainFrame::updateIdleState()
{
    m_router->updateAll();
    const std::pair<int, LockKeyState::Key> panes[] = {
        {kCapsIndicator, LockKeyState::CapsLock},
        {kNumIndicator, LockKeyState::NumLock},
        {kScrollIndicator, LockKeyState::ScrollLock}};
    for (const auto& [id, key] : panes)
        m_indicators.value(id)->setText(m_lockKeys->isOn(key) ? StringTable::instance().text(id)
                                                              : QString());
}

// The record moves (Ctrl + arrow keys) win over a focused edit box's own use of those
// keys while they are enabled, so records can be browsed from inside a field.
bool CMainFrame::isRecordMoveKey(const QKeyEvent* key) const
{
    static constexpr int kRecordMoves[] = {59648, 59649, 59650, 59651};
    const QKeySequence pressed(key->keyCombination());
    for (int id : kRecordMoves) {
        if (acceleratorsFor(id).contains(pressed))
            return m_router->state(id).enabled;
    }
    return false;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this &&
        isRecordMoveKey(static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    if (!m_lockKeys->needsKeyPresses())
        return CPersistentFrame::eventFilter(watched, event);
    // Only where the lock keys' state cannot be asked for: follow their presses. A key
    // event reaches the window first and then each widget it propagates to; count it
    // at the window only.
    if (event->type() == QEvent::KeyPress && watched->isWindowType() &&
        !static_cast<QKeyEvent*>(event)->isAutoRepeat())
        m_lockKeys->noteKeyPress(static_cast<QKeyEvent*>(event)->key());
    return CPersistentFrame::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    LifecycleHooks::run(m_hooks.saveNotepadIfModified);
    if (!m_doc.CanCloseFrame(m_view, m_hooks)) {
        event->ignore();
        return;
    }
    StorePlacement();
    if (m_view)
        m_view->SaveSettings();
    event->accept();
}
