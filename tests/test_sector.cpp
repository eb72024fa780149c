// Sector reads and writes on temporary files: positions, lengths, refused
// arguments, offsets beyond 2 GiB and the sharing modes of each call.
#include <gtest/gtest.h>
#include <string.h>
#include "support.h"
#include <winioctl.h>
#include "varrowen.h"

static std::string temppath(const char *name)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

// A temporary file that holds the given bytes; deleted when the object goes.
struct tempfile {
    std::string path = temppath("vrsector.bin");
    explicit tempfile(const std::string &bytes)
    {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD done;
        WriteFile(h, bytes.data(), (DWORD)bytes.size(), &done, NULL);
        CloseHandle(h);
    }
    ~tempfile() { DeleteFileA(path.c_str()); }
    // Up to length bytes at offset, and the file's size.
    std::string at(long long offset, DWORD length, long long *size = NULL) const
    {
        std::string bytes(length, 0);
        DWORD done = 0;
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
        LARGE_INTEGER distance, end;
        distance.QuadPart = offset;
        if (size && GetFileSizeEx(h, &end))
            *size = end.QuadPart;
        if (SetFilePointerEx(h, distance, NULL, FILE_BEGIN))
            ReadFile(h, &bytes[0], length, &done, NULL);
        CloseHandle(h);
        return bytes.substr(0, done);
    }
};

// n bytes that differ from sector to sector and from seed to seed.
static std::string pattern(size_t n, int seed)
{
    std::string bytes(n, 0);
    for (size_t i = 0; i < n; i++)
        bytes[i] = (char)(seed + i * 7 + i / 512);
    return bytes;
}

static const std::string contents = pattern(1024, 1);

TEST(sector, reads)
{
    tempfile file(contents);
    static const struct { int sector, count, size, result; } rows[] = {
        { 0, 1, 512, 512 }, { 1, 1, 512, 512 }, { 2, 1, 512, 0 }, { 0, 512, 1, 512 },
        { 0, 2, 512, 1024 }, { 1, 2, 512, 512 }, { 1, 3, 100, 300 }, { 0, 0, 512, 0 }, { 5, 1, 512, 0 },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(testing::Message() << "sector " << row.sector << " count " << row.count << " size " << row.size);
        std::string buf(2048, '\xbd');
        EXPECT_EQ(row.result, VR_readsector(file.path.c_str(), row.sector, row.count, row.size, &buf[0]));
        EXPECT_EQ(contents.substr(std::min(1024, row.sector * 512), row.result) +
                  std::string(2048 - row.result, '\xbd'), buf);
    }
    std::string buf(512, '\xbd');
    EXPECT_EQ(0, VR_readsector(temppath("vrmissing.bin").c_str(), 0, 1, 512, &buf[0]));
    EXPECT_EQ(std::string(512, '\xbd'), buf);
}

TEST(sector, writes)
{
    const std::string data = pattern(512, 99);
    {
        tempfile file(contents);
        long long size = 0;
        EXPECT_EQ(512, VR_writesector(file.path.c_str(), 3, 1, 512, (void *)data.data()));
        EXPECT_EQ(contents + std::string(512, 0) + data, file.at(0, 4096, &size));
        EXPECT_EQ(2048, size);
    }
    {
        tempfile file(contents);
        EXPECT_EQ(512, VR_writesector(file.path.c_str(), 1, 512, 1, (void *)data.data()));
        EXPECT_EQ(300, VR_writesector(file.path.c_str(), 0, 3, 100, (void *)data.data()));
        EXPECT_EQ(data.substr(0, 300) + contents.substr(300, 212) + data, file.at(0, 4096));
    }
    std::string missing = temppath("vrmissing.bin");
    EXPECT_EQ(0, VR_writesector(missing.c_str(), 0, 1, 512, (void *)data.data()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(missing.c_str()));
}

TEST(sector, refused_arguments_move_nothing)
{
    tempfile file(contents);
    static const struct { int sector, count, size; } rows[] = {
        { -1, 1, 512 }, { (int)0x80000000, 1, 512 }, { 0, -1, 512 }, { 0, 1, -512 },
        { 0, -1, -512 },            // a positive product of two negatives
        { 0, 65536, 65536 },        // 2^32, 0 in 32 bits
        { 0, 3, 0x55555556 },       // 2 in 32 bits
        { 0, 4194304, 512 },        // 2^31, negative as an int
    };
    std::string data = pattern(4096, 50);
    for (auto &row : rows) {
        SCOPED_TRACE(testing::Message() << "sector " << row.sector << " count " << row.count << " size " << row.size);
        std::string buf(4096, '\xbd');
        EXPECT_EQ(0, VR_readsector(file.path.c_str(), row.sector, row.count, row.size, &buf[0]));
        EXPECT_EQ(std::string(4096, '\xbd'), buf);
        EXPECT_EQ(0, VR_writesector(file.path.c_str(), row.sector, row.count, row.size, &data[0]));
        EXPECT_EQ(contents, file.at(0, 4096));
    }
}

TEST(sector, offsets_beyond_2_gib)
{
    // From 4194304 on, sector * 512 needs more than 32 bits: cut to 32 bits,
    // 4194305 would be a negative distance and 8388609 sector 1.
    for (int sector : { 4194303, 4194304, 4194305, 8388609, 2147483647 }) {
        SCOPED_TRACE(testing::Message() << "sector " << sector);
        tempfile file(contents);
        HANDLE h = CreateFileA(file.path.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        DWORD ignored;
        // Sparse where the file system allows it; elsewhere the far write
        // still works, only slower.
        (void)DeviceIoControl(h, FSCTL_SET_SPARSE, NULL, 0, NULL, 0, &ignored, NULL);
        CloseHandle(h);

        std::string data = pattern(512, sector), buf(512, '\xbd');
        long long size = 0;
        EXPECT_EQ(512, VR_writesector(file.path.c_str(), sector, 1, 512, &data[0]));
        EXPECT_EQ(data, file.at(sector * 512LL, 512, &size));
        EXPECT_EQ((sector + 1LL) * 512, size);
        EXPECT_EQ(contents, file.at(0, 1024));
        EXPECT_EQ(512, VR_readsector(file.path.c_str(), sector, 1, 512, &buf[0]));
        EXPECT_EQ(data, buf);
    }
}

TEST(sector, sharing_modes)
{
    const std::string data = pattern(512, 77);
    // Another handle holds the file open while the calls run: a read lets
    // others read, a write lets others write, and nothing else.
    static const struct { const char *holder; DWORD access, share; int read, write; } rows[] = {
        { "reader", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 512, 0 },
        { "writer", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, 512 },
        { "reader and writer", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, 0 },
        { "exclusive reader", GENERIC_READ, 0, 0, 0 },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.holder);
        tempfile file(contents);
        HANDLE holder = CreateFileA(file.path.c_str(), row.access, row.share, NULL, OPEN_EXISTING, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        std::string buf(512, '\xbd');
        EXPECT_EQ(row.read, VR_readsector(file.path.c_str(), 1, 1, 512, &buf[0]));
        EXPECT_EQ(row.read ? contents.substr(512) : std::string(512, '\xbd'), buf);
        EXPECT_EQ(row.write, VR_writesector(file.path.c_str(), 0, 1, 512, (void *)data.data()));
        CloseHandle(holder);
        EXPECT_EQ(row.write ? data + contents.substr(512) : contents, file.at(0, 2048));
    }
}

TEST(sector, every_path_closes_its_handle)
{
    tempfile file(contents);
    std::string missing = temppath("vrmissing.bin"), buf(1024, 0);
    unsigned handles = handlecount();
    HANDLE holder = CreateFileA(file.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    for (int i = 0; i < 20; i++) {
        (void)VR_readsector(file.path.c_str(), 0, 1, 512, &buf[0]);         // open elsewhere
        (void)VR_writesector(file.path.c_str(), 0, 1, 512, &buf[0]);
        (void)VR_readsector(missing.c_str(), 0, 1, 512, &buf[0]);
        (void)VR_writesector(missing.c_str(), 0, 1, 512, &buf[0]);
    }
    CloseHandle(holder);
    for (int i = 0; i < 20; i++) {
        (void)VR_readsector(file.path.c_str(), i % 3, 1, 512, &buf[0]);     // read, at or past the end
        (void)VR_writesector(file.path.c_str(), i % 3, 1, 512, &buf[0]);
    }
    EXPECT_EQ(handles, handlecount());
}
