#pragma once

// Lets queued work (repaints, timers, network replies) run during a long loop, without taking the
// user's clicks and keys, which could re-enter the loop's own command.
void DoEvents();
