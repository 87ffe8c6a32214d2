#include "AccessibleNames.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QTabBar>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

// What this file gave a widget, so a later pass can tell its own names from the program's.
const char* const kGivenName = "vantrelGivenAccessibleName";
const char* const kGivenDescription = "vantrelGivenAccessibleDescription";
// The caption a label or button showed when it was last painted.
const char* const kSeenCaption = "vantrelSeenCaption";

// How far from its control a caption may sit, in pixels: the workspace leaves up to 30 pixels
// between a caption and its field; a caption above a field sits a layout's spacing away.
constexpr int kBesideReach = 48;
constexpr int kAboveReach = 12;
constexpr int kAlignSlack = 12;

bool meaningful(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

QString plain(const QString& text)
{
    if (Qt::mightBeRichText(text))
        return QTextDocumentFragment::fromHtml(text).toPlainText().simplified();
    return text.simplified();
}

// A command or button caption without its mnemonic marks and trailing ellipsis.
QString commandText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != u'&')
            out += text.at(i);
        else if (i + 1 < text.size() && text.at(i + 1) == u'&')
            out += text.at(++i); // "&&" shows one ampersand
    }
    out = out.simplified();
    for (const QString& ellipsis : {QStringLiteral("..."), QStringLiteral("\u2026")}) {
        if (out.endsWith(ellipsis))
            out.chop(ellipsis.size());
    }
    return out.trimmed();
}

bool takesPart(const QWidget* w)
{
    if (w->isWindow() || qobject_cast<const QLabel*>(w) || qobject_cast<const QScrollBar*>(w))
        return false;
    if (w->focusPolicy() & Qt::TabFocus)
        return true;
    return qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QCalendarWidget*>(w) ||
           qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QTabBar*>(w) ||
           qobject_cast<const QLineEdit*>(w);
}

// Qt's own controls inside a composite one (a calendar's grid, a date box's text line).
bool isInternal(const QWidget* w)
{
    return w->objectName().startsWith(QLatin1String("qt_"));
}

QList<QWidget*> shownSiblings(const QWidget* control)
{
    QList<QWidget*> siblings;
    if (QWidget* parent = control->parentWidget()) {
        for (QObject* child : parent->children()) {
            auto* w = qobject_cast<QWidget*>(child);
            if (w && w != control && !w->isWindow() && !w->isHidden())
                siblings.append(w);
        }
    }
    return siblings;
}

bool sameRow(const QRect& a, const QRect& b)
{
    const auto within = [](int y, const QRect& r) {
        return y >= r.top() && y <= r.bottom();
    };
    return within(a.center().y(), b) || within(b.center().y(), a);
}

// The label nearest the control's left on its row, when nothing else stands between them.
QLabel* labelBeside(const QWidget* control)
{
    const QRect place = control->geometry();
    QWidget* nearest = nullptr;
    for (QWidget* w : shownSiblings(control)) {
        const QRect g = w->geometry();
        if (g.right() >= place.left() || place.left() - g.right() > kBesideReach ||
            !sameRow(g, place))
            continue;
        if (!nearest || g.right() > nearest->geometry().right())
            nearest = w;
    }
    return qobject_cast<QLabel*>(nearest);
}

QLabel* labelAbove(const QWidget* control, const QSet<const QLabel*>& taken)
{
    const QRect place = control->geometry();
    QWidget* nearest = nullptr;
    for (QWidget* w : shownSiblings(control)) {
        const QRect g = w->geometry();
        if (g.bottom() >= place.top() || place.top() - g.bottom() > kAboveReach ||
            g.right() < place.left() || g.left() > place.right())
            continue;
        if (!nearest || g.bottom() > nearest->geometry().bottom())
            nearest = w;
    }
    auto* label = qobject_cast<QLabel*>(nearest);
    if (!label || taken.contains(label) ||
        std::abs(label->geometry().left() - place.left()) > kAlignSlack)
        return nullptr;
    return label;
}

// Captions found in one pass over a window: a label beside one control is not also taken as
// the caption above another.
class Captions
{
public:
    QLabel* of(const QWidget* control)
    {
        if (QLabel* beside = labelBeside(control))
            return beside;
        return labelAbove(control, besideLabels(control->parentWidget()));
    }

private:
    const QSet<const QLabel*>& besideLabels(const QWidget* parent)
    {
        auto found = m_beside.find(parent);
        if (found != m_beside.end())
            return *found;
        QSet<const QLabel*> labels;
        for (QObject* child : parent->children()) {
            auto* w = qobject_cast<QWidget*>(child);
            if (w && !w->isHidden() && takesPart(w)) {
                if (const QLabel* label = labelBeside(w))
                    labels.insert(label);
            }
        }
        return *m_beside.insert(parent, labels);
    }

    QHash<const QWidget*, QSet<const QLabel*>> m_beside;
};

QString placeholderOf(const QWidget* w)
{
    if (auto* line = qobject_cast<const QLineEdit*>(w))
        return line->placeholderText();
    if (auto* edit = qobject_cast<const QPlainTextEdit*>(w))
        return edit->placeholderText();
    if (auto* edit = qobject_cast<const QTextEdit*>(w))
        return edit->placeholderText();
    if (auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->lineEdit() ? combo->lineEdit()->placeholderText() : combo->placeholderText();
    return {};
}

// The name of the composite control (or tool bar) that holds one of Qt's inner controls.
QString enclosingName(const QWidget* w)
{
    for (QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget()) {
        if (meaningful(p->accessibleName()))
            return p->accessibleName();
        if (qobject_cast<QToolBar*>(p) && meaningful(p->windowTitle()))
            return commandText(p->windowTitle());
    }
    return {};
}

QString derivedName(const QWidget* w, Captions& captions)
{
    if (w->parentWidget()) {
        if (QLabel* label = captions.of(w); label && meaningful(plain(label->text())))
            return plain(label->text());
    }
    if (const QString tip = plain(w->toolTip()); meaningful(tip))
        return tip;
    if (const QString placeholder = plain(placeholderOf(w)); meaningful(placeholder))
        return placeholder;
    if (auto* button = qobject_cast<const QToolButton*>(w); button && button->defaultAction()) {
        if (const QString command = commandText(button->defaultAction()->text());
            meaningful(command))
            return command;
    }
    if (isInternal(w))
        return enclosingName(w);
    // A scroll area that takes the focus stands for what it shows.
    if (auto* area = qobject_cast<const QScrollArea*>(w); area && area->widget()) {
        if (meaningful(area->widget()->accessibleName()))
            return area->widget()->accessibleName();
        return plain(w->window()->windowTitle());
    }
    return {};
}

void describe(QWidget* w, const QString& name)
{
    const QString given = w->property(kGivenDescription).toString();
    const QString current = w->accessibleDescription();
    if (!current.isEmpty() && current != given)
        return; // the program's own
    const QString tip = plain(w->toolTip());
    const QString description = meaningful(tip) && tip != name ? tip : QString();
    if (description != current)
        w->setAccessibleDescription(description);
    w->setProperty(kGivenDescription, description.isEmpty() ? QVariant() : QVariant(description));
}

void nameControl(QWidget* w, Captions& captions)
{
    const QString given = w->property(kGivenName).toString();
    const QString current = w->accessibleName();
    if (!current.isEmpty() && current != given)
        return; // the program's own
    const QString own = AccessibleNames::ownName(w);
    const QString name = meaningful(own) ? QString() : derivedName(w, captions);
    if (name != current)
        w->setAccessibleName(name);
    w->setProperty(kGivenName, name.isEmpty() ? QVariant() : QVariant(name));
    describe(w, name.isEmpty() ? own : name);
}

bool isTransient(const QWidget* window)
{
    const Qt::WindowType type = window->windowType();
    return type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen;
}

// True when a label's or button's caption differs from the one it showed last time.
bool captionChanged(QObject* watched)
{
    QString caption;
    if (auto* label = qobject_cast<QLabel*>(watched))
        caption = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(watched))
        caption = button->text();
    else
        return false;
    const QVariant seen = watched->property(kSeenCaption);
    if (seen.isValid() && seen.toString() == caption)
        return false;
    watched->setProperty(kSeenCaption, caption);
    return true;
}

// One application-wide filter: a window is named again, once the events of the moment have
// been handled, after anything in it was shown, hidden, focused or re-captioned.
class Watcher : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::FocusIn:
        case QEvent::ToolTipChange:
            if (watched->isWidgetType())
                schedule(static_cast<QWidget*>(watched)->window());
            break;
        case QEvent::Paint:
            if (captionChanged(watched))
                schedule(static_cast<QWidget*>(watched)->window());
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void schedule(QWidget* window)
    {
        if (!window || isTransient(window) || m_pending.contains(window))
            return;
        m_pending.append(window);
        if (m_pending.size() == 1)
            QTimer::singleShot(0, this, [this] { run(); });
    }

    void run()
    {
        const QList<QPointer<QWidget>> windows = std::exchange(m_pending, {});
        for (const QPointer<QWidget>& window : windows) {
            if (window)
                AccessibleNames::apply(window);
        }
    }

    QList<QPointer<QWidget>> m_pending;
};

} // namespace

namespace AccessibleNames {

QString ownName(const QWidget* control)
{
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return commandText(button->text());
    const QWidget* parent = control->parentWidget();
    if (!parent)
        return {};
    for (QObject* child : parent->children()) {
        auto* label = qobject_cast<QLabel*>(child);
        if (label && label->buddy() == control)
            return commandText(label->text());
    }
    if (auto* box = qobject_cast<const QGroupBox*>(parent))
        return commandText(box->title());
    return {};
}

void apply(QWidget* window)
{
    Captions captions;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (takesPart(w))
            nameControl(w, captions);
    }
}

void install()
{
    static QPointer<QObject> watcher;
    if (watcher || !qApp)
        return;
    watcher = new Watcher(qApp);
    qApp->installEventFilter(watcher);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible())
            apply(window);
    }
}

} // namespace AccessibleNames
