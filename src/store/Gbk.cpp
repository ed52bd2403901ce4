#include "store/Gbk.h"

#include "store/Error.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Gbk {

namespace {
constexpr const char* kCodec = "GBK";

bool encodes(QStringView text)
{
    QStringEncoder encoder(kCodec);
    const QByteArray bytes = encoder.encode(text); // encode() is lazy: convert to run it
    return encoder.isValid() && !encoder.hasError();
}
} // namespace

QString firstUnencodable(QStringView text)
{
    if (encodes(text))
        return {};
    // Rare path: walk the text by code point to name the character the user has to change.
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QStringView one = text.mid(i, len);
        if (!encodes(one))
            return one.toString();
        i += len;
    }
    return text.left(1).toString();
}

QByteArray encode(QStringView text)
{
    QStringEncoder encoder(kCodec);
    QByteArray bytes = encoder.encode(text);
    if (!encoder.isValid() || encoder.hasError()) {
        throw Error(QStringLiteral("文字中的字符“%1”无法用GBK编码保存，请删除或替换后重试。")
                        .arg(firstUnencodable(text)));
    }
    return bytes;
}

QString decode(QByteArrayView bytes)
{
    QStringDecoder decoder(kCodec);
    return decoder.decode(bytes);
}

} // namespace Gbk
