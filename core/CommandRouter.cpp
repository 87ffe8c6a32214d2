#include "CommandRouter.h"

#include <QAction>
#include <QMenu>
#include <utility>

CommandRouter::CommandRouter(QObject* parent)
    : QObject(parent)
{}

void CommandRouter::bind(int id, Handler handler, UpdateRule update)
{
    m_routes.insert(id, Route{std::move(handler), std::move(update)});
    for (QAction* action : m_actions.value(id))
        apply(id, action);
}

void CommandRouter::setTextRule(int id, TextRule rule)
{
    m_textRules.insert(id, std::move(rule));
    for (QAction* action : m_actions.value(id))
        apply(id, action);
}

CommandState CommandRouter::state(int id) const
{
    const auto it = m_routes.constFind(id);
    if (it == m_routes.cend())
        return {false, false};
    return it->update ? it->update() : CommandState{};
}

bool CommandRouter::execute(int id)
{
    if (m_interceptor && m_interceptor(id))
        return true;
    const auto it = m_routes.constFind(id);
    if (it == m_routes.cend() || !state(id).enabled)
        return false;
    // Copy: the handler may rebind its own command.
    const Handler handler = it->handler;
    if (handler)
        handler();
    Q_EMIT executed(id);
    updateAll();
    return true;
}

void CommandRouter::registerAction(int id, QAction* action)
{
    m_actions[id].append(action);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { execute(id); });
    apply(id, action);
}

void CommandRouter::apply(int id, QAction* action) const
{
    const CommandState current = state(id);
    action->setEnabled(current.enabled);
    if (action->isCheckable())
        action->setChecked(current.checked);
    const auto rule = m_textRules.constFind(id);
    const QString text = rule != m_textRules.cend() && *rule ? (*rule)() : QString();
    if (!text.isEmpty()) {
        const QString old = action->text();
        const qsizetype tab = old.indexOf(u'\t');
        action->setText(tab < 0 ? text : text + old.mid(tab));
    }
}

void CommandRouter::updateMenu(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        const int id = action->data().toInt();
        if (id != 0 && m_actions.value(id).contains(action))
            apply(id, action);
    }
}

void CommandRouter::updateAll()
{
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        for (QAction* action : it.value())
            apply(it.key(), action);
    }
}

QAction* CommandRouter::action(int id) const
{
    const auto it = m_actions.constFind(id);
    return it == m_actions.cend() || it->isEmpty() ? nullptr : it->first();
}

void CommandRouter::setInterceptor(std::function<bool(int)> interceptor)
{
    m_interceptor = std::move(interceptor);
}
