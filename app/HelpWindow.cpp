#include "HelpWindow.h"

#include "EmbeddedResources.h"
#include "HelpTopics.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString kHelpRoot = QStringLiteral("qrc") + EmbeddedResources::helpRoot() + u'/';

} // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QDialog(parent)
    , m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(tr("Vantrel Help"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(false);
    resize(720, 560);

    m_browser->setObjectName(QStringLiteral("helpPage"));
    m_browser->setAccessibleName(tr("Help page"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setSearchPaths({EmbeddedResources::helpRoot()});

    auto* back = new QPushButton(tr("&Back"), this);
    auto* forward = new QPushButton(tr("&Forward"), this);
    auto* contents = new QPushButton(tr("&Contents"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(contents, &QPushButton::clicked, this, [this] { showPage(HelpPages::kDefaultPage); });
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addWidget(contents);
    buttons->addStretch();
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::close);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
}

void HelpWindow::showPage(const QString& page)
{
    m_browser->setSource(QUrl(kHelpRoot + page));
    show();
    raise();
    activateWindow();
}

QString HelpWindow::currentPage() const
{
    QString page = m_browser->source().toString();
    if (page.startsWith(kHelpRoot))
        page.remove(0, kHelpRoot.size());
    return page;
}
