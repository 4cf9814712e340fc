#pragma once
// The application's hint hide pause: how long a hint stays up. Set once at
// start-up, it holds for every window of the program, those opened later
// included.
namespace ui {

/// -1: a hint stays up while the pointer rests on its control (the only
/// pause the program uses); any other value in ms. Takes effect for every
/// widget of the application as its hint is about to show.
void SetHintHidePause(int ms);

} // namespace ui
