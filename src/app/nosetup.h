#ifndef NOSETUP_H
#define NOSETUP_H

// Handed to a controller's protected constructor by test doubles: the controller keeps the form
// pointer and its own sub-objects, and sets up nothing else (no ports, sockets, timers running or
// widget wiring). The public constructors delegate to it and then do the real set-up.
struct NoSetup {
    explicit NoSetup() = default;
};

#endif // NOSETUP_H
