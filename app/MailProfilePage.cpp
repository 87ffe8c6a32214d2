#include "MailProfilePage.h"

#include "core/CSupportDoc.h"

#include <QRadioButton>
#include <QVBoxLayout>

cproppage6::cproppage6(const CSupportDoc& doc, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("cproppage6"));
    setWindowTitle(QStringLiteral("Mail Profile"));
    m_default = new QRadioButton(QStringLiteral("Always use the &default mail profile"), this);
    m_default->setObjectName(QStringLiteral("c1188"));
    m_select = new QRadioButton(QStringLiteral("&Select profile when logging on"), this);
    m_select->setObjectName(QStringLiteral("c1189"));
    (doc.intSetting(ProfileOption) == 0 ? m_default : m_select)->setChecked(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_default);
    layout->addWidget(m_select);
    layout->addStretch(1);
}

void cproppage6::apply(CSupportDoc& doc) const
{
    doc.setIntSetting(ProfileOption, m_select->isChecked() ? 1 : 0);
}
