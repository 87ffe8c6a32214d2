#include "CPersistentFrame.h"

#include "core/SettingsStore.h"

namespace {

const QString kRect = QStringLiteral("Rect");
const QString kIcon = QStringLiteral("icon");
const QString kMax = QStringLiteral("max");
const QString kBarStateName = QStringLiteral("Vantrel");

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
    setGeometry(placement.normalRect());
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
}

WindowPlacement CPersistentFrame::currentPlacement() const
{
    WindowPlacement placement;
    const Qt::WindowStates state = windowState();
    const bool restoredLater = state & (Qt::WindowMinimized | Qt::WindowMaximized);
    placement.setNormalRect(restoredLater && normalGeometry().isValid() ? normalGeometry()
                                                                        : geometry());
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
}
