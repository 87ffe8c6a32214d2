// "Mail options" (dialog 144): sensitivity, importance and read receipt of the outgoing
// message.
#pragma once

#include "compose/OutgoingState.h"

#include <QDialog>

class QCheckBox;
class QComboBox;

namespace vantrel::compose {

class MessageOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kSensitivityId = 1113;
    static constexpr int kReadReceiptId = 1114;
    static constexpr int kImportanceId = 1115;

    // Shows `options`; a value the lists do not have shows as its default (sensitivity none,
    // importance normal).
    explicit MessageOptionsDialog(const MessageOptions& options, QWidget* parent = nullptr);

    // What the dialog shows now.
    MessageOptions options() const;

    QComboBox* sensitivityBox() const { return m_sensitivity; }
    QComboBox* importanceBox() const { return m_importance; }
    QCheckBox* readReceiptBox() const { return m_readReceipt; }

private:
    QComboBox* m_sensitivity;
    QComboBox* m_importance;
    QCheckBox* m_readReceipt;
};

} // namespace vantrel::compose
