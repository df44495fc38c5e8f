#include "create/StringFromFileSize.h"

#include <array>
#include <charconv>

QString stringFromFileSize(quint64 size)
{
    static constexpr std::array<const char*, 5> units = {"Bytes", "KB", "MB", "GB", "TB"};
    float value = static_cast<float>(size);
    std::size_t unit = 0;
    if (size >= 1000) {
        // Stops at "TB"; larger sizes print more than three integer digits.
        do {
            value = value / 1000.0f;
            ++unit;
        } while (value > 999.0f && unit + 1 < units.size());
    }
    // to_chars formats like "%.2f" in the C locale, whatever the user's locale.
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                   std::chars_format::fixed, 2);
    return QString::fromLatin1(buffer, end.ptr - buffer) + QLatin1Char(' ') +
           QLatin1String(units[unit]);
}
