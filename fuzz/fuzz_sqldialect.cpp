#include "store/Error.h"
#include "store/SqlDialect.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

// Translation either succeeds or reports an Error; quoted text always survives unchanged.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        SqlDialect::translate(text);
    } catch (const Error&) {
    }
    const QString literal = SqlDialect::quoted(text);
    const QString statement = QStringLiteral("select * from txyk where cname=") + literal;
    if (SqlDialect::translate(statement) != statement)
        std::abort();
    return 0;
}
