#include "store/DateText.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

// Date text parsing must accept exactly the dates that format() writes back unchanged.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto date = DateText::parse(text)) {
        if (!date->isValid())
            std::abort();
        if (DateText::parse(DateText::format(*date)) != date)
            std::abort();
    }
    return 0;
}
