#pragma once
// A file written unseen beside the one it is to replace, and put in its
// place whole by Commit: until then, and for good when a write fails, the
// old file (or its absence) stays as it was. The new file has no name until
// Commit (Linux O_TMPFILE), so that a crash leaves nothing behind; where the
// file system cannot do that, it is a short hidden name in the same folder,
// removed on SIGINT and SIGTERM. Names are used relative to the folder, so
// that any name the system allows can be written. The new file keeps the old
// one's owner and mode where the system allows it.
// Every failure is kept as an errno value, for the caller to name its cause.
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>

class StagedFile {
public:
    enum class Staging { Unnamed, Named };
    // Follow: a symbolic link stays and the file it names is replaced (a name
    // the user chose), unless the link lies in a sticky world-writable folder
    // and belongs to neither the user nor the folder's owner (EACCES), as
    // the system's own protection of such folders has it. Replace: the link itself is replaced and whatever it
    // names is left alone (a fixed name, where anyone may have planted a link).
    enum class Links { Follow, Replace };

    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // False when the target cannot be replaced: its folder is missing or not
    // writable, or the target is a directory, a device, a pipe or read-only.
    bool Open(const std::string& target, Staging staging = Staging::Unnamed, Links links = Links::Follow);
    bool Write(const void* data, std::size_t size);
    // Writes at `offset` without moving the file position (pwrite).
    bool WriteAt(std::int64_t offset, const void* data, std::size_t size);
    // As lseek; -1 on failure.
    std::int64_t Seek(std::int64_t offset, int whence);
    std::int64_t Size() const;
    // Open, and no write or seek has failed.
    bool Intact() const { return m_fd >= 0 && !m_failed; }
    // The name of a named staging file in the target's folder, empty for an unnamed one.
    const std::string& StagingName() const { return m_stagingName; }
    // A name through which another writer may open the staged file itself
    // (/proc/self/fd/N), for writers that only take a file name.
    std::string ReachableName() const { return "/proc/self/fd/" + std::to_string(m_fd); }
    // Puts the file in the target's place; on failure it is discarded.
    bool Commit();
    void Discard();
    // Why the last Open, Write, Seek or Commit failed (an errno value), or 0.
    int Error() const { return m_error; }

    // Stages `size` bytes and commits them: 0, or why the target was kept.
    static int Store(const std::string& target, const void* data, std::size_t size, Links links = Links::Follow);

private:
    bool Put(const void* data, std::size_t size, std::int64_t offset);
    bool CreateNamed();
    bool PlaceUnnamed();
    bool GiveName(const std::string& name) const;
    bool Replace(const std::string& name) const;
    void KeepOwnerAndMode(const struct stat& old) const;
    bool Fail(int error);
    void CloseFolder();

    std::string m_name;
    int m_folder = -1;
    std::string m_stagingName;
    int m_fd = -1;
    bool m_failed = false;
    int m_error = 0;
};
