#pragma once

namespace lessora {

class LessonGrid;
class MainWindow;

// Gives every control of the main window the name a screen reader announces: a list is
// named by its label ("インターバル" with the value "なし"), a button by its caption or, for
// the arrow buttons, by what it does; the grid is named too.
void nameControlsForAccessibility(MainWindow& window);

// Tells screen readers which row is being spoken (row -1: none) through the grid's
// description, which they read out when it changes.
void announceSpokenRow(LessonGrid& grid, int row);

} // namespace lessora
