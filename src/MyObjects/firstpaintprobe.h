#ifndef FIRSTPAINTPROBE_H
#define FIRSTPAINTPROBE_H

class QWidget;

// For the start-up benchmark: when PLEXA_REPORT_FIRST_PAINT is set, prints "PAINTED <rss-kB>"
// to standard output once `window` has been painted for the first time, and quits the
// application when the variable's value is "quit". Does nothing otherwise.
void installFirstPaintProbe(QWidget* window);

#endif // FIRSTPAINTPROBE_H
