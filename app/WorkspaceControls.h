#pragma once

#include <QString>
#include <functional>

class QWidget;

// Creates the controls of the workspace form (ids 1004..1074) as children of `form`,
// hidden, with their captions and tooltips, and hands each to `add` with its id. The
// text boxes, recipient boxes and the tab control are created by the view itself.
void createFormControls(QWidget* form, const std::function<void(int id, QWidget* control)>& add);

// The font of the form: small enough for captions to fit the fixed control sizes.
void applyFormFont(QWidget* form);

// Tooltips are the string-table entry numbered by the control's id; an entry that also
// serves a menu command holds "status text\ntooltip".
QString controlToolTip(int id);
