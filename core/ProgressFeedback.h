#pragma once

#include <QElapsedTimer>
#include <QPointer>

class QProgressDialog;
class QWidget;

// Feedback for work the user's thread does in one go (moving thousands of messages, printing
// hundreds of pages). Nothing shows for the first half second; then a window-modal progress
// dialog does, with Cancel only where stopping part way leaves everything sound. step() keeps
// the windows painted; meanwhile user input reaches the dialog alone, so no other command can
// start in the middle of the work.
class ProgressFeedback
{
public:
    enum class Cancel { NotOffered, Offered };

    // `labelId`: the string-table text above the bar; "%1" and "%2" in it become the count
    // done and the total.
    ProgressFeedback(QWidget* owner, int labelId, Cancel cancel = Cancel::NotOffered);
    ~ProgressFeedback();
    ProgressFeedback(const ProgressFeedback&) = delete;
    ProgressFeedback& operator=(const ProgressFeedback&) = delete;

    // `done` of `total` are finished (a busy bar while the total is 0 or unknown). Costs a
    // clock read unless the windows are due to be painted. False once the user cancelled.
    bool step(qint64 done, qint64 total = 0);
    bool cancelled() const { return m_cancelled; }
    // The dialog once it shows, else null.
    QProgressDialog* dialog() const;

    // How long work runs before the dialog shows, and at most how often the windows are then
    // painted and Cancel looked at, in milliseconds. Tests set both to 0 (every step paints);
    // returns the timing it replaces.
    struct Timing
    {
        int showDelay = 500;
        int paintInterval = 50;
    };
    static Timing setTiming(Timing timing);

private:
    void show();
    void update(qint64 done, qint64 total);

    QPointer<QWidget> m_owner;
    int m_labelId;
    bool m_cancelOffered;
    bool m_cancelled = false;
    bool m_cursorSet = false;
    QElapsedTimer m_started;
    QElapsedTimer m_painted;
    QPointer<QProgressDialog> m_dialog;
};
