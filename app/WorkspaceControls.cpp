#include "WorkspaceControls.h"

#include "core/StringTable.h"
#include "topics/TopicTreeWidget.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>

namespace {

enum class Kind {
    Edit,
    MultiLineEdit,
    Label,
    Button,
    Combo,
    Tree,
    TopicTree,
    List,
    DatePicker,
    Calendar
};

struct FormControl
{
    int id;
    Kind kind;
    const char16_t* caption = nullptr;
};

constexpr FormControl kFormControls[] = {
    {1004, Kind::Edit},
    {1005, Kind::Edit},
    {1006, Kind::Tree},
    {1007, Kind::Button, u"&Create new topic file from above"},
    {1008, Kind::Button, u"Co&py message to outgoing email"},
    {1009, Kind::Button, u"Foo&ter"},
    {1010, Kind::Button, u"Heade&r"},
    {1011, Kind::List},
    {1012, Kind::Button, u"&Add Date"},
    {1013, Kind::Button, u"Tra&nsfer topic to email"},
    {1014, Kind::Button, u"&Update current topic file"},
    {1015, Kind::MultiLineEdit},
    {1016, Kind::Edit},
    {1017, Kind::MultiLineEdit},
    {1018, Kind::Edit},
    {1019, Kind::Label},
    {1020, Kind::Label},
    {1021, Kind::Label},
    {1022, Kind::Label},
    {1023, Kind::Edit},
    {1024, Kind::Edit},
    {1025, Kind::Edit},
    {1026, Kind::Label},
    {1027, Kind::Label},
    {1028, Kind::Label},
    {1029, Kind::Label},
    {1030, Kind::Label},
    {1031, Kind::Button, u"Show &All records"},
    {1032, Kind::Button, u"Sea&rch on Email address"},
    {1033, Kind::Button, u"Search on &Name"},
    {1034, Kind::Combo},
    {1035, Kind::Edit},
    {1036, Kind::Button, u"&Search using this selection"},
    {1037, Kind::Button, u"&Transfer facts to email"},
    {1038, Kind::MultiLineEdit},
    {1039, Kind::MultiLineEdit},
    {1040, Kind::MultiLineEdit},
    {1041, Kind::Edit},
    {1042, Kind::MultiLineEdit},
    {1043, Kind::Label},
    {1044, Kind::Label},
    {1045, Kind::TopicTree},
    {1046, Kind::Combo},
    {1047, Kind::Combo},
    {1048, Kind::Combo},
    {1049, Kind::Edit},
    {1050, Kind::Edit},
    {1051, Kind::Label},
    {1052, Kind::Label},
    {1053, Kind::Label},
    {1054, Kind::Label},
    {1055, Kind::Button, u" "},
    {1056, Kind::Button, u" "},
    {1057, Kind::Button, u" "},
    {1058, Kind::MultiLineEdit},
    {1059, Kind::Edit},
    {1060, Kind::Button, u"Find similar in &Knowledge base"},
    {1061, Kind::Button, u"Mail &To:..."},
    {1062, Kind::Button, u"Mail &Cc:..."},
    {1063, Kind::Button, u"Mail &Bcc:..."},
    {1067, Kind::Edit},
    {1068, Kind::Button, u"Find similar in Knowled&ge base"},
    {1069, Kind::Button, u"Find similar in Knowledge &base"},
    {1070, Kind::DatePicker},
    {1071, Kind::DatePicker},
    {1072, Kind::DatePicker},
    {1073, Kind::DatePicker},
    {1074, Kind::Calendar},
};

QWidget* makeControl(const FormControl& control, QWidget* form)
{
    const QString caption = control.caption ? QString::fromUtf16(control.caption) : QString();
    switch (control.kind) {
    case Kind::Edit:
        return new QLineEdit(form);
    case Kind::MultiLineEdit: {
        auto* edit = new QPlainTextEdit(form);
        edit->setTabChangesFocus(true);
        return edit;
    }
    case Kind::Label:
        return new QLabel(QStringLiteral(" "), form);
    case Kind::Button: {
        auto* button = new QPushButton(caption, form);
        button->setAutoDefault(false);
        return button;
    }
    case Kind::Combo:
        return new QComboBox(form);
    case Kind::Tree: {
        auto* tree = new QTreeWidget(form);
        tree->setHeaderHidden(true);
        return tree;
    }
    case Kind::TopicTree:
        return new TopicTreeWidget(form);
    case Kind::List: {
        // The message list sets its model and columns when a folder is opened.
        auto* list = new QTreeView(form);
        list->setRootIsDecorated(false);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setAllColumnsShowFocus(true);
        list->setUniformRowHeights(true);
        return list;
    }
    case Kind::DatePicker: {
        auto* picker = new QDateTimeEdit(form);
        picker->setCalendarPopup(true);
        return picker;
    }
    case Kind::Calendar: {
        auto* calendar = new QCalendarWidget(form);
        calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        return calendar;
    }
    }
    return nullptr;
}

} // namespace

QString controlToolTip(int id)
{
    const QString entry = StringTable::instance().text(id);
    const qsizetype cut = entry.indexOf(u'\n');
    return cut < 0 ? entry : entry.mid(cut + 1);
}

void createFormControls(QWidget* form, const std::function<void(int, QWidget*)>& add)
{
    for (const FormControl& definition : kFormControls) {
        QWidget* control = makeControl(definition, form);
        control->setObjectName(QStringLiteral("control%1").arg(definition.id));
        control->setToolTip(controlToolTip(definition.id));
        control->hide();
        add(definition.id, control);
    }
}

void applyFormFont(QWidget* form)
{
    // A narrow face keeps the longest captions inside their fixed 150-pixel buttons;
    // fontconfig picks the first of these that is installed.
    QFont font = form->font();
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans Narrow"),
                      QStringLiteral("Nimbus Sans Narrow"), QStringLiteral("Arial Narrow")});
    font.setStretch(QFont::SemiCondensed);
    font.setPixelSize(10);
    form->setFont(font);
}
