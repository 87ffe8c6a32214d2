#include "CPersistentFrame.h"

#include "core/SettingsStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>
#include <utility>

namespace {

const QString kRect = QStringLiteral("Rect");
const QString kIcon = QStringLiteral("icon");
const QString kMax = QStringLiteral("max");
const QString kBarStateName = QStringLiteral("Vantrel");
// A title bar and borders, to judge whether a window fits on the screen before the
// window manager has framed it.
constexpr QMargins kFrameAllowance(4, 28, 4, 4);
// The framework's bar state leaves out the status bar, so its visibility is kept beside.
const QString kStatusBarName = QStringLiteral("Vantrel status bar");

} // namespace

CPersistentFrame::CPersistentFrame(SettingsStore& store, QWidget* parent)
    : QMainWindow(parent)
    , m_store(store)
{}

WindowPlacement CPersistentFrame::readPlacement() const
{
    WindowPlacement placement;
    placement.setRectText(m_store.readString(SettingsStore::kWindowSize, kRect));
    placement.icon = m_store.readInt(SettingsStore::kWindowSize, kIcon, 0);
    placement.max = m_store.readInt(SettingsStore::kWindowSize, kMax, 0);
    return placement;
}

void CPersistentFrame::ActivateFrame(Qt::WindowState requested)
{
    if (!m_firstActivation) {
        setWindowState(requested);
        show();
        return;
    }
    m_firstActivation = false;

    const WindowPlacement placement = readPlacement();
    restoreState(m_store.readBytes(SettingsStore::kBarState, kBarStateName));
    if (m_store.readInt(SettingsStore::kBarState, kStatusBarName, 1) == 0)
        statusBar()->hide();
    if (m_store.readString(SettingsStore::kWindowSize, kRect).isEmpty()) {
        showFirstStart();
        return;
    }
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    placeOuterRect(reachableRect(placement.normalRect(), screens));
    switch (placement.show()) {
    case WindowPlacement::Minimised:
        // Comes back minimised without taking the focus from the user's other work.
        setAttribute(Qt::WA_ShowWithoutActivating, true);
        setWindowState(placement.restoresMaximised() ? Qt::WindowMinimized | Qt::WindowMaximized
                                                     : Qt::WindowMinimized);
        show();
        setAttribute(Qt::WA_ShowWithoutActivating, false);
        break;
    case WindowPlacement::Maximised:
        showMaximized();
        activateWindow();
        break;
    case WindowPlacement::Normal:
        show();
        activateWindow();
        break;
    }
    // Some platforms know the frame as soon as the window exists; others report it with
    // the first move after the window manager has framed it.
    noteFrameMargins(false);
}

void CPersistentFrame::showFirstStart()
{
    // Deliberately not the small fixed rectangle of older versions: that showed a
    // newcomer one corner of the form between scroll bars. The first window shows the
    // whole form, centred, and takes the whole screen where the form does not fit.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QMargins frame = m_frameMargins.isNull() ? kFrameAllowance : m_frameMargins;
    const FirstStartPlacement first =
        firstStartPlacement(firstStartSize().grownBy(frame), available);
    move(first.outer.topLeft());
    resize(first.outer.size().shrunkBy(frame));
    if (first.maximised)
        showMaximized();
    else
        show();
    activateWindow();
    noteFrameMargins(false);
}

void CPersistentFrame::placeOuterRect(const QRect& outer)
{
    // A position set with move() is the frame's; the size is the inner one, corrected
    // as soon as the frame's margins are known.
    move(outer.topLeft());
    resize(outer.size().shrunkBy(m_frameMargins));
    m_pendingOuterRect = m_frameMargins.isNull() ? outer : QRect();
}

void CPersistentFrame::noteFrameMargins(bool geometryChanged)
{
    // Margins are taken in the normal state only: a maximised window often has none.
    if (!isVisible() ||
        (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const QMargins margins(inner.left() - outer.left(), inner.top() - outer.top(),
                           outer.right() - inner.right(), outer.bottom() - inner.bottom());
    if (!margins.isNull())
        m_frameMargins = margins;
    if (!m_pendingOuterRect.isValid())
        return;
    if (!margins.isNull() && size() == m_pendingOuterRect.size()) {
        resize(std::exchange(m_pendingOuterRect, QRect()).size().shrunkBy(m_frameMargins));
        return;
    }
    // A window leaving the maximised state may still have its old size when the state
    // changes; once it has moved or resized in the normal state, what it shows stands.
    if (geometryChanged && (!margins.isNull() || outer != m_pendingOuterRect))
        m_pendingOuterRect = QRect();
}

void CPersistentFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        noteFrameMargins(false);
}

void CPersistentFrame::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    noteFrameMargins(true);
}

void CPersistentFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    noteFrameMargins(true);
}

WindowPlacement CPersistentFrame::currentPlacement() const
{
    WindowPlacement placement;
    const Qt::WindowStates state = windowState();
    const bool restoredLater = state & (Qt::WindowMinimized | Qt::WindowMaximized);
    if (m_pendingOuterRect.isValid())
        placement.setNormalRect(m_pendingOuterRect); // never shown normal since restored
    else if (restoredLater && normalGeometry().isValid())
        placement.setNormalRect(normalGeometry().marginsAdded(m_frameMargins));
    else
        placement.setNormalRect(frameGeometry());
    if (state & Qt::WindowFullScreen) {
        placement.icon = placement.max = 0;
    } else if (state & Qt::WindowMinimized) {
        placement.icon = 1;
        placement.max = state & Qt::WindowMaximized ? 1 : 0;
    } else if (state & Qt::WindowMaximized) {
        placement.max = 1;
    }
    return placement;
}

void CPersistentFrame::StorePlacement()
{
    if (m_placementStored)
        return;
    m_placementStored = true;
    const WindowPlacement placement = currentPlacement();
    m_store.writeString(SettingsStore::kWindowSize, kRect, placement.rectText());
    m_store.writeInt(SettingsStore::kWindowSize, kIcon, placement.icon);
    m_store.writeInt(SettingsStore::kWindowSize, kMax, placement.max);
    m_store.writeBytes(SettingsStore::kBarState, kBarStateName, saveState());
    m_store.writeInt(SettingsStore::kBarState, kStatusBarName, statusBar()->isVisibleTo(this));
    m_store.flush();
}
