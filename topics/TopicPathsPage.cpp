#include "TopicPathsPage.h"

#include "core/CSupportDoc.h"
#include "core/Prompter.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

cproppage5::cproppage5(const CSupportDoc& doc, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("cproppage5"));
    setWindowTitle(QStringLiteral("Edit file topic paths"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Change root folder for topic file paths"), this), 0,
                    0, 1, 2);
    for (int index = 0; index < kPaths; ++index) {
        auto* edit = new QLineEdit(doc.GetSupportPath(index), this);
        edit->setObjectName(QStringLiteral("topicPath%1").arg(index));
        // The boxes have no captions of their own; the tips name them, for screen readers too.
        if (index > 0)
            edit->setToolTip(QStringLiteral("Topic path %1").arg(index + 1));
        m_edits[static_cast<size_t>(index)] = edit;
        grid->addWidget(edit, index + 1, 0);
        if (index == 0) {
            // The main root always lives in the program directory.
            edit->setReadOnly(true);
            continue;
        }
        auto* button = new QPushButton(QStringLiteral("..."), this);
        button->setObjectName(QStringLiteral("browse%1").arg(index));
        button->setToolTip(QStringLiteral("Choose the folder of topic path %1").arg(index + 1));
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
        connect(button, &QPushButton::clicked, this, [this, index] { browse(index); });
        grid->addWidget(button, index + 1, 1);
    }
}

void cproppage5::browse(int index)
{
    if (index < 1 || index >= kPaths)
        return;
    QLineEdit* edit = m_edits[static_cast<size_t>(index)];
    const QString folder = Prompter::current().existingDirectory(
        this, QStringLiteral("Select a Starting Directory"), edit->text());
    if (!folder.isEmpty())
        edit->setText(folder);
}

bool cproppage5::apply(CSupportDoc& doc) const
{
    bool changed = false;
    for (int index = 1; index < kPaths; ++index) {
        QString text = m_edits[static_cast<size_t>(index)]->text();
        if (text == doc.GetSupportPath(index))
            continue;
        if (text.size() < kMinPathLength)
            text += QStringLiteral("unknown");
        doc.setSupportPath(index, text);
        changed = true;
    }
    return changed;
}
