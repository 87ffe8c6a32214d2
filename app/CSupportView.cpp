#include "CSupportView.h"

#include "core/LifecycleHooks.h"
#include "core/MessageHelpers.h"
#include "core/StringTable.h"

#include <QTabBar>

namespace {

constexpr int kTabCaptionBase = 25500;

} // namespace

CSupportView::CSupportView(CSupportDoc& doc, LifecycleHooks& hooks, int screenWidth,
                           QWidget* parent)
    : QWidget(parent)
    , m_doc(doc)
    , m_hooks(hooks)
{
    setObjectName(QStringLiteral("supportView"));
    if (screenWidth <= kLowResolution) {
        ShowViewMessage(this, 20108, TitleWarning);
        screenWidth = 800;
    }
    m_wideLayout = screenWidth >= kWideLayoutFrom;
    m_layoutWidth = screenWidth;
    createTabs();
}

CSupportView::~CSupportView()
{
    SaveSettings();
}

QString CSupportView::tabCaption(int tab)
{
    static const std::array<QString, TabCount> literals = {
        QStringLiteral("Email Folders"),
        QStringLiteral("Read email"),
        QStringLiteral("Create Reply"),
        QStringLiteral("Send Email"),
        QStringLiteral("Support database"),
        QStringLiteral("Knowledge base"),
        QStringLiteral("Create new support topic"),
        QStringLiteral("Note Pad and Calender")};
    if (tab < 0 || tab >= TabCount)
        return {};
    return StringTable::instance().text(kTabCaptionBase + tab, literals[static_cast<size_t>(tab)]);
}

void CSupportView::createTabs()
{
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("tabControl"));
    m_tabs->setProperty("controlId", kTabControlId);
    m_tabs->setExpanding(false);
    m_tabs->setGeometry(2, 2, m_layoutWidth - 10, 22);
    m_tabs->setToolTip(StringTable::instance().text(kTabControlId));
    for (int tab = 0; tab < TabCount; ++tab)
        m_tabs->addTab(tabCaption(tab));
}

void CSupportView::OnInitialUpdate(CommandRouter& /*router*/)
{
    // Working copies of the settings the view owns while it runs. "Grid On" is on for
    // any value but 0 once loaded; out-of-range styles count as 0.
    m_settings.gridOn = m_doc.intSetting(GridOn) == 0 ? 0 : 1;
    const int monthStyle = m_doc.intSetting(MonthStyle);
    m_settings.monthStyle = monthStyle >= 0 && monthStyle <= 5 ? monthStyle : 0;
    m_doc.ValidateColumnMasks();
    m_settings.outgoingTextType = m_doc.intSetting(OutgoingTextType);
    for (int box = 0; box < BoxColourCount; ++box)
        m_settings.boxColours[static_cast<size_t>(box)] = m_doc.ReadBoxColour(box);
    m_settings.openDatabaseAtStart = m_doc.intSetting(OpenDatabaseAtStart);
    m_settings.logonAtStartup = m_doc.intSetting(LogonAtStartup);
    m_settings.autoRecordUpdate = m_doc.intSetting(AutoRecordUpdate);

    if (m_settings.openDatabaseAtStart == 1)
        LifecycleHooks::run(m_hooks.connectDatabase);
    const int preview = m_doc.intSetting(PreviewOn);
    m_settings.previewOn = preview == 0 ? 0 : 1;
    LifecycleHooks::run(m_hooks.loadNotepad);
    if (m_settings.logonAtStartup == 1)
        LifecycleHooks::run(m_hooks.logon);
}

int CSupportView::currentTab()
{
    const int selected = m_tabs->currentIndex();
    if (selected >= 0 && selected < TabCount)
        m_currentTab = selected;
    return m_currentTab;
}

void CSupportView::SelectTab(int tab)
{
    m_tabs->setCurrentIndex(tab);
}

void CSupportView::SaveSettings()
{
    if (m_settingsSaved)
        return;
    m_settingsSaved = true;
    const int failures = m_doc.SaveAllSettings(m_settings);
    for (int i = 0; i < failures; ++i)
        ShowViewMessage(this, 20143, TitleWarning);
}
