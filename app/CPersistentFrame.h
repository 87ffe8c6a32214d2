#pragma once

#include "WindowPlacement.h"

#include <QMainWindow>

class SettingsStore;

// A main window that remembers its size, position and state and the layout of its
// toolbars between runs ("Window size" and the bar state).
class CPersistentFrame : public QMainWindow
{
    Q_OBJECT

public:
    explicit CPersistentFrame(SettingsStore& store, QWidget* parent = nullptr);

    // Shows the window. The first call restores the stored placement and bar state;
    // later calls show it as asked.
    void ActivateFrame(Qt::WindowState requested = Qt::WindowNoState);

    // Stores the placement and the bar state; called once when the window goes away.
    void StorePlacement();

    WindowPlacement readPlacement() const;
    WindowPlacement currentPlacement() const;

    // The inner size the window takes on a first start, when no placement is stored.
    virtual QSize firstStartSize() const { return sizeHint(); }

protected:
    SettingsStore& settingsStore() { return m_store; }
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void placeOuterRect(const QRect& outer);
    void showFirstStart();
    void noteFrameMargins(bool geometryChanged);

    // The stored rectangle is the outer one, title bar and borders included; the
    // window manager's margins are only known once the window is shown.
    QMargins m_frameMargins;
    QRect m_pendingOuterRect;
    SettingsStore& m_store;
    bool m_firstActivation = true;
    bool m_placementStored = false;
};
