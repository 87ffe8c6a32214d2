#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Shift+F1 help: after the command, the next click names what to explain. A click on
// a control gives 0x10000 plus its id; a click on empty workspace gives 0x10065;
// a menu item or toolbar button gives 0x10000 plus its command id. Escape cancels.
class ContextHelpMode : public QObject
{
    Q_OBJECT

public:
    using HelpRequest = std::function<void(int context)>;

    ContextHelpMode(QWidget* workspace, HelpRequest request, QObject* parent = nullptr);
    ~ContextHelpMode() override;

    void enter();
    void leave();
    bool isActive() const { return m_active; }

    // Help for a command chosen while the mode is active; false when inactive.
    bool commandChosen(int commandId);

    // The help context of `widget`, the way the workspace's hit test sees it.
    int contextFor(const QWidget* widget) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_workspace;
    HelpRequest m_request;
    bool m_active = false;
};
