#ifndef FIRSTPAINTPROBE_H
#define FIRSTPAINTPROBE_H

class QWidget;

// For the start-up benchmark: when PLEXA_REPORT_FIRST_PAINT is set, prints "PAINTED <rss-kB>"
// to standard output once `window` has been painted for the first time; then quits the
// application when the variable's value is "quit", or ends the process at once when it is "exit"
// (for instruction counts that stop at the first paint). Does nothing otherwise.
void installFirstPaintProbe(QWidget* window);

#endif // FIRSTPAINTPROBE_H
