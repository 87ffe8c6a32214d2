#pragma once

#include <QHash>
#include <QObject>
#include <functional>

class QAction;
class QMenu;

// What a command's update rule says about it right now.
struct CommandState
{
    bool enabled = true;
    bool checked = false;
};

// The one routing table of the program: each command id is bound to the handler of the
// part that owns it and to an update rule. Commands without a binding are disabled,
// so the menus can list every command while its part is still missing.
class CommandRouter : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void()>;
    using UpdateRule = std::function<CommandState()>;
    using TextRule = std::function<QString()>;

    explicit CommandRouter(QObject* parent = nullptr);

    // Binds `id`; without an update rule the command is always enabled. A later binding
    // replaces an earlier one.
    void bind(int id, Handler handler, UpdateRule update = {});
    bool isBound(int id) const { return m_routes.contains(id); }
    // For a command whose menu text changes with the state: updates give its actions the
    // text `rule` answers (keeping a shortcut text after a tab) unless that is empty.
    void setTextRule(int id, TextRule rule);

    // Carries out the command when it is bound and enabled; false otherwise.
    bool execute(int id);
    CommandState state(int id) const;

    // An action that stands for `id` in a menu, toolbar or accelerator (a command may
    // have several, with different menu texts). Triggering it executes the command.
    void registerAction(int id, QAction* action);
    // The first action registered for `id`.
    QAction* action(int id) const;

    // Applies the update rules to the actions of `menu` (when it opens) or to all.
    void updateMenu(QMenu* menu);
    void updateAll();

    // While set, a triggered command is handed to the interceptor instead of being run
    // (context help on a menu item or toolbar button).
    void setInterceptor(std::function<bool(int id)> interceptor);

Q_SIGNALS:
    void executed(int id);

private:
    struct Route
    {
        Handler handler;
        UpdateRule update;
    };
    void apply(int id, QAction* action) const;

    QHash<int, Route> m_routes;
    QHash<int, TextRule> m_textRules;
    QHash<int, QList<QAction*>> m_actions;
    std::function<bool(int)> m_interceptor;
};
