#pragma once

class QWidget;
class QString;

// Names for screen readers. Qt names a button by its text and a field by its buddy label;
// the workspace places its captions beside controls without making them buddies, and some
// controls carry only a tooltip. Every control that takes the focus or shows data and has no
// name of its own gets one, from the first of: its buddy label, the label just left of it or
// just above it in the same parent, its tooltip, its placeholder text, its tool button's
// command. Names given here follow their source: they are worked out again whenever a window
// shows or hides a control or a label's caption changes.
namespace AccessibleNames {

// Names the controls of `window` now; names given here before are brought up to date and
// names the program set itself are left alone.
void apply(QWidget* window);

// The name `control` has or would get from Qt itself (buddy label, button text); empty when
// Qt finds none.
QString ownName(const QWidget* control);

// Watches every window of the application from now on; later calls do nothing.
void install();

} // namespace AccessibleNames
