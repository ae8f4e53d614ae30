#ifndef SIMEDID_H
#define SIMEDID_H

#include <QByteArray>

// A small valid base-block EDID ("VLM", EDID 1.3, digital) that simulated units store and hand
// out; `seed` goes into the product code and serial number so EDIDs can be told apart.
QByteArray simSampleEdid(int seed);

// What a unit stores as an EDID: one or two 128-byte blocks, each summing to 0.
bool simEdidBlocksSumToZero(const QByteArray& bytes);

// simSampleEdid announcing one extension, followed by a CEA extension block (the seed in its
// body); both blocks sum to 0.
QByteArray simTwoBlockEdid(int seed);

#endif // SIMEDID_H
