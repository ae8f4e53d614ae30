#include "cataloguepicklists.h"

#include "dialogs.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace CataloguePickLists {

void fillFilterList(QComboBox* box, const QList<int>& values)
{
    box->clear();
    box->addItem(QStringLiteral("Any"));
    for (int value : values)
        box->addItem(QString::number(value));
}

void fillTimingList(QComboBox* box, const QList<Timing>& timings, const TimingFilter& filter,
                    const std::function<QString(const Timing&)>& displayName)
{
    const QSignalBlocker blocker(box);
    box->clear();
    box->addItem(QStringLiteral("Select Timing from List"));
    for (const Timing& t : timings) {
        if (filter.accepts(t))
            box->addItem(displayName(t));
    }
    box->setEnabled(box->count() > 1);
}

void fillAudioList(QComboBox* box, const QList<AudioFormat>& formats)
{
    const QSignalBlocker blocker(box);
    box->clear();
    box->addItem(QStringLiteral("Select Audio Format from List"));
    for (const AudioFormat& f : formats)
        box->addItem(f.name);
    box->setEnabled(box->count() > 1);
}

void fillChromaticityList(QComboBox* box, const QList<Chromaticity>& sets)
{
    box->clear();
    box->addItem(QStringLiteral("Select from List"));
    for (const Chromaticity& c : sets)
        box->addItem(c.name);
    box->setEnabled(true);
}

bool storeChromaticity(QWidget* askParent, QWidget* messageParent, const QString& path, const Chromaticity& values,
                       ChromaticityCatalogue* catalogue, QComboBox* box)
{
    bool ok = false;
    const QString name = Dialogs::getText(askParent, QObject::tr("Chromaticity Name"), QObject::tr("Name"),
                                          QLineEdit::Normal, QString(), &ok);
    if (!ok || name.isEmpty() || catalogue->names.contains(name)) {
        Dialogs::warning(messageParent, QObject::tr("Chromaticity Name Required"),
                         QObject::tr("Please provide a unique name for the set of chromaticity values."));
        return false;
    }

    Chromaticity set = values;
    set.name = name;
    QString error;
    if (!appendChromaticityEntry(path, set, &error)) {
        Dialogs::critical(messageParent, QObject::tr("Chromaticity Not Stored"), error);
        return false;
    }
    catalogue->sets << set;
    catalogue->names.insert(name);
    box->addItem(name);
    return true;
}

bool removeChromaticity(QWidget* messageParent, const QString& path, ChromaticityCatalogue* catalogue, QComboBox* box)
{
    const int index = box->currentIndex();
    if (index < 1 || index > catalogue->sets.size())
        return false;
    const QString name = catalogue->sets.at(index - 1).name;
    QString error;
    if (!removeChromaticityEntry(path, name, &error)) {
        Dialogs::critical(messageParent, QObject::tr("Chromaticity Not Removed"), error);
        return false;
    }
    catalogue->names.remove(name);
    catalogue->sets.removeAt(index - 1);
    box->removeItem(index);
    return true;
}

} // namespace CataloguePickLists
