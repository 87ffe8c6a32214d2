#include "ProgressFeedback.h"

#include "MessageHelpers.h"
#include "StringTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QProgressDialog>
#include <QWindow>
#include <algorithm>
#include <utility>

namespace {

constexpr int kApplicationName = 57344;
constexpr int kCancelCaption = 25693;
constexpr int kBarSteps = 1000;

ProgressFeedback::Timing g_timing;

bool isUserInput(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    case QEvent::Close:
        // The window manager's close button, not the program's; refused, so the window knows
        // it stays open.
        if (!event->spontaneous())
            return false;
        event->ignore();
        return true;
    default:
        return false;
    }
}

// While the windows are painted in the middle of the work, the user's clicks and keys are
// dropped, except those on the dialog when it offers Cancel. Dropped, not kept for later: a
// click made into a busy window must not turn into a command once the work is done.
class InputGate : public QObject
{
public:
    InputGate(QProgressDialog* dialog, bool dialogTakesInput)
        : m_dialog(dialog)
        , m_dialogTakesInput(dialogTakesInput)
    {
        qApp->installEventFilter(this);
    }
    ~InputGate() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return isUserInput(event) && !(m_dialogTakesInput && onDialog(watched));
    }

private:
    bool onDialog(QObject* watched) const
    {
        if (!m_dialog)
            return false;
        if (auto* widget = qobject_cast<QWidget*>(watched))
            return widget->window() == m_dialog;
        return watched == m_dialog->windowHandle();
    }

    QPointer<QProgressDialog> m_dialog;
    bool m_dialogTakesInput;
};

QString labelText(int labelId, qint64 done, qint64 total)
{
    QString text = MessageText(labelId);
    if (text.contains(QLatin1StringView("%2")))
        return text.arg(done).arg(total);
    return text.contains(QLatin1StringView("%1")) ? text.arg(done) : text;
}

} // namespace

ProgressFeedback::ProgressFeedback(QWidget* owner, int labelId, Cancel cancel)
    : m_owner(owner)
    , m_labelId(labelId)
    , m_cancelOffered(cancel == Cancel::Offered)
{
    m_started.start();
}

ProgressFeedback::~ProgressFeedback()
{
    delete m_dialog.data();
    if (m_cursorSet)
        QApplication::restoreOverrideCursor();
}

QProgressDialog* ProgressFeedback::dialog() const
{
    return m_dialog;
}

ProgressFeedback::Timing ProgressFeedback::setTiming(Timing timing)
{
    return std::exchange(g_timing, timing);
}

bool ProgressFeedback::step(qint64 done, qint64 total)
{
    if (m_cancelled)
        return false;
    if (!m_painted.isValid()) {
        // Without widgets (a command-line run) there is nothing to show.
        if (m_started.elapsed() < g_timing.showDelay || !qobject_cast<QApplication*>(qApp))
            return true;
        show();
    } else if (m_painted.elapsed() < g_timing.paintInterval || !m_dialog) {
        return true;
    }
    update(done, total);
    m_painted.start();
    return !m_cancelled;
}

void ProgressFeedback::show()
{
    QWidget* parent = m_owner ? m_owner->window() : nullptr;
    m_dialog = new QProgressDialog(parent);
    m_dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    m_dialog->setWindowTitle(StringTable::instance().text(kApplicationName));
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumDuration(0);
    if (m_cancelOffered) {
        m_dialog->setCancelButtonText(MessageText(kCancelCaption));
        QObject::connect(m_dialog, &QProgressDialog::canceled, m_dialog,
                         [this] { m_cancelled = true; });
        QObject::connect(m_dialog, &QDialog::rejected, m_dialog, [this] { m_cancelled = true; });
    } else {
        m_dialog->setCancelButton(nullptr);
    }
    // The arrow shows the dialog can be used while the hourglass says the work goes on.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_cursorSet = true;
    m_dialog->show();
}

void ProgressFeedback::update(qint64 done, qint64 total)
{
    const InputGate gate(m_dialog, m_cancelOffered);
    m_dialog->setLabelText(labelText(m_labelId, done, total));
    if (total > 0) {
        m_dialog->setRange(0, kBarSteps);
        m_dialog->setValue(
            static_cast<int>(std::clamp<qint64>(done, 0, total) * kBarSteps / total));
    } else {
        m_dialog->setRange(0, 0);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
