#include "MailSetupPage.h"

#include "compose/OutgoingState.h"
#include "core/CSupportDoc.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

using vantrel::compose::OutgoingMode;

namespace {

// The program's own captions, double blanks and trailing blanks included.
constexpr const char* kReplyCaptions[cproppage2::kReplyOptions] = {
    "Display &no message", "Display &reply header only",
    "Display original &message or a selection from it. ",
    "Display Original message with  ' >'   &prefix or a selection from it"};
constexpr int kReplyControls[cproppage2::kReplyOptions] = {1165, 1166, 1167, 1168};
constexpr int kShownReplyFallback = 2;

int flag(bool on)
{
    return on ? 1 : 0;
}

} // namespace

cproppage2::cproppage2(const CSupportDoc& doc, const ViewSettings& view, OutgoingMode outgoing,
                       QWidget* parent)
    : QWidget(parent)
    , m_reply(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("cproppage2"));
    setWindowTitle(QStringLiteral("Mail setup"));
    auto* layout = new QVBoxLayout(this);

    m_logon =
        addCheck(QStringLiteral("&Log on to Mail  at startup"), "c1130", view.logonAtStartup != 0);
    m_grid = addCheck(QStringLiteral("Display a &grid in the message list control"), "c1146",
                      view.gridOn == 1);
    m_readHtml = addCheck(
        QStringLiteral("Read the raw &html code text body instead of converting it to plain text."),
        "c1179", doc.intSetting(ReadHtmlCode) == 1);
    m_attachment =
        addCheck(QStringLiteral("Add the message &attachment when replying or forwarding. "),
                 "c1169", doc.intSetting(AddAttachmentToForward) == 1);
    m_runClient = addCheck(QStringLiteral("&Start Outlook (r) when you log onto Mail"), "c1235",
                           doc.intSetting(RunMailClientAtLogon) == 1);

    m_wrap = new QLineEdit(QString::number(doc.intSetting(PlainWrapLength)), this);
    m_wrap->setObjectName(QStringLiteral("c1162"));
    m_wrap->setMaximumWidth(m_wrap->fontMetrics().horizontalAdvance(QStringLiteral("00000000")));
    auto* wrapLabel = new QLabel(
        QStringLiteral("Set the maximum characters before &wrapping to the next line:"), this);
    wrapLabel->setBuddy(m_wrap);
    layout->addWidget(wrapLabel);
    layout->addWidget(m_wrap);

    auto* box = new QGroupBox(QStringLiteral("Reply and forward display options"), this);
    auto* buttons = new QVBoxLayout(box);
    for (int option = 1; option <= kReplyOptions; ++option) {
        auto* button = new QRadioButton(QString::fromLatin1(kReplyCaptions[option - 1]), box);
        button->setObjectName(QStringLiteral("c%1").arg(kReplyControls[option - 1]));
        m_reply->addButton(button, option);
        buttons->addWidget(button);
        m_replyButtons[static_cast<size_t>(option - 1)] = button;
    }
    const int stored = doc.intSetting(ReplyDisplayOptions);
    replyButton(stored >= 1 && stored <= kReplyOptions ? stored : kShownReplyFallback)
        ->setChecked(true);
    layout->addWidget(box);
    layout->addStretch(1);

    const bool answering = outgoing == OutgoingMode::Replying ||
                           outgoing == OutgoingMode::ReplyingAll ||
                           outgoing == OutgoingMode::Forwarding;
    for (QRadioButton* button : m_replyButtons)
        button->setEnabled(!answering);
    m_attachment->setEnabled(outgoing != OutgoingMode::Forwarding);
}

QCheckBox* cproppage2::addCheck(const QString& text, const char* name, bool checked)
{
    auto* check = new QCheckBox(text, this);
    check->setObjectName(QLatin1String(name));
    check->setChecked(checked);
    layout()->addWidget(check);
    return check;
}

QRadioButton* cproppage2::replyButton(int option) const
{
    return option >= 1 && option <= kReplyOptions ? m_replyButtons[static_cast<size_t>(option - 1)]
                                                  : nullptr;
}

bool cproppage2::applyWrapLength(CSupportDoc& doc) const
{
    bool number = false;
    const int length = m_wrap->text().trimmed().toInt(&number);
    if (!number || length < kMinWrapLength || length > kMaxWrapLength ||
        length == doc.intSetting(PlainWrapLength))
        return false;
    doc.setIntSetting(PlainWrapLength, length);
    return true;
}

void cproppage2::applyMailFlags(CSupportDoc& doc, ViewSettings& view) const
{
    view.logonAtStartup = flag(m_logon->isChecked());
    doc.setIntSetting(LogonAtStartup, view.logonAtStartup);
    doc.setIntSetting(ReplyDisplayOptions, m_reply->checkedId());
    doc.setIntSetting(AddAttachmentToForward, flag(m_attachment->isChecked()));
    doc.setIntSetting(ReadHtmlCode, flag(m_readHtml->isChecked()));
    doc.setIntSetting(RunMailClientAtLogon, flag(m_runClient->isChecked()));
}

bool cproppage2::applyGrid(CSupportDoc& doc, ViewSettings& view) const
{
    const int grid = flag(m_grid->isChecked());
    const bool changed = grid != view.gridOn;
    view.gridOn = grid;
    doc.setIntSetting(GridOn, grid);
    return changed;
}
