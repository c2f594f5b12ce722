#pragma once
// Streams and lists of the runtime layer.
#include "platform/SysUtils.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// ---- Streams ---------------------------------------------------------------------------------
enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// A block of bytes to write, for TStream::WriteBuffers.
struct TBufferRef {
    const void* Data;
    int64_t Size;
};

// Seeking to a negative position raises EStreamError "Invalid stream position"; seeking past the end
// is allowed (reads there return 0, a write there fills the gap with zeros).
class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to Count bytes; returns how many were read (0 at the end).
    virtual int64_t Read(void* Buffer, int64_t Count) = 0;
    // Writes Count bytes; returns how many were written.
    virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

    int64_t Position();
    void SetPosition(int64_t Pos);
    virtual int64_t Size();
    // The base raises EStreamError "Stream size cannot be changed".
    virtual void SetSize(int64_t NewSize);

    // Exactly Count bytes or EReadError "Stream read error" / EWriteError "Stream write error".
    void ReadBuffer(void* Buffer, int64_t Count);
    void WriteBuffer(const void* Buffer, int64_t Count);
    // Writes the blocks one after another, as WriteBuffer does each (a file stream gathers them into
    // few system calls, so that rows can be written from where they are without a copy).
    virtual void WriteBuffers(const TBufferRef* Blocks, int Count);
    // Copies Count bytes from Source (all of Source from its start when Count is 0).
    int64_t CopyFrom(TStream& Source, int64_t Count);

    template <typename T> T ReadValue() { T v{}; ReadBuffer(&v, sizeof v); return v; }
    template <typename T> void WriteValue(const T& v) { WriteBuffer(&v, sizeof v); }
};

// File open modes: one access mode or'ed with one share mode (share modes are accepted and ignored,
// Linux has no mandatory locks).
enum : uint16_t {
    fmOpenRead = 0x0000, fmOpenWrite = 0x0001, fmOpenReadWrite = 0x0002,
    fmShareCompat = 0x0000, fmShareExclusive = 0x0010, fmShareDenyWrite = 0x0020,
    fmShareDenyRead = 0x0030, fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,
};

// A stream over a file. Opening failures raise EFOpenError "Cannot open file \"%s\". %s";
// fmCreate failures EFCreateError "Cannot create file \"%s\". %s" (the second %s is the system's
// reason). A folder cannot be opened; opening without fmCreate refuses anything but a regular file
// (a FIFO, device or socket) without blocking on it. Read and write failures raise EReadError "Cannot read file
// \"%s\". %s" and EWriteError "Cannot write file \"%s\". %s"; Read and Write retry short transfers
// until Count bytes or the end of the file.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& FileName, uint16_t Mode);
    // Takes over an open descriptor (closed by the destructor); FileName is used in messages.
    TFileStream(int Handle, const std::string& FileName);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    void WriteBuffers(const TBufferRef* Blocks, int Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override;
    const std::string& FileName() const { return FName; }
    int Handle() const { return FHandle; }
    // Flushes to the disk (through FileSync); raises EWriteError on failure.
    void Flush();
    // How Flush takes a file's data to the disk: fsync, answering 0 or -1 with errno set. Tests put a
    // failing stand-in here to see what a save does when the disk refuses its data at the last moment.
    static int (*FileSync)(int Handle);

private:
    std::string FName;
    int FHandle = -1;
};

// A growable stream in memory. SaveToFile writes through WriteFileAtomically. A size that cannot be
// allocated raises EOutOfMemory "Out of memory".
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }
    void SetSize(int64_t NewSize) override;
    void Clear();
    void LoadFromStream(TStream& Source);
    void LoadFromFile(const std::string& FileName);
    void SaveToStream(TStream& Dest);
    void SaveToFile(const std::string& FileName);
    uint8_t* Memory() { return FData.data(); }
    const uint8_t* Memory() const { return FData.data(); }
    std::vector<uint8_t>& Bytes() { return FData; }

private:
    std::vector<uint8_t> FData;
    int64_t FPosition = 0;
};

// A read-only stream over bytes owned elsewhere.
class TBytesStream : public TStream {
public:
    TBytesStream(const void* Data, int64_t Size) : FData(static_cast<const uint8_t*>(Data)), FSize(Size) {}
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override; // raises EWriteError
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return FSize; }

private:
    const uint8_t* FData;
    int64_t FSize;
    int64_t FPosition = 0;
};

// Writes a file whole or not at all: Writer fills a temporary file in the target's folder, which is
// flushed and renamed over FileName only when Writer returns normally. On any failure the temporary
// file is removed, the old file stays as it was and the exception propagates. The temporary file is
// ".<name>.XXXXXX" beside the target; the result keeps the permissions of the file it replaces
// (0644 minus the umask for a new file). A symbolic link is followed: its target is replaced, or
// created when missing, and the link kept. Only a missing name or a regular file is replaced: a
// folder, FIFO, device or socket there, or a file without any write bit in its mode, raises
// EFCreateError "Cannot create file \"%s\". %s" and is left as it is. Messages name FileName, never
// the temporary file.
void WriteFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Writer);

// ---- Lists -----------------------------------------------------------------------------------
// A list of pointer-sized items. Invalid indices raise EListError "List index out of bounds (%d)".
class TList {
public:
    using Item = void*;
    int Count() const { return static_cast<int>(FItems.size()); }
    int Add(Item p);
    void Insert(int Index, Item p);
    void Delete(int Index);
    int Remove(Item p);
    int IndexOf(Item p) const;
    void Clear() { FItems.clear(); }
    void Exchange(int A, int B);
    void Move(int From, int To);
    Item Get(int Index) const;
    void Put(int Index, Item p);
    Item First() const { return Get(0); }
    Item Last() const { return Get(Count() - 1); }
    void Sort(const std::function<int(Item, Item)>& Compare);
    Item operator[](int Index) const { return Get(Index); }

private:
    void Check(int Index) const;
    std::vector<Item> FItems;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

// A list of strings with an optional object per string. Invalid indices raise EStringListError
// "List index out of bounds (%d)"; with Sorted and dupError a duplicate raises
// "String list does not allow duplicates".
class TStringList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    int Add(const std::string& S);
    int AddObject(const std::string& S, void* Obj);
    void Insert(int Index, const std::string& S);
    void Delete(int Index);
    void Clear() { FItems.clear(); }
    void Exchange(int A, int B);
    void Move(int From, int To);
    // Exact match unless CaseSensitive is false.
    int IndexOf(const std::string& S) const;
    bool Find(const std::string& S, int& Index) const; // binary search in a sorted list
    const std::string& Strings(int Index) const;
    void SetString(int Index, const std::string& S);
    void* Objects(int Index) const;
    void SetObject(int Index, void* Obj);
    const std::string& operator[](int Index) const { return Strings(Index); }
    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value);
    void Sort();
    // Lines joined by '\n' (each line ends with one); SetText splits on \n, \r\n or \r.
    std::string Text() const;
    void SetText(const std::string& Value);
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);
    std::string Values(const std::string& Name) const; // "Name=Value" lines
    TDuplicates Duplicates = dupIgnore;
    bool CaseSensitive = true;

private:
    struct Entry {
        std::string S;
        void* Obj = nullptr;
    };
    void Check(int Index) const;
    int Compare(const std::string& A, const std::string& B) const;
    std::vector<Entry> FItems;
    bool FSorted = false;
};
