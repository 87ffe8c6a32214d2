#include "CSupportView.h"

#include "CRecipientBox.h"
#include "CTextBox.h"
#include "WorkspaceControls.h"
#include "compose/ComposeController.h"
#include "database/DatabaseController.h"
#include "print/PrintController.h"
#include "print/PrintHost.h"
#include "core/LifecycleHooks.h"
#include "core/MessageHelpers.h"
#include "core/StringTable.h"
#include "core/TextFiles.h"
#include "mail/MailController.h"
#include "notepad/NotepadController.h"
#include "rtf/RtfReader.h"
#include "topics/TopicController.h"
#include "topics/TopicTreeWidget.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QTabBar>
#include <QTreeView>
#include <QTreeWidget>

namespace {

constexpr int kTabCaptionBase = 25500;
constexpr int kResolutionWarning = 20108;
// After the desktop mail client starts, the main window comes back to the front.
constexpr int kBringToFrontDelay = 6000;

// Text limits of the boxes, in characters.
constexpr int kReadBoxLimit = 160480000;
// The other boxes hold what a topic file may bring in.
constexpr int kBoxLimit = int(kTextBoxLimit);

struct BoxDefinition
{
    int id;
    const char* objectName;
    int limit;
    int colourIndex;
};

constexpr BoxDefinition kTextBoxes[] = {
    {TextStreams::kReadBox, "readBox", kReadBoxLimit, EditInColour},
    {TextStreams::kOutgoingBox, "outgoingBox", kBoxLimit, EditOutColour},
    {TextStreams::kTopicBox, "topicBox", kBoxLimit, EditFileColour},
    {TextStreams::kNotepadBox, "notepadBox", kBoxLimit, NotePadColour},
};

constexpr int kRecipientBoxes[] = {1064, 1065, 1066};

// The shared labels, in slot order.
constexpr std::array<int, CSupportView::kLabelSlots> kLabelControls = {
    1019, 1020, 1021, 1022, 1026, 1027, 1028, 1043, 1051, 1052, 1053, 1054, 1029, 1030, 1044};

// The large database fields, placed once at start-up.
constexpr int kRecordFields[][2] = {
    {1015, WorkspaceTab::Database},      {1017, WorkspaceTab::Database},
    {1042, WorkspaceTab::Database},      {1038, WorkspaceTab::KnowledgeBase},
    {1039, WorkspaceTab::KnowledgeBase}, {1040, WorkspaceTab::KnowledgeBase},
    {1058, WorkspaceTab::KnowledgeBase}};

} // namespace

CSupportView::CSupportView(CSupportDoc& doc, LifecycleHooks& hooks, int screenWidth,
                           QWidget* parent)
    : QWidget(parent)
    , m_doc(doc)
    , m_hooks(hooks)
    , m_layout(screenWidth)
    , m_streams(this, [this](int id) { return control(id); })
{
    setObjectName(QStringLiteral("supportView"));
    if (screenWidth <= WorkspaceLayout::kLowResolution)
        ShowViewMessage(this, kResolutionWarning, TitleWarning);
    applyFormFont(this);
    // The window's scroll area gives the form its whole width and height, scrolling
    // only when that would cut a control.
    setMinimumSize(m_layout.formSize());
    resize(m_layout.formSize());
    initialiseLabels();
    createTabs();
    createFormControls(this, [this](int id, QWidget* control) { registerControl(id, control); });
    initialiseTimers();
}

QString CSupportView::tabCaption(int tab)
{
    static const std::array<QString, WorkspaceTab::Count> literals = {
        QStringLiteral("Email Folders"),
        QStringLiteral("Read email"),
        QStringLiteral("Create Reply"),
        QStringLiteral("Send Email"),
        QStringLiteral("Support database"),
        QStringLiteral("Knowledge base"),
        QStringLiteral("Create new support topic"),
        QStringLiteral("Note Pad and Calender")};
    if (tab < 0 || tab >= WorkspaceTab::Count)
        return {};
    return StringTable::instance().text(kTabCaptionBase + tab, literals[static_cast<size_t>(tab)]);
}

void CSupportView::initialiseLabels()
{
    for (auto& tab : m_labels)
        tab.fill(QStringLiteral(" "));
    const StringTable& strings = StringTable::instance();
    const auto set = [&](int tab, int slot, int id) {
        m_labels[tab][slot] = strings.text(id);
    };
    set(WorkspaceTab::EmailFolders, 0, 25001);
    set(WorkspaceTab::EmailFolders, 1, 25002);
    set(WorkspaceTab::SendEmail, 0, 25003);
    set(WorkspaceTab::Database, 12, 25004);
    set(WorkspaceTab::Database, 13, 25006);
    set(WorkspaceTab::Database, 14, 25007);
    set(WorkspaceTab::KnowledgeBase, 7, 25008);
    set(WorkspaceTab::KnowledgeBase, 14, 25007);
}

int CSupportView::labelControl(int slot)
{
    return slot >= 0 && slot < kLabelSlots ? kLabelControls[static_cast<size_t>(slot)] : 0;
}

QString CSupportView::labelText(int tab, int slot) const
{
    if (tab < 0 || tab >= WorkspaceTab::Count || slot < 0 || slot >= kLabelSlots)
        return {};
    return m_labels[static_cast<size_t>(tab)][static_cast<size_t>(slot)];
}

void CSupportView::setLabelText(int tab, int slot, const QString& text)
{
    if (tab >= 0 && tab < WorkspaceTab::Count && slot >= 0 && slot < kLabelSlots)
        m_labels[static_cast<size_t>(tab)][static_cast<size_t>(slot)] = text;
}

void CSupportView::createTabs()
{
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("tabControl"));
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(false);
    m_tabs->setToolTip(StringTable::instance().text(kTabControlId));
    for (int tab = 0; tab < WorkspaceTab::Count; ++tab)
        m_tabs->addTab(tabCaption(tab));
    registerControl(kTabControlId, m_tabs);
    connect(m_tabs, &QTabBar::currentChanged, this, [this] { OnTabChange(); });
}

void CSupportView::registerControl(int controlId, QWidget* control)
{
    control->setProperty("controlId", controlId);
    m_controls.insert(controlId, control);
}

CTextBox* CSupportView::textBox(int controlId) const
{
    return qobject_cast<CTextBox*>(control(controlId));
}

CRecipientBox* CSupportView::recipientBox(int controlId) const
{
    return qobject_cast<CRecipientBox*>(control(controlId));
}

QComboBox* CSupportView::selector() const
{
    return qobject_cast<QComboBox*>(control(kSelectorId));
}

void CSupportView::createTextBoxes(QMenu* textBoxMenu)
{
    for (const BoxDefinition& definition : kTextBoxes) {
        auto* box = new CTextBox(this);
        box->setObjectName(QLatin1String(definition.objectName));
        box->setPopupMenu(textBoxMenu);
        box->setTextLimit(definition.limit);
        box->setToolTip(controlToolTip(definition.id));
        box->hide();
        connect(box, &CTextBox::pasted, this, [this, box] { afterPaste(box); });
        registerControl(definition.id, box);
    }
    int kind = CRecipientBox::To;
    for (int id : kRecipientBoxes) {
        auto* box = new CRecipientBox(this);
        box->setObjectName(QStringLiteral("recipientBox%1").arg(id));
        box->setKind(kind++);
        box->setToolTip(controlToolTip(id));
        box->hide();
        registerControl(id, box);
    }
}

// The boxes' fonts, colours and line breaking as the settings ask.
void CSupportView::configureTextBoxes()
{
    for (int id : kRecipientBoxes)
        recipientBox(id)->ApplyStartFormat();
    for (const BoxDefinition& definition : kTextBoxes) {
        const quint32 colour = m_settings.boxColours[static_cast<size_t>(definition.colourIndex)];
        textBox(definition.id)->SetBackColour(colourFromRef(colour));
    }
    CTextBox* outgoing = textBox(TextStreams::kOutgoingBox);
    outgoing->SetWrapLength(m_doc.intSetting(PlainWrapLength));
    outgoing->SetMeasuringSize(m_doc.intSetting(PlainFontSize));
    outgoing->SetPlainSize(m_doc.intSetting(PlainFontSize));
    outgoing->SetPlainFace(m_doc.stringSetting(PlainFontName));
    outgoing->SetRichFont(m_doc.intSetting(RtfFontSize), Qt::black,
                          m_doc.stringSetting(RtfFontName));
    outgoing->SetStartFormat(true, OutgoingFormat());
    for (int id : {TextStreams::kReadBox, TextStreams::kTopicBox, TextStreams::kNotepadBox})
        textBox(id)->SetStartFormat(false, OutgoingFormat());
    if (OutgoingFormat() == 0) {
        outgoing->SetWrapMode(CTextBox::FixedWrap);
    } else {
        outgoing->ApplyRichFormat();
        outgoing->SetWrapMode(CTextBox::WindowWrap);
    }
    for (int id : {TextStreams::kReadBox, TextStreams::kTopicBox, TextStreams::kNotepadBox})
        textBox(id)->SetWrapMode(CTextBox::WindowWrap);
}

void CSupportView::configureDatePickers()
{
    for (int id : {1070, 1071}) {
        auto* picker = qobject_cast<QDateTimeEdit*>(control(id));
        if (!picker) {
            ShowViewMessage(this, 20061, TitleWarning);
            continue;
        }
        picker->setDateTime(QDateTime::currentDateTime());
        picker->setDisplayFormat(QStringLiteral("HH:mm  ddd  MMM  dd, yyyy"));
    }
}

void CSupportView::initialiseTimers()
{
    m_timers.setHandler(ViewTimers::kRequeryKnowledge,
                        [this] { LifecycleHooks::run(m_workspaceHooks.requeryKnowledge); });
    m_timers.setHandler(ViewTimers::kRequeryJobs,
                        [this] { LifecycleHooks::run(m_workspaceHooks.requeryJobs); });
    m_timers.setHandler(ViewTimers::kMarkAsRead, [this] { OnMarkReadTimer(); });
    m_timers.setHandler(ViewTimers::kBringToFront, [this] {
        window()->raise();
        window()->activateWindow();
    });
}

QTextEdit* CSupportView::topicBox()
{
    return textBox(TextStreams::kTopicBox);
}

QRect CSupportView::outgoingBoxScreenRect()
{
    // The outgoing box's place on "Send Email", also while another tab hides it.
    const QWidget* box = control(TextStreams::kOutgoingBox);
    const QRect place = m_layout.cell(TextStreams::kOutgoingBox, WorkspaceTab::SendEmail).rect;
    return box ? QRect(mapToGlobal(place.topLeft()), place.size()) : QRect();
}

void CSupportView::createTopics(CommandRouter& router, QMenu* topicTreeMenu)
{
    auto* tree = qobject_cast<TopicTreeWidget*>(control(1045));
    if (!tree)
        return;
    tree->setPopupMenu(topicTreeMenu);
    m_topics = std::make_unique<TopicController>(m_doc, *this, *tree);
    m_topics->bindCommands(router);
    m_topics->connectButtons([this](int id) { return control(id); });
    m_topics->connectSelector(selector());
    m_topics->fillTree();
}

CSupportView::~CSupportView()
{
    SaveSettings();
    // The mail session goes with the view; the application's hooks must not reach it.
    m_hooks.isLoggedOn = nullptr;
    m_hooks.logon = nullptr;
    m_hooks.logoff = nullptr;
    m_hooks.isComposing = nullptr;
    m_hooks.stopMessage = nullptr;
    m_hooks.loadNotepad = nullptr;
    m_hooks.saveNotepadIfModified = nullptr;
    m_compose.reset();
    m_mail.reset();
}

void CSupportView::createMail(CommandRouter& router, const ViewMenus& menus)
{
    using vantrel::mail::MailController;
    auto* tree = qobject_cast<QTreeWidget*>(control(1006));
    auto* list = qobject_cast<QTreeView*>(control(1011));
    if (!tree || !list)
        return;
    m_mail = std::make_unique<MailController>(
        m_doc, *this, MailController::Controls{tree, list, menus.folderTree, menus.message},
        QCoreApplication::applicationFilePath(), m_doc.programDirectory());
    m_mail->bindCommands(router);
    connect(m_mail.get(), &MailController::desktopClientStarted, this,
            [this] { m_timers.start(ViewTimers::kBringToFront, kBringToFrontDelay); });
    m_hooks.isLoggedOn = [this] {
        return m_mail->isLoggedOn();
    };
    m_hooks.logon = [this] {
        m_mail->OnLogon();
    };
    m_hooks.logoff = [this] {
        m_mail->logoffNow();
    };
    m_workspaceHooks.selectedMessageCount = [this] {
        return m_mail->selectedMessageCount();
    };
    m_workspaceHooks.markSelectedRead = [this] {
        m_mail->markSelectedRead();
    };
}

bool CSupportView::composing() const
{
    return LifecycleHooks::ask(m_hooks.isComposing);
}

bool CSupportView::showReadText(const QString& text, bool rich)
{
    CTextBox* box = textBox(TextStreams::kReadBox);
    if (!box)
        return false;
    if (!rich) {
        m_streams.StreamTextIn(TextStreams::kReadBox, false, text, 0);
        return true;
    }
    // The rich text of a message comes as its bytes, one character each.
    return text.startsWith(u"{\\rtf") && vnt::rtf::readRtf(text.toLatin1(), box->document());
}

void CSupportView::setSenderFields(const QString& name, const QString& address)
{
    for (const auto& [id, text] : {std::pair{1004, &name}, {1005, &address}}) {
        if (auto* edit = qobject_cast<QLineEdit*>(control(id)))
            edit->setText(*text);
    }
}

void CSupportView::stopReadTimer()
{
    m_timers.stop(ViewTimers::kMarkAsRead);
    m_waitArmed = false;
}

void CSupportView::OnInitialUpdate(CommandRouter& router, const ViewMenus& menus)
{
    // Working copies of the settings the view owns while it runs: any "Grid On" but 1
    // counts as off, and out-of-range styles count as 0.
    m_settings.gridOn = m_doc.intSetting(GridOn) == 1 ? 1 : 0;
    const int monthStyle = m_doc.intSetting(MonthStyle);
    m_settings.monthStyle = monthStyle >= 0 && monthStyle <= 5 ? monthStyle : 0;
    createTextBoxes(menus.textBox);
    createDatabase(router);
    createNotepad();
    createPrint(router);
    LifecycleHooks::run(m_workspaceHooks.fillRecordChoices);
    createTopics(router, menus.topicTree);
    createMail(router, menus);
    createCompose(router);
    m_doc.ValidateColumnMasks();
    if (m_database)
        m_database->InitDatabaseNames();

    m_settings.outgoingTextType = m_doc.intSetting(OutgoingTextType);
    for (int box = 0; box < BoxColourCount; ++box)
        m_settings.boxColours[static_cast<size_t>(box)] = m_doc.ReadBoxColour(box);
    configureTextBoxes();
    m_settings.openDatabaseAtStart = m_doc.intSetting(OpenDatabaseAtStart);
    m_settings.logonAtStartup = m_doc.intSetting(LogonAtStartup);
    m_settings.autoRecordUpdate = m_doc.intSetting(AutoRecordUpdate);
    bindCommands(router);

    applyLayout(WorkspaceTab::EmailFolders);
    for (const auto& [id, tab] : kRecordFields) {
        placeControl(id, tab, contentsRect().topLeft());
        control(id)->hide();
    }
    if (m_settings.openDatabaseAtStart == 1)
        LifecycleHooks::run(m_hooks.connectDatabase);

    const int preview = m_doc.intSetting(PreviewOn);
    m_settings.previewOn = 1;
    m_layout.setPreview(true);
    if (preview == 0)
        OnPreviewSwitch();

    if (m_workspaceHooks.applyCalendarStyle)
        m_workspaceHooks.applyCalendarStyle(m_settings.monthStyle);
    configureDatePickers();
    LifecycleHooks::run(m_hooks.loadNotepad);
    if (m_settings.logonAtStartup == 1)
        LifecycleHooks::run(m_hooks.logon);
}

void CSupportView::SaveSettings()
{
    if (m_settingsSaved)
        return;
    m_settingsSaved = true;
    for (const BoxDefinition& definition : kTextBoxes) {
        if (const CTextBox* box = textBox(definition.id))
            m_settings.boxColours[static_cast<size_t>(definition.colourIndex)] =
                colourToRef(box->GetBackColour());
    }
    const int failures = m_doc.SaveAllSettings(m_settings);
    for (int i = 0; i < failures; ++i)
        ShowViewMessage(this, 20143, TitleWarning);
}
