#ifndef DELAY_H
#define DELAY_H

// The one blocking wait of the serial and network exchanges. Returns when `ms` milliseconds
// (scaled by TimeScale) have passed, running the event loop meanwhile: until the deadline it
// processes events for up to 50 ms, then sleeps up to 5 ms; the last pass through the event loop
// comes after the last sleep. It never waits past the deadline.
// delay(1) makes at least one pass through the event loop.
void delay(int ms);

#endif // DELAY_H
