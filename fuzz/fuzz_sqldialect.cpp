#include "store/Error.h"
#include "store/SqlDialect.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

// Translation either succeeds or reports an Error; quoted text always survives (a NUL in it
// is spliced in as char(0), which SQLite cannot take inside a literal).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        SqlDialect::translate(text);
    } catch (const Error&) {
    }
    const QString literal = SqlDialect::quoted(text);
    const QString statement = QStringLiteral("select * from txyk where cname=") + literal;
    QString expected = statement; // a NUL is spliced in, everything else stays as it was
    expected.replace(QChar(0), QStringLiteral("'||char(0)||'"));
    if (SqlDialect::translate(statement) != expected)
        std::abort();
    return 0;
}
