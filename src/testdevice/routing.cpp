// The one choice of the controller behind an item of the shared EDID box.
#include "sorvaneinterface.h"

namespace {
bool containsAny(const QString& text, std::initializer_list<const char*> words)
{
    for (const char* word : words) {
        if (text.contains(QLatin1String(word)))
            return true;
    }
    return false;
}
} // namespace

EdidRoute edidRouteFor(const QString& listText, const QString& product)
{
    // The order matters: a converter item wins over a scaler item, the Perrick product over
    // everything but a converter item.
    if (listText.contains(QLatin1String("Converter")))
        return EdidRoute::Converter;
    if (product.contains(QLatin1String("Perrick")))
        return EdidRoute::ConverterScaler;
    if (listText.contains(QLatin1String("Scaler")))
        return EdidRoute::Scaler;
    if (containsAny(product, {"Norrith", "Jovaris", "Surrow"}))
        return EdidRoute::JovarisScaler;
    if (product.contains(QLatin1String("Zarrick")))
        return EdidRoute::ZarrickScaler;
    if (product.contains(QLatin1String("Cavrosh")))
        return EdidRoute::CavroshScaler;
    if (containsAny(product, {"Farrund", "Harlisk", "Jorvale"}))
        return EdidRoute::Splitter;
    return EdidRoute::TestDevice;
}
