#include "PrintableName.h"

QByteArray PrintableName(const char* name)
{
    if (QByteArrayView(name).isValidUtf8())
        return name;
    QByteArray shown;
    for (const char* c = name; *c; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        shown += byte < 0x80 ? QByteArray(1, *c) : QByteArray("\\x") + QByteArray::number(byte, 16).rightJustified(2, '0');
    }
    return shown;
}
