#include "RenderCommand.h"

#include <QCoreApplication>
#include <QByteArray>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <sys/stat.h>

#include "CommandLine.h"
#include "DeepOptions.h"
#include "DeepRenderCommand.h"
#include "PrintableName.h"
#include "dialogs/DialogProgress.h"
#include "platform/Kernel32.h"
#include "platform/SectionWriters.h"
#include "platform/qt/GdiplusLibrary.h"
#include "platform/qt/ImageEncoders.h"
#include "render/CDibImage.h"
#include "render/FrameRenderer.h"
#include "render/RenderedBands.h"

namespace {
const char kNotText[] = "ce nom n'est pas valide dans l'encodage du système (UTF-8) ; aucun fichier n'a été écrit";

bool IsUtf8(const char* name) { return QByteArrayView(name).isValidUtf8(); }

int Refuse(const char* why, const char* name)
{
    std::fprintf(stderr, "nivo: %s : %s\n", PrintableName(name).constData(), why);
    return 1;
}

QByteArray FolderOf(const char* name)
{
    const QByteArray path(name);
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// Why `name` cannot take a picture, found before the picture is computed; null when it can.
const char* RefusalOf(const char* name)
{
    if (!IsUtf8(name))
        return kNotText;
    if (!CDibImage::CanEncode(name))
        return "extension inconnue ; utilisez par exemple .png, .jpg ou .bmp";
    struct stat info {};
    if (::stat(FolderOf(name).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return "le dossier n'existe pas";
    if (::stat(name, &info) == 0 && !S_ISREG(info.st_mode))
        return "ce n'est pas un fichier ordinaire";
    return nullptr;
}

// What the last error of a failed save means for the user.
const char* CauseOf(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL:
        return "disque plein ; rien n'a été enregistré";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "mémoire insuffisante pour enregistrer l'image";
    case ERROR_FILE_TOO_LARGE:
        return "image trop grande pour ce format";
    case ERROR_FILE_SYSTEM_LIMITATION:
        return "fichier plus grand que la taille permise à ce processus (ulimit -f) ; rien n'a été enregistré";
    case ERROR_TOO_MANY_OPEN_FILES:
        return "trop de fichiers ouverts (ulimit -n) ; rien n'a été enregistré";
    case ERROR_NO_SYSTEM_RESOURCES:
        return "aucun fil d'exécution ne peut démarrer (ulimit -u) pour coder ce format ; rien n'a été enregistré";
    case ERROR_CANT_RESOLVE_FILENAME:
        return "boucle de liens symboliques ; rien n'a été enregistré";
    case ERROR_ACCESS_DENIED:
        return "écriture refusée : le dossier ou le fichier est en lecture seule, ou c'est le lien symbolique d'un "
               "autre utilisateur dans un dossier partagé";
    case ERROR_WRITE_PROTECT:
        return "écriture refusée : le dossier ou le fichier est en lecture seule";
    case ERROR_PATH_NOT_FOUND:
        return "le dossier n'existe pas";
    case ERROR_BAD_FILE_TYPE:
        return "ce n'est pas un fichier ordinaire";
    case ERROR_FILENAME_EXCED_RANGE:
        return "nom de fichier trop long";
    case ERROR_NO_UNICODE_TRANSLATION:
        return kNotText;
    case ERROR_INVALID_DATA:
        return "le format n'a pas pu coder l'image";
    default:
        return "erreur d'écriture ; rien n'a été enregistré";
    }
}

int NoRoom(const CommandLine& line)
{
    std::fprintf(stderr, "nivo: %s\n", NoRoomMessage(line).toUtf8().constData());
    return 1;
}

int Save(CDibImage& image, const char* output)
{
    SetLastError(ERROR_SUCCESS);
    if (image.Save(output) != S_OK)
        return Refuse(CauseOf(GetLastError()), output);
    return 0;
}

// A BMP or PNG file written as its bands are computed; -1 where the picture
// must be made whole first.
int WriteInBands(const CommandLine& line, const char* output, RenderProgress& progress)
{
    const CLSID encoder = CDibImage::EncoderOf(output);
    if (!IsWrittenFromSections(encoder))
        return -1;
    try {
        const RenderedBands bands(line.width, line.height, {line.iterations, line.centerX, line.centerY, line.zoom},
                                  PictureServices::DotsPerMeter(), progress);
        if (!bands.Regular())
            return -1;
        progress.Begin(0);
        const int error = std::string_view(FindEncoder(encoder)->qtFormat) == "bmp"
                              ? SectionWriters::WriteBmp(output, bands)
                              : SectionWriters::WritePng(output, bands);
        progress.End();
        return error ? Refuse(CauseOf(LastErrorOfErrno(error)), output) : 0;
    } catch (const std::bad_alloc&) {
        return Refuse(CauseOf(ERROR_NOT_ENOUGH_MEMORY), output);
    }
}
} // namespace

int RunRenderCommand(const CommandLine& line, const char* output)
{
    if (const char* refusal = RefusalOf(output))
        return Refuse(refusal, output);
    // Qt's image writer asks every installed image plugin whether it would
    // rather write the file, loading each with its libraries, even in a format
    // Qt writes itself. This process saves one picture: for such a format the
    // plugins are kept out of sight (a sixth of a small render's time).
    if (IsBuiltIntoQt(CDibImage::EncoderOf(output)))
        QCoreApplication::setLibraryPaths({});
    DialogProgress progress;
    if (line.deep) {
        const std::unique_ptr<CDibImage> image = RenderDeep(line, progress);
        return image ? Save(*image, output) : NoRoom(line);
    }
    if (BeyondTheDoubles(line, line.zoom))
        std::fputs("nivo: attention : à ce grossissement, les nombres de la fenêtre ne distinguent plus les pixels "
                   "voisins ; l'image enregistrée est celle que la fenêtre montrerait, --deep donne la vraie image\n",
                   stderr);
    if (const int written = WriteInBands(line, output, progress); written >= 0)
        return written;
    FrameRenderer renderer;
    const std::unique_ptr<CDibImage> image =
        renderer.Render(line.width, line.height, {line.iterations, line.centerX, line.centerY, line.zoom}, progress);
    if (!image->m_bitmap)
        return NoRoom(line);
    return Save(*image, output);
}
