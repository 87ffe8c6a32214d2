#pragma once

#include <span>

// One control's place on one tab.
struct ControlPlacement
{
    int id;
    int tab;
    int x, y, width, height;
};

// Every place of every control shown on some tab, for the wide or the 800 layout (the
// tab control, whose width follows the screen, is not among them).
std::span<const ControlPlacement> workspacePlacements(bool wide);

// The search line of the "Database" tab, whose controls the search state shows.
std::span<const ControlPlacement> searchLinePlacements(bool wide);
