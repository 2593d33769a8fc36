// The two buttons of a protection pair take turns in one place: the button
// for the blocked state moves onto the place of its partner before it shows.
#pragma once

class TWinControl;

// Shows exactly one of the pair: `blockedButton` (moved to the Top and Left of
// `unblockedButton`) when `blocked`, else `unblockedButton`.
void ShowProtectionPair(bool blocked, TWinControl* unblockedButton, TWinControl* blockedButton);
