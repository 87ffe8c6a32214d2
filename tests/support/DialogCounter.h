#pragma once

#include <QApplication>
#include <QEvent>
#include <QProgressDialog>

// Counts the progress dialogs shown while it lives.
struct DialogCounter : QObject
{
    DialogCounter() { qApp->installEventFilter(this); }
    ~DialogCounter() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QProgressDialog*>(watched))
            ++shown;
        return false;
    }
    int shown = 0;
};
