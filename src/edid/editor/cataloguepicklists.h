#ifndef CATALOGUEPICKLISTS_H
#define CATALOGUEPICKLISTS_H

#include "edidcatalogues.h"

#include <functional>

class QComboBox;
class QWidget;

// Fill the editor's pick lists from the catalogues. The lists' signals are blocked while they are
// refilled, so refilling never counts as a pick.
namespace CataloguePickLists {

// "Any" followed by the values.
void fillFilterList(QComboBox* box, const QList<int>& values);
// "Select Timing from List", then the display name of every entry the filter lets through;
// enabled when it offers at least one timing.
void fillTimingList(QComboBox* box, const QList<Timing>& timings, const TimingFilter& filter,
                    const std::function<QString(const Timing&)>& displayName);
// "Select Audio Format from List", then every entry's name.
void fillAudioList(QComboBox* box, const QList<AudioFormat>& formats);
// "Select from List", then every set's name; always enabled.
void fillChromaticityList(QComboBox* box, const QList<Chromaticity>& sets);

// Asks for a name for `values` (parent `askParent`), refuses an empty or used name, appends the
// set to the file at `path`, then to `catalogue` and `box`. Every refusal and failure is shown
// (parent `messageParent`); nothing changes unless the file was written. Returns whether stored.
bool storeChromaticity(QWidget* askParent, QWidget* messageParent, const QString& path, const Chromaticity& values,
                       ChromaticityCatalogue* catalogue, QComboBox* box);
// Removes the set picked in `box` (not the prompt) from the file, then from `catalogue` and `box`.
// A failed write is shown and nothing changes. Returns whether removed.
bool removeChromaticity(QWidget* messageParent, const QString& path, ChromaticityCatalogue* catalogue, QComboBox* box);

} // namespace CataloguePickLists

#endif // CATALOGUEPICKLISTS_H
