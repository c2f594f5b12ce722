// Streams and lists of the runtime layer.
#include "platform/Classes.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <new>
#include <sstream>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

std::string SystemReason(int err) { return std::strerror(err); }

// What a name that is not a regular file is, for the message that refuses to save over it.
std::string NotAFileReason(mode_t Mode)
{
    if (S_ISDIR(Mode))
        return SystemReason(EISDIR);
    if (S_ISFIFO(Mode))
        return "It is a named pipe (FIFO), not a file";
    if (S_ISCHR(Mode) || S_ISBLK(Mode))
        return "It is a device, not a file";
    if (S_ISSOCK(Mode))
        return "It is a socket, not a file";
    return "It is not a regular file";
}

// The position Offset from Origin leads to, given the current position and size; raises for a
// negative or overflowing result.
int64_t SeekTarget(int64_t Offset, TSeekOrigin Origin, int64_t Current, int64_t Size)
{
    const int64_t base = Origin == soBeginning ? 0 : (Origin == soCurrent ? Current : Size);
    int64_t target = 0;
    if (__builtin_add_overflow(base, Offset, &target) || target < 0)
        throw EStreamError("Invalid stream position");
    return target;
}

// Resizes a byte vector, turning allocation failures into EOutOfMemory.
void ResizeBytes(std::vector<uint8_t>& Data, int64_t NewSize)
{
    if (NewSize < 0)
        throw EStreamError("Invalid stream size");
    try {
        Data.resize(static_cast<size_t>(NewSize));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Out of memory");
    } catch (const std::length_error&) {
        throw EOutOfMemory("Out of memory");
    }
}

// Copies from a byte block at Position; returns the number of bytes copied.
int64_t ReadFromBlock(const uint8_t* Data, int64_t Size, int64_t& Position, void* Buffer, int64_t Count)
{
    if (Count <= 0 || Position >= Size)
        return 0;
    const int64_t n = std::min(Count, Size - Position);
    std::memcpy(Buffer, Data + Position, static_cast<size_t>(n));
    Position += n;
    return n;
}

// The process umask, read without changing it (other threads may be creating files).
mode_t CurrentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            try {
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
            } catch (const std::exception&) {
                break;
            }
        }
    }
    return 022;
}

} // namespace

// ---- TStream -----------------------------------------------------------------------------------
int64_t TStream::Position() { return Seek(0, soCurrent); }

void TStream::SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }

int64_t TStream::Size()
{
    const int64_t pos = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* Buffer, int64_t Count)
{
    if (Count < 0 || (Count > 0 && Read(Buffer, Count) != Count))
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count)
{
    if (Count < 0 || (Count > 0 && Write(Buffer, Count) != Count))
        throw EWriteError("Stream write error");
}

void TStream::WriteBuffers(const TBufferRef* Blocks, int Count)
{
    for (int i = 0; i < Count; ++i)
        WriteBuffer(Blocks[i].Data, Blocks[i].Size);
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count)
{
    if (Count == 0) {
        Source.SetPosition(0);
        Count = Source.Size();
    }
    if (Count < 0)
        throw EReadError("Stream read error");
    constexpr int64_t kChunk = 64 * 1024;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(Count, kChunk)));
    int64_t left = Count;
    while (left > 0) {
        const int64_t n = std::min(left, kChunk);
        Source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return Count;
}

// ---- TFileStream -------------------------------------------------------------------------------
TFileStream::TFileStream(const std::string& FileName, uint16_t Mode) : FName(FileName)
{
    const bool create = (Mode & fmCreate) == fmCreate;
    // Not blocking in open(): a FIFO would wait there for a writer before it could be refused.
    int flags = O_CLOEXEC | (create ? 0 : O_NONBLOCK);
    if (create) {
        flags |= O_RDWR | O_CREAT | O_TRUNC;
    } else {
        switch (Mode & 3) {
        case fmOpenWrite: flags |= O_WRONLY; break;
        case fmOpenReadWrite: flags |= O_RDWR; break;
        default: flags |= O_RDONLY; break;
        }
    }
    const auto fail = [&](int err) {
        if (create)
            throw EFCreateError(Format("Cannot create file \"%s\". %s", FileName, SystemReason(err)));
        throw EFOpenError(Format("Cannot open file \"%s\". %s", FileName, SystemReason(err)));
    };
    do {
        FHandle = ::open(FileName.c_str(), flags, 0666);
    } while (FHandle < 0 && errno == EINTR);
    if (FHandle < 0)
        fail(errno);
    // Linux opens folders for reading; a folder is not a file. Nor is a FIFO, a device or a socket,
    // which an opened file must not be (reading one could block or never end).
    struct stat st {};
    const bool statFailed = ::fstat(FHandle, &st) != 0;
    const int statErr = errno;
    if (statFailed || S_ISDIR(st.st_mode) || (!create && !S_ISREG(st.st_mode))) {
        ::close(FHandle);
        FHandle = -1;
        if (statFailed || S_ISDIR(st.st_mode))
            fail(statFailed ? statErr : EISDIR);
        throw EFOpenError(Format("Cannot open file \"%s\". %s", FileName, NotAFileReason(st.st_mode)));
    }
    if (!create)
        ::fcntl(FHandle, F_SETFL, ::fcntl(FHandle, F_GETFL) & ~O_NONBLOCK);
}

TFileStream::TFileStream(int Handle, const std::string& FileName) : FName(FileName), FHandle(Handle) {}

TFileStream::~TFileStream()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

int64_t TFileStream::Read(void* Buffer, int64_t Count)
{
    int64_t done = 0;
    auto* p = static_cast<uint8_t*>(Buffer);
    while (done < Count) {
        const size_t chunk = static_cast<size_t>(std::min<int64_t>(Count - done, INT32_MAX));
        const ssize_t n = ::read(FHandle, p + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EReadError(Format("Cannot read file \"%s\". %s", FName, SystemReason(errno)));
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count)
{
    int64_t done = 0;
    const auto* p = static_cast<const uint8_t*>(Buffer);
    while (done < Count) {
        const size_t chunk = static_cast<size_t>(std::min<int64_t>(Count - done, INT32_MAX));
        const ssize_t n = ::write(FHandle, p + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EWriteError(Format("Cannot write file \"%s\". %s", FName, SystemReason(errno)));
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

void TFileStream::WriteBuffers(const TBufferRef* Blocks, int Count)
{
    // Gathered into writev calls of at most kMaxBlocks blocks; a short write resumes mid-block.
    constexpr int kMaxBlocks = 512;
    iovec vec[kMaxBlocks];
    int next = 0;
    int64_t skip = 0; // bytes of Blocks[next] already written
    while (next < Count) {
        int n = 0;
        for (int i = next; i < Count && n < kMaxBlocks; ++i) {
            const int64_t from = i == next ? skip : 0;
            if (Blocks[i].Size - from > 0)
                vec[n++] = {const_cast<uint8_t*>(static_cast<const uint8_t*>(Blocks[i].Data)) + from,
                            size_t(Blocks[i].Size - from)};
        }
        if (n == 0)
            return;
        const ssize_t w = ::writev(FHandle, vec, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            throw EWriteError(Format("Cannot write file \"%s\". %s", FName, SystemReason(errno)));
        }
        if (w == 0)
            throw EWriteError("Stream write error");
        int64_t left = w;
        while (next < Count && left >= Blocks[next].Size - skip) {
            left -= Blocks[next].Size - skip;
            skip = 0;
            ++next;
        }
        skip += left;
    }
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    const int whence = Origin == soBeginning ? SEEK_SET : (Origin == soCurrent ? SEEK_CUR : SEEK_END);
    const off_t r = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
    if (r < 0)
        throw EStreamError(errno == EINVAL ? std::string("Invalid stream position")
                                           : Format("Cannot seek in file \"%s\". %s", FName, SystemReason(errno)));
    return r;
}

void TFileStream::SetSize(int64_t NewSize)
{
    if (NewSize < 0)
        throw EStreamError("Invalid stream size");
    const int64_t pos = Position();
    if (::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0)
        throw EStreamError(Format("Cannot change the size of file \"%s\". %s", FName, SystemReason(errno)));
    if (pos > NewSize)
        Seek(NewSize, soBeginning);
}

int (*TFileStream::FileSync)(int Handle) = ::fsync;

void TFileStream::Flush()
{
    if (FileSync(FHandle) != 0)
        throw EWriteError(Format("Cannot write file \"%s\". %s", FName, SystemReason(errno)));
}

// ---- TMemoryStream -----------------------------------------------------------------------------
int64_t TMemoryStream::Read(void* Buffer, int64_t Count)
{
    return ReadFromBlock(FData.data(), Size(), FPosition, Buffer, Count);
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count)
{
    if (Count <= 0)
        return 0;
    int64_t end = 0;
    if (__builtin_add_overflow(FPosition, Count, &end))
        throw EOutOfMemory("Out of memory");
    if (end > Size())
        ResizeBytes(FData, end);
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition = end;
    return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    FPosition = SeekTarget(Offset, Origin, FPosition, Size());
    return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize)
{
    ResizeBytes(FData, NewSize);
    if (FPosition > NewSize)
        FPosition = NewSize;
}

void TMemoryStream::Clear()
{
    FData.clear();
    FData.shrink_to_fit();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Source)
{
    Source.SetPosition(0);
    const int64_t size = Source.Size();
    std::vector<uint8_t> data;
    ResizeBytes(data, size);
    Source.ReadBuffer(data.data(), size);
    FData.swap(data);
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName)
{
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& Dest) { Dest.WriteBuffer(FData.data(), Size()); }

void TMemoryStream::SaveToFile(const std::string& FileName)
{
    WriteFileAtomically(FileName, [this](TStream& Dest) { SaveToStream(Dest); });
}

// ---- TBytesStream ------------------------------------------------------------------------------
int64_t TBytesStream::Read(void* Buffer, int64_t Count)
{
    return ReadFromBlock(FData, FSize, FPosition, Buffer, Count);
}

int64_t TBytesStream::Write(const void*, int64_t) { throw EWriteError("Stream write error"); }

int64_t TBytesStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    FPosition = SeekTarget(Offset, Origin, FPosition, FSize);
    return FPosition;
}

// ---- Atomic file writing -------------------------------------------------------------------------
namespace {

// Follows symbolic links at the end of Name (also a dangling one) to the name the file has or
// will have; the folders on the way may be links, rename works through them. Returns 0 or errno.
int ResolveLinks(const std::string& Name, std::string& Target)
{
    Target = Name;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(Target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return 0;
        std::string link(size_t(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
        const ssize_t n = ::readlink(Target.c_str(), link.data(), link.size());
        if (n < 0)
            return errno;
        link.resize(size_t(n));
        if (link.empty())
            return ENOENT;
        if (link[0] == '/') {
            Target = link;
        } else {
            const size_t slash = Target.rfind('/');
            Target = (slash == std::string::npos ? std::string() : Target.substr(0, slash + 1)) + link;
        }
    }
    return ELOOP;
}

// The temporary file of an atomic write. It starts the disk writing of what has been written every
// few megabytes, so that the closing flush has little left to wait for.
class TTemporaryFileStream : public TFileStream {
public:
    using TFileStream::TFileStream;
    int64_t Write(const void* Buffer, int64_t Count) override
    {
        const int64_t n = TFileStream::Write(Buffer, Count);
        FWritten += n;
        StartWriteback();
        return n;
    }
    void WriteBuffers(const TBufferRef* Blocks, int Count) override
    {
        TFileStream::WriteBuffers(Blocks, Count);
        for (int i = 0; i < Count; ++i)
            FWritten += Blocks[i].Size;
        StartWriteback();
    }

private:
    static constexpr int64_t kWritebackStep = int64_t(8) << 20;
    void StartWriteback()
    {
        if (FWritten - FStarted < kWritebackStep)
            return;
        // Only a hint: a failure shows up in the flush.
        ::sync_file_range(Handle(), FStarted, FWritten - FStarted, SYNC_FILE_RANGE_WRITE);
        FStarted = FWritten;
    }
    int64_t FWritten = 0, FStarted = 0;
};

} // namespace

void WriteFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Writer)
{
    // Every message names the user's file, never the temporary one.
    const auto createError = [&](const std::string& Reason) {
        return EFCreateError(Format("Cannot create file \"%s\". %s", FileName, Reason));
    };
    if (FileName.empty() || IsPathDelimiter(FileName.back()))
        throw createError(SystemReason(EISDIR));

    // Through a link the file it points to is written (created when missing); the link stays.
    std::string target;
    if (const int err = ResolveLinks(FileName, target))
        throw createError(SystemReason(err));
    // Only a missing name or a regular file is replaced: a folder, FIFO or device is left alone.
    mode_t mode = 0644 & ~CurrentUmask();
    struct stat st {};
    bool replacing = false;
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            throw createError(NotAFileReason(st.st_mode));
        // Decided by the mode bits, as access() always passes for root.
        if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
            throw createError(SystemReason(EACCES));
        mode = st.st_mode & 07777;
        replacing = true;
    } else if (errno != ENOENT) {
        throw createError(SystemReason(errno));
    }

    std::string temp = ExtractFilePath(target) + "." + ExtractFileName(target) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        throw createError(SystemReason(errno));
    try {
        {
            TTemporaryFileStream stream(fd, FileName);
            // The replaced file's owner (where allowed) and permission bits, not the temporary 0600.
            if (replacing && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
                (void)!::fchown(fd, st.st_uid, st.st_gid);
            if (::fchmod(fd, mode) != 0)
                throw createError(SystemReason(errno));
            Writer(stream);
            stream.Flush();
        }
        if (::rename(temp.c_str(), target.c_str()) != 0)
            throw createError(SystemReason(errno));
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    // Make the rename itself durable; a failure here leaves a complete file, so it is not reported.
    const std::string dir = ExtractFileDir(target);
    const int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

// ---- TList -------------------------------------------------------------------------------------
void TList::Check(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError(Format("List index out of bounds (%d)", Index));
}

int TList::Add(Item p)
{
    FItems.push_back(p);
    return Count() - 1;
}

void TList::Insert(int Index, Item p)
{
    if (Index < 0 || Index > Count())
        throw EListError(Format("List index out of bounds (%d)", Index));
    FItems.insert(FItems.begin() + Index, p);
}

void TList::Delete(int Index)
{
    Check(Index);
    FItems.erase(FItems.begin() + Index);
}

int TList::Remove(Item p)
{
    const int i = IndexOf(p);
    if (i >= 0)
        Delete(i);
    return i;
}

int TList::IndexOf(Item p) const
{
    const auto it = std::find(FItems.begin(), FItems.end(), p);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TList::Exchange(int A, int B)
{
    Check(A);
    Check(B);
    std::swap(FItems[A], FItems[B]);
}

void TList::Move(int From, int To)
{
    if (From == To)
        return;
    Check(From);
    Check(To);
    const Item p = FItems[From];
    FItems.erase(FItems.begin() + From);
    FItems.insert(FItems.begin() + To, p);
}

TList::Item TList::Get(int Index) const
{
    Check(Index);
    return FItems[Index];
}

void TList::Put(int Index, Item p)
{
    Check(Index);
    FItems[Index] = p;
}

void TList::Sort(const std::function<int(Item, Item)>& Compare)
{
    // A merge sort stays inside the list even when Compare is inconsistent.
    std::stable_sort(FItems.begin(), FItems.end(), [&](Item a, Item b) { return Compare(a, b) < 0; });
}

// ---- TStringList -------------------------------------------------------------------------------
void TStringList::Check(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EStringListError(Format("List index out of bounds (%d)", Index));
}

int TStringList::Compare(const std::string& A, const std::string& B) const
{
    return CaseSensitive ? CompareStr(A, B) : CompareText(A, B);
}

int TStringList::Add(const std::string& S) { return AddObject(S, nullptr); }

int TStringList::AddObject(const std::string& S, void* Obj)
{
    int index = Count();
    if (FSorted) {
        if (Find(S, index)) {
            if (Duplicates == dupIgnore)
                return index;
            if (Duplicates == dupError)
                throw EStringListError("String list does not allow duplicates");
        }
    }
    FItems.insert(FItems.begin() + index, Entry{S, Obj});
    return index;
}

void TStringList::Insert(int Index, const std::string& S)
{
    if (FSorted)
        throw EStringListError("Operation not allowed on sorted list");
    if (Index < 0 || Index > Count())
        throw EStringListError(Format("List index out of bounds (%d)", Index));
    FItems.insert(FItems.begin() + Index, Entry{S, nullptr});
}

void TStringList::Delete(int Index)
{
    Check(Index);
    FItems.erase(FItems.begin() + Index);
}

void TStringList::Exchange(int A, int B)
{
    Check(A);
    Check(B);
    std::swap(FItems[A], FItems[B]);
}

void TStringList::Move(int From, int To)
{
    if (From == To)
        return;
    Check(From);
    Check(To);
    Entry e = FItems[From];
    FItems.erase(FItems.begin() + From);
    FItems.insert(FItems.begin() + To, std::move(e));
}

int TStringList::IndexOf(const std::string& S) const
{
    if (FSorted) {
        int index = 0;
        return Find(S, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (Compare(FItems[i].S, S) == 0)
            return i;
    return -1;
}

bool TStringList::Find(const std::string& S, int& Index) const
{
    // The first position whose string is not less than S.
    int lo = 0, hi = Count();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (Compare(FItems[mid].S, S) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    Index = lo;
    return lo < Count() && Compare(FItems[lo].S, S) == 0;
}

const std::string& TStringList::Strings(int Index) const
{
    Check(Index);
    return FItems[Index].S;
}

void TStringList::SetString(int Index, const std::string& S)
{
    if (FSorted)
        throw EStringListError("Operation not allowed on sorted list");
    Check(Index);
    FItems[Index].S = S;
}

void* TStringList::Objects(int Index) const
{
    Check(Index);
    return FItems[Index].Obj;
}

void TStringList::SetObject(int Index, void* Obj)
{
    Check(Index);
    FItems[Index].Obj = Obj;
}

void TStringList::SetSorted(bool Value)
{
    if (Value && !FSorted)
        Sort();
    FSorted = Value;
}

void TStringList::Sort()
{
    std::stable_sort(FItems.begin(), FItems.end(),
                     [this](const Entry& a, const Entry& b) { return Compare(a.S, b.S) < 0; });
}

std::string TStringList::Text() const
{
    std::string out;
    for (const Entry& e : FItems) {
        out += e.S;
        out += '\n';
    }
    return out;
}

void TStringList::SetText(const std::string& Value)
{
    Clear();
    size_t start = 0;
    const size_t n = Value.size();
    while (start < n) {
        size_t end = start;
        while (end < n && Value[end] != '\n' && Value[end] != '\r')
            ++end;
        Add(Value.substr(start, end - start));
        if (end < n && Value[end] == '\r' && end + 1 < n && Value[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
}

void TStringList::LoadFromFile(const std::string& FileName)
{
    TMemoryStream data;
    data.LoadFromFile(FileName);
    SetText(data.Size() == 0 ? std::string()
                             : std::string(reinterpret_cast<const char*>(data.Memory()), static_cast<size_t>(data.Size())));
}

void TStringList::SaveToFile(const std::string& FileName)
{
    const std::string text = Text();
    WriteFileAtomically(FileName, [&](TStream& Dest) { Dest.WriteBuffer(text.data(), static_cast<int64_t>(text.size())); });
}

std::string TStringList::Values(const std::string& Name) const
{
    for (const Entry& e : FItems) {
        const size_t eq = e.S.find('=');
        if (eq != std::string::npos && Compare(e.S.substr(0, eq), Name) == 0)
            return e.S.substr(eq + 1);
    }
    return std::string();
}
