#pragma once

#include <QDialog>

class CSupportDoc;
class CSupportView;
class QDialogButtonBox;
class QTabWidget;
class cdialprop4;
class cproppage1;
class cproppage2;
class cproppage3;
class cproppage5;
class cproppage6;
class cproppage7;

// The "Preferences" sheet: every setting a user can change, one page per subject. The pages
// work on copies; apply() (after OK) stores them and shows at once what must show at once.
class PreferencesSheet : public QDialog
{
    Q_OBJECT

public:
    // Page indexes, counted with the "Column " page present.
    enum Page {
        DatabasePage = 0,
        MailSetupPage,
        ColumnPage,
        CalendarPage,
        TopicPathsPage,
        MailProfilePage,
        PageSetupPage,
        PageCount
    };
    static constexpr int kDefaultStartPage = CalendarPage;

    // The start page of "Preferences..." on workspace tab `tab`.
    static int startPageForTab(int tab);
    // The tab index that shows `startPage`: without the "Column " page the later pages move
    // up by one.
    static int shownIndex(int startPage, bool columnPagePresent);

    // The "Column " page is there only while logged on to mail.
    PreferencesSheet(CSupportView& view, CSupportDoc& doc, int startPage,
                     QWidget* parent = nullptr);
    ~PreferencesSheet() override;

    QTabWidget* tabs() const { return m_tabs; }
    QDialogButtonBox* buttons() const { return m_buttons; }
    cproppage1* databasePage() const { return m_database; }
    cproppage2* mailSetupPage() const { return m_mailSetup; }
    cproppage3* columnPage() const { return m_columns; }
    cdialprop4* calendarPage() const { return m_calendar; }
    cproppage5* topicPathsPage() const { return m_topicPaths; }
    cproppage6* mailProfilePage() const { return m_profile; }
    cproppage7* pageSetupPage() const { return m_pageSetup; }

    // OK of the sheet: copies every page back in a fixed order, into the document, the
    // view's working copies and the process-wide values, nothing into the settings file.
    void apply();

private:
    void addPages();
    void applyTopicPaths();
    void applyWrapLength();
    void applyGrid();
    void applyColumns();

    CSupportView& m_view;
    CSupportDoc& m_doc;
    QTabWidget* m_tabs = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    cproppage1* m_database = nullptr;
    cproppage2* m_mailSetup = nullptr;
    cproppage3* m_columns = nullptr;
    cdialprop4* m_calendar = nullptr;
    cproppage5* m_topicPaths = nullptr;
    cproppage6* m_profile = nullptr;
    cproppage7* m_pageSetup = nullptr;
};
