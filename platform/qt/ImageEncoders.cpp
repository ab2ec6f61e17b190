#include "ImageEncoders.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <QSet>
#include <algorithm>
#include <new>
#include <string_view>

#include "GdiplusLibrary.h"

namespace {
// GDI+'s own class identifiers for its built-in encoders, so code that knows
// them finds them here; {557CF40n-1A04-11D3-9A73-0000F81EF32E}.
constexpr CLSID BuiltinEncoder(DWORD data1) { return {data1, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}}; }
// GDI+'s image format identifiers, {B96B3Cxx-0728-11D3-9D7B-0000F81EF32E}.
constexpr GUID BuiltinFormat(DWORD data1) { return {data1, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}}; }
// Our own, stable, for formats GDI+ has no encoder for:
// {4E49564F-5154-4000-8000-0000000000nn} and {4E49564F-4654-4000-8000-0000000000nn}.
constexpr CLSID OwnEncoder(BYTE n) { return {0x4E49564F, 0x5154, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, n}}; }
constexpr GUID OwnFormat(BYTE n) { return {0x4E49564F, 0x4654, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, n}}; }

const ImageEncoder kEncoders[] = {
    {BuiltinEncoder(0x557CF400), BuiltinFormat(0xB96B3CAB), "bmp", u"Built-in BMP Codec", u"BMP", u"*.BMP;*.DIB;*.RLE", u"image/bmp"},
    {BuiltinEncoder(0x557CF401), BuiltinFormat(0xB96B3CAE), "jpeg", u"Built-in JPEG Codec", u"JPEG", u"*.JPG;*.JPEG;*.JPE;*.JFIF", u"image/jpeg"},
    {BuiltinEncoder(0x557CF402), BuiltinFormat(0xB96B3CB0), "gif", u"Built-in GIF Codec", u"GIF", u"*.GIF", u"image/gif"},
    {BuiltinEncoder(0x557CF405), BuiltinFormat(0xB96B3CB1), "tiff", u"Built-in TIFF Codec", u"TIFF", u"*.TIF;*.TIFF", u"image/tiff"},
    {BuiltinEncoder(0x557CF406), BuiltinFormat(0xB96B3CAF), "png", u"Built-in PNG Codec", u"PNG", u"*.PNG", u"image/png"},
    {OwnEncoder(1), OwnFormat(1), "webp", u"Built-in WEBP Codec", u"WEBP", u"*.WEBP", u"image/webp"},
    {OwnEncoder(2), BuiltinFormat(0xB96B3CB5), "ico", u"Built-in ICO Codec", u"ICO", u"*.ICO", u"image/x-icon"},
    {OwnEncoder(3), OwnFormat(3), "cur", u"Built-in CUR Codec", u"CUR", u"*.CUR", u"image/x-win-bitmap"},
    {OwnEncoder(4), OwnFormat(4), "icns", u"Built-in ICNS Codec", u"ICNS", u"*.ICNS", u"image/x-icns"},
    {OwnEncoder(5), OwnFormat(5), "pbm", u"Built-in PBM Codec", u"PBM", u"*.PBM", u"image/x-portable-bitmap"},
    {OwnEncoder(6), OwnFormat(6), "pgm", u"Built-in PGM Codec", u"PGM", u"*.PGM", u"image/x-portable-graymap"},
    {OwnEncoder(7), OwnFormat(7), "ppm", u"Built-in PPM Codec", u"PPM", u"*.PPM", u"image/x-portable-pixmap"},
    {OwnEncoder(8), OwnFormat(8), "wbmp", u"Built-in WBMP Codec", u"WBMP", u"*.WBMP", u"image/vnd.wap.wbmp"},
    {OwnEncoder(9), OwnFormat(9), "xbm", u"Built-in XBM Codec", u"XBM", u"*.XBM", u"image/x-xbitmap"},
    {OwnEncoder(10), OwnFormat(10), "xpm", u"Built-in XPM Codec", u"XPM", u"*.XPM", u"image/x-xpixmap"},
};

std::size_t Units(const WCHAR* text) { return std::u16string_view(text).size() + 1; }

std::size_t StringUnits(const ImageEncoder& encoder)
{
    return Units(encoder.codecName) + Units(encoder.description) + Units(encoder.extensions) + Units(encoder.mimeType);
}

// Copies `text` with its terminator to `*cursor` and moves the cursor past it.
const WCHAR* Place(const WCHAR* text, WCHAR** cursor)
{
    WCHAR* start = *cursor;
    *cursor = std::copy_n(text, Units(text), start);
    return start;
}

// Formats Qt writes without a plugin, and formats whose plugin only reads.
const QSet<QByteArray> kBuiltIntoQt {"bmp", "pbm", "pgm", "ppm", "png", "xbm", "xpm"};
const QSet<QByteArray> kReadOnlyPlugins {"gif"};

// The formats the installed image plugins name in their metadata, which is
// read without loading them: asking Qt which formats it writes would load
// every plugin and the libraries behind it. Read once, as Qt reads its plugins.
QSet<QByteArray> ReadPluginFormats()
{
    QSet<QByteArray> formats;
    for (const QString& root : QCoreApplication::libraryPaths()) {
        const QDir folder(root + QStringLiteral("/imageformats"));
        for (const QString& name : folder.entryList(QDir::Files)) {
            const QJsonObject meta =
                QPluginLoader(folder.filePath(name)).metaData().value(QStringLiteral("MetaData")).toObject();
            for (const QJsonValue key : meta.value(QStringLiteral("Keys")).toArray())
                formats.insert(key.toString().toLatin1());
        }
    }
    return formats;
}
} // namespace

std::vector<const ImageEncoder*> AvailableEncoders()
{
    static const QSet<QByteArray> plugins = PictureServices::UsesPlugins() ? ReadPluginFormats() : QSet<QByteArray>();
    std::vector<const ImageEncoder*> available;
    for (const ImageEncoder& encoder : kEncoders) {
        const QByteArray format(encoder.qtFormat);
        if (kBuiltIntoQt.contains(format) || (plugins.contains(format) && !kReadOnlyPlugins.contains(format)))
            available.push_back(&encoder);
    }
    return available;
}

bool IsBuiltIntoQt(const CLSID& clsid)
{
    const ImageEncoder* encoder = FindEncoder(clsid);
    return encoder && kBuiltIntoQt.contains(QByteArray(encoder->qtFormat));
}

bool IsWrittenFromSections(std::string_view qtFormat) { return qtFormat == "bmp" || qtFormat == "png"; }

bool IsWrittenFromSections(const CLSID& clsid)
{
    const ImageEncoder* encoder = FindEncoder(clsid);
    return encoder && IsWrittenFromSections(encoder->qtFormat);
}

const ImageEncoder* FindEncoder(const CLSID& clsid)
{
    for (const ImageEncoder* encoder : AvailableEncoders()) {
        if (encoder->clsid == clsid)
            return encoder;
    }
    return nullptr;
}

UINT EncoderListSize(const std::vector<const ImageEncoder*>& encoders)
{
    std::size_t size = encoders.size() * sizeof(ImageCodecInfo);
    for (const ImageEncoder* encoder : encoders)
        size += StringUnits(*encoder) * sizeof(WCHAR);
    return static_cast<UINT>(size);
}

void WriteEncoderList(const std::vector<const ImageEncoder*>& encoders, ImageCodecInfo* buffer)
{
    auto* cursor = reinterpret_cast<WCHAR*>(buffer + encoders.size());
    for (const ImageEncoder* encoder : encoders) {
        auto* record = new (buffer++) ImageCodecInfo {};
        record->Clsid = encoder->clsid;
        record->FormatID = encoder->formatId;
        record->CodecName = Place(encoder->codecName, &cursor);
        record->FormatDescription = Place(encoder->description, &cursor);
        record->FilenameExtension = Place(encoder->extensions, &cursor);
        record->MimeType = Place(encoder->mimeType, &cursor);
        record->Flags = ImageCodecFlagsEncoder | ImageCodecFlagsSupportBitmap | ImageCodecFlagsBuiltin;
        record->Version = 1;
    }
}
