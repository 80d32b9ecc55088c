#pragma once
// ScreenChanges: the record that what the screen shows has changed, this UIKit's
// setNeedsDisplay. Every setter of a view's drawn state (frame, alpha, hidden, colours,
// subviews, a label's text and font, an image, a window shown or hidden, the appearance, …)
// calls markChanged() when the value really changed; SpringBoard's own drawing (its clock,
// icons, lock state, alerts) does the same.
//
// Whoever draws the screen for someone else sets a listener: it is called on the main run
// loop's thread once after any number of marks made in one turn (the first mark queues one
// block; the rest only count), never from inside a setter. Without a listener a mark is
// only counted: nothing is queued, so a process nobody watches pays nothing for it.
// Main thread only, as UIKit is.

#include <cstdint>
#include <functional>

namespace ScreenChanges {

void markChanged();
// How many marks were made in this process (tests see a setter mark).
std::uint64_t count();
// Replaces the listener (an empty function: none).
void setListener(std::function<void()> listener);

// Sets a field the screen shows, marking a change only when its value really changed (a
// layout that sets the same frames again changes nothing on the screen).
template <typename Value, typename Given>
void setDrawn(Value& field, const Given& value)
{
    if (field == value)
        return;
    field = value;
    markChanged();
}

} // namespace ScreenChanges
