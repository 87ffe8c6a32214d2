#include "TopicNameDialog.h"

#include "core/StringTable.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct ModeTexts
{
    int caption;
    int prompt;
};

ModeTexts textsFor(TopicNameDialog::Mode mode)
{
    switch (mode) {
    case TopicNameDialog::RenameFile:
        return {20159, 20160};
    case TopicNameDialog::RenameFolder:
        return {20161, 20162};
    default:
        return {20163, 20164};
    }
}

} // namespace

TopicNameDialog::TopicNameDialog(Mode mode, const QString& current, QWidget* parent)
    : QDialog(parent)
    , m_mode(mode)
    , m_edit(new QLineEdit(current, this))
{
    setObjectName(QStringLiteral("topicNameDialog"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const StringTable& strings = StringTable::instance();
    const ModeTexts texts = textsFor(mode);
    setWindowTitle(strings.text(texts.caption));

    auto* fixed = new QLabel(
        QStringLiteral("Pease give the folder or file a name based on what you would like "
                       "stored within it"),
        this);
    fixed->setWordWrap(true);
    auto* prompt = new QLabel(strings.text(texts.prompt), this);
    prompt->setBuddy(m_edit);
    m_edit->setMaxLength(kMaxNameLength);
    m_edit->selectAll();

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QDialogButtonBox::Ok);
    m_second = mode == NewFolder
                   ? buttons->addButton(tr("&Random name"), QDialogButtonBox::RejectRole)
                   : buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_second, &QPushButton::clicked, this,
            [this] { m_randomRequested = m_mode == NewFolder; });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fixed);
    layout->addWidget(prompt);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    resize(360, sizeHint().height());
}

QString TopicNameDialog::name() const
{
    return m_edit->text();
}

void TopicNameDialog::setName(const QString& name)
{
    m_edit->setText(name);
}
