#ifndef APPFONTS_H
#define APPFONTS_H

// The form was laid out for Arial 8 pt and the Windows dialog font; Liberation Sans has the same
// metrics, so it stands in for both and the fixed-geometry texts fit as laid out.
// Sets the application font to Arial 8 pt.
void installApplicationFonts();

#endif // APPFONTS_H
