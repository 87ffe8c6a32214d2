#pragma once

#include <QWidget>
#include <array>

class CSupportDoc;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;
struct ViewSettings;
namespace vantrel::compose {
enum class OutgoingMode;
}

// The "Mail setup" page of the Preferences sheet: the mail start-up and reading flags, the
// plain-text wrap length and how replies and forwards show the message they answer.
class cproppage2 : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMinWrapLength = 30;
    static constexpr int kMaxWrapLength = 132;
    static constexpr int kReplyOptions = 4;

    // `outgoing` is the mode of the outgoing message: a reply, a reply to all or a forward
    // already shows the answered message as it was chosen, so the choice is locked.
    cproppage2(const CSupportDoc& doc, const ViewSettings& view,
               vantrel::compose::OutgoingMode outgoing, QWidget* parent = nullptr);

    QCheckBox* logonCheck() const { return m_logon; }
    QCheckBox* gridCheck() const { return m_grid; }
    QCheckBox* readHtmlCheck() const { return m_readHtml; }
    QCheckBox* attachmentCheck() const { return m_attachment; }
    QCheckBox* runClientCheck() const { return m_runClient; }
    QLineEdit* wrapEdit() const { return m_wrap; }
    // The button of reply display option 1..4.
    QRadioButton* replyButton(int option) const;

    // Stores a wrap length typed as a whole number from 30 to 132; true when it changed.
    bool applyWrapLength(CSupportDoc& doc) const;
    // Stores the start-up, reading and forwarding flags and the reply display option.
    void applyMailFlags(CSupportDoc& doc, ViewSettings& view) const;
    // Stores the grid flag; true when it changed.
    bool applyGrid(CSupportDoc& doc, ViewSettings& view) const;

private:
    QCheckBox* addCheck(const QString& text, const char* name, bool checked);

    QCheckBox* m_logon = nullptr;
    QCheckBox* m_grid = nullptr;
    QCheckBox* m_readHtml = nullptr;
    QCheckBox* m_attachment = nullptr;
    QCheckBox* m_runClient = nullptr;
    QLineEdit* m_wrap = nullptr;
    QButtonGroup* m_reply = nullptr;
    std::array<QRadioButton*, kReplyOptions> m_replyButtons{};
};
