#include "platform/dao/combined_writes.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace dao {

namespace {

// The engine writes a book one 1 KB page at a time, and a journal entry as three writes: at a million
// members a commit is over a million system calls. Writes that follow one another are gathered here and
// handed on together. Everything that could see the file as it stands (a read of what is held, its
// size, a sync, a lock given up, any file control) hands on what is held first, so the engine and other
// connections see exactly what they would have seen; a sync still makes everything durable in order.
// The real file layer writes at most 128 KB less a byte in one call.
constexpr int kHeldBytes = 64 * 1024;

struct CombinedFile {
    sqlite3_file file;  // the methods below
    sqlite3_file* real;
    bool combines;  // the engine's own files, not the write-ahead log, whose readers share memory
    char* held;
    sqlite3_int64 heldAt;
    int heldSize;
};

sqlite3_vfs* g_base = nullptr;

CombinedFile* Of(sqlite3_file* file) {
    return reinterpret_cast<CombinedFile*>(file);
}

// The engine learns of a refused write from the answer of the call that handed it on, and goes back to
// its journal. Some calls' answers it ignores (its hints among the file controls): bytes refused there
// stay held, to be handed on again, and their refusal told, by the next call it does hear.
int HandOn(CombinedFile* f, bool answerIgnored = false) {
    if (f->heldSize == 0) return SQLITE_OK;
    const int rc = f->real->pMethods->xWrite(f->real, f->held, f->heldSize, f->heldAt);
    if (rc == SQLITE_OK || !answerIgnored) f->heldSize = 0;
    return rc;
}

int Close(sqlite3_file* file) {
    CombinedFile* f = Of(file);
    const int handed = HandOn(f);
    const int rc = f->real->pMethods ? f->real->pMethods->xClose(f->real) : SQLITE_OK;
    sqlite3_free(f->held);
    f->held = nullptr;
    return handed != SQLITE_OK ? handed : rc;
}

int Read(sqlite3_file* file, void* out, int amount, sqlite3_int64 offset) {
    CombinedFile* f = Of(file);
    // Anything at or past the held bytes' start may read them, or a file end they move.
    if (f->heldSize > 0 && offset + amount > f->heldAt) {
        const int rc = HandOn(f);
        if (rc != SQLITE_OK) return rc;
    }
    return f->real->pMethods->xRead(f->real, out, amount, offset);
}

int Write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    CombinedFile* f = Of(file);
    if (!f->combines) return f->real->pMethods->xWrite(f->real, data, amount, offset);
    if (f->heldSize > 0) {
        const sqlite3_int64 end = f->heldAt + f->heldSize;
        if (offset >= f->heldAt && offset + amount <= end) {
            std::memcpy(f->held + (offset - f->heldAt), data, size_t(amount));
            return SQLITE_OK;
        }
        if (offset == end && f->heldSize + amount <= kHeldBytes) {
            std::memcpy(f->held + f->heldSize, data, size_t(amount));
            f->heldSize += amount;
            return SQLITE_OK;
        }
        const int rc = HandOn(f);
        if (rc != SQLITE_OK) return rc;
    }
    if (amount >= kHeldBytes) return f->real->pMethods->xWrite(f->real, data, amount, offset);
    if (!f->held) {
        f->held = static_cast<char*>(sqlite3_malloc(kHeldBytes));
        if (!f->held) return f->real->pMethods->xWrite(f->real, data, amount, offset);
    }
    std::memcpy(f->held, data, size_t(amount));
    f->heldAt = offset;
    f->heldSize = amount;
    return SQLITE_OK;
}

// Hands on what is held, then does what the real file does.
#define HANDED_ON(call)                                       \
    CombinedFile* f = Of(file);                               \
    if (const int rc = HandOn(f); rc != SQLITE_OK) return rc; \
    return f->real->pMethods->call

int Truncate(sqlite3_file* file, sqlite3_int64 size) {
    HANDED_ON(xTruncate(f->real, size));
}
int Sync(sqlite3_file* file, int flags) {
    HANDED_ON(xSync(f->real, flags));
}
int FileSize(sqlite3_file* file, sqlite3_int64* size) {
    HANDED_ON(xFileSize(f->real, size));
}
int Unlock(sqlite3_file* file, int level) {
    HANDED_ON(xUnlock(f->real, level));
}
// Among them the engine's notice that it leaves out a sync (synchronous off).
int FileControl(sqlite3_file* file, int op, void* arg) {
    CombinedFile* f = Of(file);
    if (const int rc = HandOn(f, true); rc != SQLITE_OK) return rc;
    return f->real->pMethods->xFileControl(f->real, op, arg);
}
int ShmMap(sqlite3_file* file, int page, int pageSize, int extend, void volatile** out) {
    HANDED_ON(xShmMap(f->real, page, pageSize, extend, out));
}
int ShmLock(sqlite3_file* file, int offset, int n, int flags) {
    HANDED_ON(xShmLock(f->real, offset, n, flags));
}
int Fetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out) {
    HANDED_ON(xFetch(f->real, offset, amount, out));
}
#undef HANDED_ON

int Lock(sqlite3_file* file, int level) {
    return Of(file)->real->pMethods->xLock(Of(file)->real, level);
}
int CheckReservedLock(sqlite3_file* file, int* out) {
    return Of(file)->real->pMethods->xCheckReservedLock(Of(file)->real, out);
}
int SectorSize(sqlite3_file* file) {
    return Of(file)->real->pMethods->xSectorSize(Of(file)->real);
}
int DeviceCharacteristics(sqlite3_file* file) {
    return Of(file)->real->pMethods->xDeviceCharacteristics(Of(file)->real);
}
void ShmBarrier(sqlite3_file* file) {
    HandOn(Of(file), true);
    Of(file)->real->pMethods->xShmBarrier(Of(file)->real);
}
int ShmUnmap(sqlite3_file* file, int deleteFlag) {
    return Of(file)->real->pMethods->xShmUnmap(Of(file)->real, deleteFlag);
}
int Unfetch(sqlite3_file* file, sqlite3_int64 offset, void* p) {
    return Of(file)->real->pMethods->xUnfetch(Of(file)->real, offset, p);
}

// One set for each version of the real file's methods: the engine calls no method its version lacks.
constexpr sqlite3_io_methods MethodsOfVersion(int version) {
    return {version,
            Close,
            Read,
            Write,
            Truncate,
            Sync,
            FileSize,
            Lock,
            Unlock,
            CheckReservedLock,
            FileControl,
            SectorSize,
            DeviceCharacteristics,
            ShmMap,
            ShmLock,
            ShmBarrier,
            ShmUnmap,
            Fetch,
            Unfetch};
}
const sqlite3_io_methods kMethods[] = {MethodsOfVersion(1), MethodsOfVersion(2), MethodsOfVersion(3)};

int Open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    CombinedFile* f = Of(file);
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    f->combines = !(flags & SQLITE_OPEN_WAL);
    f->held = nullptr;
    f->heldAt = 0;
    f->heldSize = 0;
    const int rc = g_base->xOpen(g_base, name, f->real, flags, outFlags);
    // The engine closes a file whose methods are set, even when its open failed.
    const sqlite3_io_methods* real = f->real->pMethods;
    f->file.pMethods = real ? &kMethods[std::clamp(real->iVersion, 1, 3) - 1] : nullptr;
    return rc;
}

// The rest is the real file layer's.
int Delete(sqlite3_vfs*, const char* name, int syncDir) {
    return g_base->xDelete(g_base, name, syncDir);
}
int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
    return g_base->xAccess(g_base, name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return g_base->xFullPathname(g_base, name, size, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) {
    return g_base->xDlOpen(g_base, name);
}
void DlError(sqlite3_vfs*, int size, char* out) {
    g_base->xDlError(g_base, size, out);
}
void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return g_base->xDlSym(g_base, handle, symbol);
}
void DlClose(sqlite3_vfs*, void* handle) {
    g_base->xDlClose(g_base, handle);
}
int Randomness(sqlite3_vfs*, int size, char* out) {
    return g_base->xRandomness(g_base, size, out);
}
int Sleep(sqlite3_vfs*, int micros) {
    return g_base->xSleep(g_base, micros);
}
int CurrentTime(sqlite3_vfs*, double* out) {
    return g_base->xCurrentTime(g_base, out);
}
int GetLastError(sqlite3_vfs*, int size, char* out) {
    return g_base->xGetLastError(g_base, size, out);
}
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return g_base->xCurrentTimeInt64(g_base, out);
}

}  // namespace

void UseCombinedWrites() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_base = sqlite3_vfs_find(nullptr);
        if (!g_base || g_base->iVersion < 2) return;
        static sqlite3_vfs vfs{};
        vfs.iVersion = 2;
        vfs.szOsFile = int(sizeof(CombinedFile)) + g_base->szOsFile;
        vfs.mxPathname = g_base->mxPathname;
        vfs.zName = "combined-writes";
        vfs.xOpen = Open;
        vfs.xDelete = Delete;
        vfs.xAccess = Access;
        vfs.xFullPathname = FullPathname;
        vfs.xDlOpen = DlOpen;
        vfs.xDlError = DlError;
        vfs.xDlSym = DlSym;
        vfs.xDlClose = DlClose;
        vfs.xRandomness = Randomness;
        vfs.xSleep = Sleep;
        vfs.xCurrentTime = CurrentTime;
        vfs.xGetLastError = GetLastError;
        vfs.xCurrentTimeInt64 = CurrentTimeInt64;
        sqlite3_vfs_register(&vfs, 1);
    });
}

}  // namespace dao
