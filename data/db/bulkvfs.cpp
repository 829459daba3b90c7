#include "data/db/bulkvfs.h"
#include <algorithm>
#include <cstring>
#include <mutex>
#include <sqlite3.h>

namespace {

// The system's layer writes at most 128 KiB in one call.
constexpr int kChunk = 64 << 10;

// The main file of a connection: writes gathered while they follow one
// another, reads served from the last chunk read. Any other call first
// writes out what is gathered, so the file never looks different from
// what the pages say.
struct BulkFile {
    sqlite3_file base;
    sqlite3_file *real;
    char *pending;   // writes not yet made, from pendingAt
    sqlite3_int64 pendingAt;
    int pendingLength;
    char *chunk;   // a chunk of the file as read, from chunkAt
    sqlite3_int64 chunkAt;
    int chunkLength;
};

// Keeps the real file's place aligned as the system's layer expects.
constexpr size_t kHead = (sizeof(BulkFile) + 15) & ~size_t(15);

sqlite3_vfs *realVfs(sqlite3_vfs *vfs) { return static_cast<sqlite3_vfs *>(vfs->pAppData); }
BulkFile *bulk(sqlite3_file *f) { return reinterpret_cast<BulkFile *>(f); }
const sqlite3_io_methods *io(BulkFile *b) { return b->real->pMethods; }

int flush(BulkFile *b)
{
    if (b->pendingLength == 0)
        return SQLITE_OK;
    const int rc = io(b)->xWrite(b->real, b->pending, b->pendingLength, b->pendingAt);
    b->pendingLength = 0;
    return rc;
}

int bulkClose(sqlite3_file *f)
{
    BulkFile *b = bulk(f);
    const int flushed = flush(b);
    const int rc = io(b)->xClose(b->real);
    sqlite3_free(b->pending);
    sqlite3_free(b->chunk);
    b->pending = b->chunk = nullptr;
    return flushed != SQLITE_OK ? flushed : rc;
}

int bulkRead(sqlite3_file *f, void *out, int amount, sqlite3_int64 at)
{
    BulkFile *b = bulk(f);
    if (const int rc = flush(b); rc != SQLITE_OK)
        return rc;
    if (amount <= kChunk / 4) {
        const bool held = b->chunkLength > 0 && at >= b->chunkAt && at + amount <= b->chunkAt + b->chunkLength;
        if (!held) {
            sqlite3_int64 size = 0;
            if (const int rc = io(b)->xFileSize(b->real, &size); rc != SQLITE_OK)
                return rc;
            const sqlite3_int64 from = at - at % kChunk;
            const int length = int(std::min<sqlite3_int64>(kChunk, size - from));
            b->chunkLength = 0;
            // Past the end the system's layer answers, zeros and all.
            if (at + amount <= from + length) {
                if (const int rc = io(b)->xRead(b->real, b->chunk, length, from); rc != SQLITE_OK)
                    return rc;
                b->chunkAt = from;
                b->chunkLength = length;
            }
        }
        if (b->chunkLength > 0 && at >= b->chunkAt && at + amount <= b->chunkAt + b->chunkLength) {
            std::memcpy(out, b->chunk + (at - b->chunkAt), size_t(amount));
            return SQLITE_OK;
        }
    }
    return io(b)->xRead(b->real, out, amount, at);
}

int bulkWrite(sqlite3_file *f, const void *data, int amount, sqlite3_int64 at)
{
    BulkFile *b = bulk(f);
    b->chunkLength = 0;
    if (b->pendingLength > 0 && (at != b->pendingAt + b->pendingLength || b->pendingLength + amount > kChunk))
        if (const int rc = flush(b); rc != SQLITE_OK)
            return rc;
    if (amount > kChunk)
        return io(b)->xWrite(b->real, data, amount, at);
    if (b->pendingLength == 0)
        b->pendingAt = at;
    std::memcpy(b->pending + b->pendingLength, data, size_t(amount));
    b->pendingLength += amount;
    return SQLITE_OK;
}

// The calls that see the file as it stands: what is gathered is written
// first, and what was read is forgotten where the file may have changed
// meanwhile (by truncation here, or by another program between locks: the
// header read when the file was opened, or anything once it is unlocked).
template <typename Method, typename... Args>
int afterFlush(sqlite3_file *f, bool forget, Method method, Args... args)
{
    BulkFile *b = bulk(f);
    if (forget)
        b->chunkLength = 0;
    const int rc = flush(b);
    return rc != SQLITE_OK ? rc : (io(b)->*method)(b->real, args...);
}
int bulkTruncate(sqlite3_file *f, sqlite3_int64 size) { return afterFlush(f, true, &sqlite3_io_methods::xTruncate, size); }
int bulkSync(sqlite3_file *f, int flags) { return afterFlush(f, false, &sqlite3_io_methods::xSync, flags); }
int bulkFileSize(sqlite3_file *f, sqlite3_int64 *size) { return afterFlush(f, false, &sqlite3_io_methods::xFileSize, size); }
int bulkLock(sqlite3_file *f, int level) { return afterFlush(f, true, &sqlite3_io_methods::xLock, level); }
int bulkUnlock(sqlite3_file *f, int level) { return afterFlush(f, true, &sqlite3_io_methods::xUnlock, level); }
int bulkCheckReservedLock(sqlite3_file *f, int *out) { return io(bulk(f))->xCheckReservedLock(bulk(f)->real, out); }
int bulkFileControl(sqlite3_file *f, int op, void *arg) { return afterFlush(f, false, &sqlite3_io_methods::xFileControl, op, arg); }
int bulkSectorSize(sqlite3_file *f) { return io(bulk(f))->xSectorSize(bulk(f)->real); }
int bulkDeviceCharacteristics(sqlite3_file *f) { return io(bulk(f))->xDeviceCharacteristics(bulk(f)->real); }
int bulkShmMap(sqlite3_file *f, int page, int size, int extend, void volatile **out)
{
    return io(bulk(f))->xShmMap(bulk(f)->real, page, size, extend, out);
}
int bulkShmLock(sqlite3_file *f, int offset, int n, int flags) { return io(bulk(f))->xShmLock(bulk(f)->real, offset, n, flags); }
void bulkShmBarrier(sqlite3_file *f) { io(bulk(f))->xShmBarrier(bulk(f)->real); }
int bulkShmUnmap(sqlite3_file *f, int deleteFlag) { return io(bulk(f))->xShmUnmap(bulk(f)->real, deleteFlag); }

// Version 2 at most: a file that holds pages of its own (memory mapping)
// is left to the system's layer by never offering it.
sqlite3_io_methods makeMethods(int version)
{
    sqlite3_io_methods m{};
    m.iVersion = std::min(version, 2);
    m.xClose = bulkClose;
    m.xRead = bulkRead;
    m.xWrite = bulkWrite;
    m.xTruncate = bulkTruncate;
    m.xSync = bulkSync;
    m.xFileSize = bulkFileSize;
    m.xLock = bulkLock;
    m.xUnlock = bulkUnlock;
    m.xCheckReservedLock = bulkCheckReservedLock;
    m.xFileControl = bulkFileControl;
    m.xSectorSize = bulkSectorSize;
    m.xDeviceCharacteristics = bulkDeviceCharacteristics;
    m.xShmMap = bulkShmMap;
    m.xShmLock = bulkShmLock;
    m.xShmBarrier = bulkShmBarrier;
    m.xShmUnmap = bulkShmUnmap;
    return m;
}

int bulkOpen(sqlite3_vfs *vfs, const char *name, sqlite3_file *f, int flags, int *outFlags)
{
    sqlite3_vfs *real = realVfs(vfs);
    // Journals and temporary files are the system layer's alone.
    if (!(flags & SQLITE_OPEN_MAIN_DB))
        return real->xOpen(real, name, f, flags, outFlags);
    BulkFile *b = bulk(f);
    std::memset(b, 0, sizeof(BulkFile));
    b->real = reinterpret_cast<sqlite3_file *>(reinterpret_cast<char *>(f) + kHead);
    const int rc = real->xOpen(real, name, b->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (b->real->pMethods)
            b->real->pMethods->xClose(b->real);
        return rc;
    }
    b->pending = static_cast<char *>(sqlite3_malloc(kChunk));
    b->chunk = static_cast<char *>(sqlite3_malloc(kChunk));
    if (!b->pending || !b->chunk) {
        sqlite3_free(b->pending);
        sqlite3_free(b->chunk);
        b->real->pMethods->xClose(b->real);
        return SQLITE_NOMEM;
    }
    static const sqlite3_io_methods v1 = makeMethods(1), v2 = makeMethods(2);
    b->base.pMethods = b->real->pMethods->iVersion >= 2 ? &v2 : &v1;
    return SQLITE_OK;
}

int bulkDelete(sqlite3_vfs *vfs, const char *name, int syncDir) { return realVfs(vfs)->xDelete(realVfs(vfs), name, syncDir); }
int bulkAccess(sqlite3_vfs *vfs, const char *name, int flags, int *out) { return realVfs(vfs)->xAccess(realVfs(vfs), name, flags, out); }
int bulkFullPathname(sqlite3_vfs *vfs, const char *name, int n, char *out) { return realVfs(vfs)->xFullPathname(realVfs(vfs), name, n, out); }
void *bulkDlOpen(sqlite3_vfs *vfs, const char *name) { return realVfs(vfs)->xDlOpen(realVfs(vfs), name); }
void bulkDlError(sqlite3_vfs *vfs, int n, char *out) { realVfs(vfs)->xDlError(realVfs(vfs), n, out); }
void (*bulkDlSym(sqlite3_vfs *vfs, void *lib, const char *symbol))(void) { return realVfs(vfs)->xDlSym(realVfs(vfs), lib, symbol); }
void bulkDlClose(sqlite3_vfs *vfs, void *lib) { realVfs(vfs)->xDlClose(realVfs(vfs), lib); }
int bulkRandomness(sqlite3_vfs *vfs, int n, char *out) { return realVfs(vfs)->xRandomness(realVfs(vfs), n, out); }
int bulkSleep(sqlite3_vfs *vfs, int micro) { return realVfs(vfs)->xSleep(realVfs(vfs), micro); }
int bulkCurrentTime(sqlite3_vfs *vfs, double *out) { return realVfs(vfs)->xCurrentTime(realVfs(vfs), out); }
int bulkGetLastError(sqlite3_vfs *vfs, int n, char *out)
{
    return realVfs(vfs)->xGetLastError ? realVfs(vfs)->xGetLastError(realVfs(vfs), n, out) : 0;
}
int bulkCurrentTimeInt64(sqlite3_vfs *vfs, sqlite3_int64 *out) { return realVfs(vfs)->xCurrentTimeInt64(realVfs(vfs), out); }

}   // namespace

namespace BulkVfs {

const char *name()
{
    static std::once_flag once;
    static sqlite3_vfs vfs{};
    std::call_once(once, [] {
        sqlite3_vfs *real = sqlite3_vfs_find(nullptr);
        vfs.iVersion = 2;
        vfs.szOsFile = int(kHead) + real->szOsFile;
        vfs.mxPathname = real->mxPathname;
        vfs.zName = "molarix-bulk";
        vfs.pAppData = real;
        vfs.xOpen = bulkOpen;
        vfs.xDelete = bulkDelete;
        vfs.xAccess = bulkAccess;
        vfs.xFullPathname = bulkFullPathname;
        vfs.xDlOpen = bulkDlOpen;
        vfs.xDlError = bulkDlError;
        vfs.xDlSym = bulkDlSym;
        vfs.xDlClose = bulkDlClose;
        vfs.xRandomness = bulkRandomness;
        vfs.xSleep = bulkSleep;
        vfs.xCurrentTime = bulkCurrentTime;
        vfs.xGetLastError = bulkGetLastError;
        vfs.xCurrentTimeInt64 = real->iVersion >= 2 && real->xCurrentTimeInt64 ? bulkCurrentTimeInt64 : nullptr;
        sqlite3_vfs_register(&vfs, 0);
    });
    return vfs.zName;
}

}
