#pragma once
// A small file system mounted over a test's folder, in a mount namespace
// private to the calling thread: nothing outside sees it, and nothing is left
// mounted when the test process ends. Mounting needs the right to unshare and
// mount (root, as in CI); where it is missing, Mounted() is false and the test
// skips.
#include <gtest/gtest.h>

#include <memory>
#include <string>

class SmallDisk {
public:
    static constexpr const char* kNotPermitted = "mounting a small tmpfs is not permitted here";

    // `size` takes the tmpfs syntax: "64k".
    explicit SmallDisk(std::string folder, const char* size = "64k");
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return m_mounted; }
    // Every later write in the folder fails, as on a read-only medium.
    bool MakeReadOnly();
    // Writes the file `name` until not one byte more fits, then gives back
    // `spare` bytes of it.
    bool Fill(const std::string& name, long spare = 0);

private:
    std::string m_folder;
    bool m_mounted = false;
};

// The fixture `Fixture`, with its folder `dir` on a small disk of its own.
template <class Fixture>
class OnSmallDisk : public Fixture {
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        disk = std::make_unique<SmallDisk>(this->dir.string());
        if (!disk->Mounted())
            GTEST_SKIP() << SmallDisk::kNotPermitted;
    }
    void TearDown() override
    {
        disk.reset();
        Fixture::TearDown();
    }

    std::unique_ptr<SmallDisk> disk;
};
