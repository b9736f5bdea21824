// The settings reader on settings files of any content.
#include "framework/settings.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zil::SettingsFile settings;
    settings.loadData(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    for (const auto &[section, key] : {std::pair {"Database", "Path"}, {"Help", "File Name"}}) {
        const QString value = settings.value(QLatin1String(section), QLatin1String(key));
        // Every line stands alone, so no value can span two.
        if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
            std::fprintf(stderr, "fuzz_settings: a value holds a line break\n");
            std::abort();
        }
    }
    return 0;
}
