#include "PrintableName.h"

namespace {
QByteArray Escaped(unsigned char byte) { return "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0'); }

// C1 controls, U+0080 to U+009F: some terminals take them as escapes too.
bool StartsC1Control(QByteArrayView bytes, qsizetype i)
{
    return static_cast<unsigned char>(bytes[i]) == 0xc2 && i + 1 < bytes.size() &&
           static_cast<unsigned char>(bytes[i + 1]) <= 0x9f;
}
} // namespace

// Control characters would move the cursor, clear the line or retitle the
// terminal: they are shown as \xNN too.
QByteArray PrintableName(const char* name)
{
    const QByteArrayView bytes(name);
    const bool utf8 = bytes.isValidUtf8();
    QByteArray shown;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (utf8 && StartsC1Control(bytes, i))
            shown += Escaped(byte) + Escaped(static_cast<unsigned char>(bytes[++i]));
        else if (byte < 0x20 || byte == 0x7f || (!utf8 && byte >= 0x80))
            shown += Escaped(byte);
        else
            shown += char(byte);
    }
    return shown;
}
