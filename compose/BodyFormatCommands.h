// The outgoing format commands (plain text 32824, rich text 32825) and the message options
// command (32800).
#pragma once

class CommandRouter;

namespace vantrel::compose {

class OutgoingState;

class BodyFormatCommands
{
public:
    static constexpr int kPlainText = 32824;
    static constexpr int kRichText = 32825;
    static constexpr int kMessageOptions = 32800;

    explicit BodyFormatCommands(OutgoingState& state);

    void bindCommands(CommandRouter& router);

    // 0 plain text, 1 rich text. Nothing when the format is that already; while a message is
    // being written the user is asked first, as its formatting may be lost.
    void SwitchFormat(int format);
    // "Mail options" for the outgoing message, and its options set on OK.
    void OnMessageOptions();

private:
    OutgoingState& m_state;
};

} // namespace vantrel::compose
