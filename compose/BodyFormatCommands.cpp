#include "compose/BodyFormatCommands.h"

#include "compose/BodyWriter.h"
#include "compose/ComposeHost.h"
#include "compose/MessageOptionsDialog.h"
#include "compose/OutgoingState.h"
#include "core/CommandRouter.h"
#include "core/MessageHelpers.h"
#include "core/Prompter.h"
#include "mail/MailController.h"

#include <QAction>

namespace vantrel::compose {

namespace {

constexpr int kMsgNotLoggedOn = 20000;
constexpr int kMsgNoMessageForOptions = 20030;
constexpr int kTitleHowToProceed = 20130;
constexpr int kMsgLoseFormatting = 20131;
constexpr int kRichMenuText = 20154;
constexpr int kRichMenuTextByClient = 20155;

} // namespace

BodyFormatCommands::BodyFormatCommands(OutgoingState& state)
    : m_state(state)
{}

void BodyFormatCommands::bindCommands(CommandRouter& router)
{
    for (int format : {0, 1}) {
        const int id = format == 0 ? kPlainText : kRichText;
        router.bind(
            id, [this, format] { SwitchFormat(format); },
            [this, format] {
                return CommandState{true, m_state.host().outgoingFormat() == format};
            });
        if (QAction* action = router.action(id))
            action->setCheckable(true);
    }
    // While rich, the text says whether the store takes rich text or the mail client must.
    router.setTextRule(kRichText, [this] {
        const bool byClient = m_state.host().outgoingFormat() == 1 &&
                              !m_state.mail().session().capabilities().richText;
        return MessageText(byClient ? kRichMenuTextByClient : kRichMenuText);
    });
    router.bind(
        kMessageOptions, [this] { OnMessageOptions(); },
        [this] {
            return CommandState{m_state.message() != nullptr, false};
        });
}

void BodyFormatCommands::SwitchFormat(int format)
{
    ComposeHost& host = m_state.host();
    if (host.outgoingFormat() == format)
        return;
    if (m_state.mode() != OutgoingMode::None &&
        !AskViewYesNo(host.hostWidget(), kMsgLoseFormatting, kTitleHowToProceed)) {
        return;
    }
    host.setOutgoingFormat(format);
    host.applyOutgoingFormat(format);
}

void BodyFormatCommands::OnMessageOptions()
{
    QWidget* view = m_state.host().hostWidget();
    if (!m_state.isLoggedOn()) {
        ShowViewMessage(view, kMsgNotLoggedOn, TitleInformation);
        return;
    }
    if (m_state.mode() == OutgoingMode::None || !m_state.message()) {
        ShowViewMessage(view, kMsgNoMessageForOptions, TitleInformation);
        return;
    }
    MessageOptionsDialog dialog(m_state.options(), view);
    if (Prompter::current().runDialog(dialog) != QDialog::Accepted)
        return;
    m_state.options() = dialog.options();
    SetMessageOptions(m_state);
}

} // namespace vantrel::compose
