#include "AddressDialog.h"

#include "UiHost.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <cstring>

namespace vnt::mapiui {

namespace {

HeldRow holdRow(const SRow& row)
{
    HeldRow held;
    for (ULONG i = 0; i < row.cValues; ++i) {
        const SPropValue& v = row.lpProps[i];
        HeldProp p;
        p.tag = v.ulPropTag;
        switch (PROP_TYPE(v.ulPropTag)) {
        case PT_STRING8:
        case PT_UNICODE:
            p.data = QByteArray(v.Value.lpszA ? v.Value.lpszA : "");
            break;
        case PT_BINARY:
            p.data = QByteArray(reinterpret_cast<const char*>(v.Value.bin.lpb),
                                static_cast<qsizetype>(v.Value.bin.cb));
            break;
        case PT_LONG:
        case PT_ERROR:
            p.number = v.Value.l;
            break;
        case PT_BOOLEAN:
            p.number = v.Value.b ? 1 : 0;
            break;
        default:
            continue; // nothing a recipient needs
        }
        if (PROP_TYPE(p.tag) != PT_ERROR) {
            held.push_back(p);
        }
    }
    return held;
}

const HeldProp* findHeld(const HeldRow& row, ULONG tag)
{
    for (const HeldProp& p : row) {
        if (PROP_ID(p.tag) == PROP_ID(tag)) {
            return &p;
        }
    }
    return nullptr;
}

QString textOf(const HeldRow& row, ULONG tag)
{
    const HeldProp* p = findHeld(row, tag);
    return p ? QString::fromUtf8(p->data) : QString();
}

// Every row of `table` with `columns`, copied out and the library's memory freed.
QVector<HeldRow> readAll(IMAPITable* table, std::initializer_list<ULONG> columns,
                         const VntAddressDialogCall& call)
{
    QVector<ULONG> tags{static_cast<ULONG>(columns.size())};
    tags.append(QVector<ULONG>(columns));
    QVector<HeldRow> rows;
    LPSRowSet set = nullptr;
    if (FAILED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(tags.data()), 0)) ||
        FAILED(table->QueryRows(0x0FFFFFFF, 0, &set)) || !set) {
        return rows;
    }
    for (ULONG i = 0; i < set->cRows; ++i) {
        rows.push_back(holdRow(set->aRow[i]));
        call.freeBuffer(set->aRow[i].lpProps);
    }
    call.freeBuffer(set);
    return rows;
}

} // namespace

AddressDialog::AddressDialog(VntAddressDialogCall* call, QWidget* parent)
    : QDialog(parent)
    , m_call(call)
{
    const ADRPARM& params = *call->params;
    setWindowTitle(params.lpszCaption ? QString::fromUtf8(params.lpszCaption) : tr("Address Book"));
    setModal(true);
    auto* grid = new QGridLayout(this);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("search"));
    m_containers = new QComboBox(this);
    m_containers->setObjectName(QStringLiteral("containers"));
    grid->addWidget(new QLabel(tr("Type name:"), this), 0, 0);
    grid->addWidget(m_search, 1, 0);
    grid->addWidget(new QLabel(tr("Show names from:"), this), 0, 1);
    grid->addWidget(m_containers, 1, 1);
    m_entries = new QTreeWidget(this);
    m_entries->setObjectName(QStringLiteral("entries"));
    m_entries->setHeaderLabels({tr("Name"), tr("E-mail address")});
    m_entries->setRootIsDecorated(false);
    m_entries->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid->addWidget(m_entries, 2, 0, 1, 2);

    const int wells = static_cast<int>(params.cDestFields);
    m_chosen.resize(wells);
    if (wells > 0 && params.lpszDestWellsTitle) {
        grid->addWidget(new QLabel(QString::fromUtf8(params.lpszDestWellsTitle), this), 3, 0);
    }
    for (int i = 0; i < wells; ++i) {
        const QString title = params.lppszDestTitles && params.lppszDestTitles[i]
                                  ? QString::fromUtf8(params.lppszDestTitles[i])
                                  : QString::number(i + 1);
        auto* button = new QPushButton(title + QStringLiteral(" ->"), this);
        button->setObjectName(QStringLiteral("wellButton%1").arg(i));
        auto* well = new QListWidget(this);
        well->setObjectName(QStringLiteral("well%1").arg(i));
        well->setMaximumHeight(70);
        grid->addWidget(button, 4 + i, 0, Qt::AlignTop);
        grid->addWidget(well, 4 + i, 1);
        m_wells.push_back(well);
        connect(button, &QPushButton::clicked, this, [this, i] { addSelectedTo(i); });
        // A double click takes a name out of its well again.
        connect(well, &QListWidget::itemDoubleClicked, this, [this, i, well](QListWidgetItem* it) {
            const int row = well->row(it);
            delete well->takeItem(row);
            m_chosen[i].remove(row);
        });
    }
    auto* buttons = new QDialogButtonBox(wells > 0 ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                                   : QDialogButtonBox::Close,
                                         this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, 4 + wells, 0, 1, 2);

    // The names the caller already has go into their wells (by recipient type).
    if (call->current) {
        for (ULONG e = 0; e < call->current->cEntries && wells > 0; ++e) {
            const ADRENTRY& entry = call->current->aEntries[e];
            const HeldRow row = holdRow(SRow{0, entry.cValues, entry.rgPropVals});
            const HeldProp* type = findHeld(row, PR_RECIPIENT_TYPE);
            int target = 0;
            for (int i = 0; type && params.lpulDestComps && i < wells; ++i) {
                if (params.lpulDestComps[i] == static_cast<ULONG>(type->number)) {
                    target = i;
                }
            }
            addRow(target, row);
        }
    }
    connect(m_containers, &QComboBox::currentIndexChanged, this, &AddressDialog::showContainer);
    connect(m_search, &QLineEdit::textEdited, this, &AddressDialog::seek);
    connect(m_entries, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (!m_wells.isEmpty()) {
            addSelectedTo(static_cast<int>(
                std::min<ULONG>(m_call->params->nDestFieldFocus, m_wells.size() - 1)));
        }
    });
    loadContainers();
}

void AddressDialog::loadContainers()
{
    MapiPtr<IABContainer> root;
    ULONG type = 0;
    MapiPtr<IMAPITable> hierarchy;
    if (FAILED(m_call->addrBook->OpenEntry(0, nullptr, nullptr, 0, &type, root.putUnknown())) ||
        FAILED(root->GetHierarchyTable(CONVENIENT_DEPTH, hierarchy.put()))) {
        return;
    }
    if (m_call->params->lpHierRestriction &&
        FAILED(hierarchy->Restrict(m_call->params->lpHierRestriction, 0))) {
        return;
    }
    for (const HeldRow& row :
         readAll(hierarchy.get(), {PR_ENTRYID, PR_DISPLAY_NAME, PR_CONTAINER_FLAGS}, *m_call)) {
        const HeldProp* flags = findHeld(row, PR_CONTAINER_FLAGS);
        const HeldProp* id = findHeld(row, PR_ENTRYID);
        if (id && flags && (flags->number & AB_RECIPIENTS)) {
            m_containerIds.push_back(id->data);
            m_containers->addItem(textOf(row, PR_DISPLAY_NAME));
        }
    }
    if (!m_containerIds.isEmpty()) {
        showContainer(0);
    }
}

void AddressDialog::showContainer(int index)
{
    m_entries->clear();
    m_rows.clear();
    if (index < 0 || index >= m_containerIds.size()) {
        return;
    }
    QByteArray id = m_containerIds[index];
    MapiPtr<IABContainer> container;
    ULONG type = 0;
    MapiPtr<IMAPITable> contents;
    if (FAILED(m_call->addrBook->OpenEntry(static_cast<ULONG>(id.size()),
                                           reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0,
                                           &type, container.putUnknown())) ||
        FAILED(container->GetContentsTable(0, contents.put()))) {
        return;
    }
    SSortOrderSet sort{1, 0, 0, {{PR_DISPLAY_NAME, TABLE_SORT_ASCEND}}};
    contents->SortTable(&sort, 0);
    m_rows = readAll(contents.get(),
                     {PR_ENTRYID, PR_DISPLAY_NAME, PR_EMAIL_ADDRESS, PR_ADDRTYPE, PR_OBJECT_TYPE,
                      PR_DISPLAY_TYPE, PR_SEARCH_KEY, PR_GIVEN_NAME, PR_SURNAME},
                     *m_call);
    for (const HeldRow& row : m_rows) {
        new QTreeWidgetItem(m_entries,
                            {textOf(row, PR_DISPLAY_NAME), textOf(row, PR_EMAIL_ADDRESS)});
    }
}

// Type-ahead: the first name that begins with what is typed becomes the selection.
void AddressDialog::seek(const QString& typed)
{
    for (int i = 0; i < m_entries->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_entries->topLevelItem(i);
        if (item->text(0).startsWith(typed, Qt::CaseInsensitive)) {
            m_entries->setCurrentItem(item);
            m_entries->scrollToItem(item);
            return;
        }
    }
}

void AddressDialog::addSelectedTo(int well)
{
    for (QTreeWidgetItem* item : m_entries->selectedItems()) {
        const int row = m_entries->indexOfTopLevelItem(item);
        if (row >= 0 && row < m_rows.size()) {
            addRow(well, m_rows[row]);
        }
    }
}

void AddressDialog::addRow(int well, HeldRow row)
{
    const HeldProp* id = findHeld(row, PR_ENTRYID);
    for (const HeldRow& have : m_chosen[well]) {
        const HeldProp* haveId = findHeld(have, PR_ENTRYID);
        if (id && haveId && id->data == haveId->data) {
            return; // once per well
        }
    }
    m_wells[well]->addItem(textOf(row, PR_DISPLAY_NAME));
    m_chosen[well].push_back(std::move(row));
}

HRESULT AddressDialog::takeChosen(LPADRLIST* list) const
{
    *list = nullptr;
    if (m_wells.isEmpty()) {
        return S_OK;
    }
    ULONG count = 0;
    for (const auto& well : m_chosen) {
        count += static_cast<ULONG>(well.size());
    }
    void* block = nullptr;
    if (m_call->allocateBuffer(static_cast<ULONG>(CbNewADRLIST(count ? count : 1)), &block) !=
        S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    auto* out = static_cast<LPADRLIST>(block);
    out->cEntries = 0;
    for (int w = 0; w < m_chosen.size(); ++w) {
        for (const HeldRow& chosen : m_chosen[w]) {
            HeldRow row = chosen;
            HeldProp type{PR_RECIPIENT_TYPE,
                          static_cast<qint64>(m_call->params->lpulDestComps
                                                  ? m_call->params->lpulDestComps[w]
                                                  : MAPI_TO),
                          {}};
            bool replaced = false;
            for (HeldProp& p : row) {
                if (PROP_ID(p.tag) == PROP_ID(PR_RECIPIENT_TYPE)) {
                    p = type;
                    replaced = true;
                }
            }
            if (!replaced) {
                row.push_back(type);
            }
            void* values = nullptr;
            if (m_call->allocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * row.size()),
                                       &values) != S_OK) {
                *list = out; // what was built so far is freed by the caller
                return MAPI_E_NOT_ENOUGH_MEMORY;
            }
            auto* props = static_cast<LPSPropValue>(values);
            ADRENTRY& entry = out->aEntries[out->cEntries++];
            entry = {0, static_cast<ULONG>(row.size()), props};
            for (int i = 0; i < row.size(); ++i) {
                props[i] = SPropValue{};
                props[i].ulPropTag = row[i].tag;
                const ULONG ptype = PROP_TYPE(row[i].tag);
                if (ptype == PT_STRING8 || ptype == PT_UNICODE || ptype == PT_BINARY) {
                    void* copy = nullptr;
                    m_call->allocateMore(static_cast<ULONG>(row[i].data.size() + 1), values, &copy);
                    std::memcpy(copy, row[i].data.constData(), row[i].data.size() + 1);
                    if (ptype == PT_BINARY) {
                        props[i].Value.bin = {static_cast<ULONG>(row[i].data.size()),
                                              static_cast<LPBYTE>(copy)};
                    } else {
                        props[i].Value.lpszA = static_cast<char*>(copy);
                    }
                } else if (ptype == PT_BOOLEAN) {
                    props[i].Value.b = row[i].number ? 1 : 0;
                } else {
                    props[i].Value.l = static_cast<LONG>(row[i].number);
                }
            }
        }
    }
    *list = out;
    return S_OK;
}

} // namespace vnt::mapiui

VNTMAPIUI_EXPORT HRESULT vntmapiui_address(VntAddressDialogCall* call)
{
    using namespace vnt::mapiui;
    if (!call || !call->addrBook || !call->params) {
        return MAPI_E_INVALID_PARAMETER;
    }
    call->chosen = nullptr;
    if (!canShowDialogs()) {
        return MAPI_E_USER_CANCEL;
    }
    AddressDialog dialog(call, dialogParent(call->uiParam));
    if (dialog.exec() != QDialog::Accepted) {
        return MAPI_E_USER_CANCEL;
    }
    return dialog.takeChosen(&call->chosen);
}
