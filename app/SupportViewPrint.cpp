// Printing as the workspace offers it: the four text boxes and the two record forms.

#include "CSupportView.h"
#include "CTextBox.h"
#include "database/DatabaseController.h"
#include "print/PrintController.h"
#include "print/PrintHost.h"

namespace {

class ViewPrintHost : public vantrel::print::PrintHost
{
public:
    explicit ViewPrintHost(CSupportView& view)
        : m_view(view)
    {}

    QWidget* hostWidget() override { return &m_view; }
    QTextEdit* textBox(int boxId) override { return m_view.textBox(boxId); }
    bool databaseOpen() const override
    {
        return m_view.database() && m_view.database()->connection().anyOpen();
    }
    vantrel::print::RecordPrintForm recordForm(int printMode) override
    {
        return m_view.database() ? m_view.database()->printForm(printMode)
                                 : vantrel::print::RecordPrintForm();
    }

private:
    CSupportView& m_view;
};

} // namespace

void CSupportView::createPrint(CommandRouter& router)
{
    m_printHost = std::make_unique<ViewPrintHost>(*this);
    m_print = std::make_unique<vantrel::print::PrintController>(m_doc, *m_printHost);
    m_print->bindCommands(router);
}
