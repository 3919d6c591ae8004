// Binary stream over a disk file or a program resource: raw little-endian
// values of fixed sizes, and whole object graphs of nodes.
//
// A File keeps an error state: a short transfer, a read past the end of the
// data, a write to a resource, corrupt object data, or objects nested deeper
// than a reader takes them (on writing as on reading) set it. Once set, every
// further read yields zeros and EndOfFile() is true, so loaders stop cleanly;
// they ask HasError() before they trust what they read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <unordered_map>
#include <vector>
#include "QelExport.h"
#include "foundation/Types.h"

class node;

class QEL_API File {
public:
    // Reading opens "rb"; any other value writes ("wb").
    enum Mode : int { Reading = 0, Writing = 1 };

    // A program resource (RCDATA) of this name takes precedence over the disk
    // file, whatever the mode; such a File can only be read. A disk file that
    // cannot be opened ends the program.
    File(const char* name, Mode mode);
    // Deletes every object it made inside a read that no owner took, so a
    // refused or partial read leaks nothing. The object a top-level
    // Read(node*&) returns is the caller's, claimed or not.
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // The registered class of that name, newly made, or null.
    static node* CreateObject(const char* name);

    long Size();
    void SeekBegin(long position);
    void SeekCur(long distance);
    // Seeks to distance bytes before the end.
    void SeekEnd(long distance);
    long Position();
    // Disk: after a read ran into the end; resource: at the end.
    bool EndOfFile();

    // Raw bytes. A read never goes past the end: missing bytes read as zero.
    void Read(void* p, int n);
    void Write(const void* p, int n);

    void Read(bool& v);
    void Read(char& v);
    void Read(unsigned char& v);
    void Read(short& v);
    void Read(unsigned short& v);
    void Read(int& v);
    void Read(unsigned int& v);
    void Read(long& v);           // 4 bytes whatever the host's long
    void Read(unsigned long& v);  // 4 bytes
    void Read(float& v);
    void Read(double& v);
    void Read(tagRECT& v);
    void Read(QelRect& v);
    void Read(FRECT& v);

    void Write(bool v);
    void Write(char v);
    void Write(unsigned char v);
    void Write(short v);
    void Write(unsigned short v);
    void Write(int v);
    void Write(unsigned int v);
    void Write(long v);           // 4 bytes whatever the host's long
    void Write(unsigned long v);  // 4 bytes
    void Write(float v);
    void Write(double v);
    void Write(const tagRECT& v);
    void Write(const QelRect& v);
    void Write(const FRECT& v);

    // Object references: int32 0 for null, else a 32-byte class name and an
    // int32 id, followed by the object's own data on its first occurrence.
    void Write(node* p);
    void Write(std::nullptr_t) { Write(static_cast<node*>(nullptr)); }
    // Called outside any object's Load, the object it yields (even a partly
    // read one) belongs to the caller; the ones read inside it belong to
    // whoever claims them.
    void Read(node*& p);
    // Other pointers have no stored form; this stops them turning into bool.
    void Write(const void*) = delete;
    // A signed byte would silently widen to a 4-byte int: cast it to char.
    void Write(signed char) = delete;

    // While it lives, an object that was not made by Read(node*&) is read in
    // place: the objects it reads are its parts, the File's until claimed, as
    // inside a Read(node*&), rather than its caller's.
    class QEL_API InPlace {
    public:
        InPlace(File& file, const node& object);
        ~InPlace();
        InPlace(const InPlace&) = delete;
        InPlace& operator=(const InPlace&) = delete;

    private:
        File& file;
    };

    bool HasError() const { return failed; }
    // Marks the file in error: a loader found its data corrupt.
    void SetError() { failed = true; }
    // Bytes between the position and the end (for checking stored counts).
    long BytesLeft();
    // True while the object's own Load is running (it is being read in).
    bool IsLoading(const node* p) const;
    // An owner (a list, an object's local variable) takes an object that it
    // read from this File. One still being read in, one that an earlier owner
    // took, or one this File did not make would end up owned twice: refused,
    // and the file is in error. Null is nothing to take: accepted.
    bool Claim(node* p);
    // The owner of p deleted it before the end of the read: a later reference
    // to its id is corrupt, and so is an earlier second reference (that one
    // now points at nothing).
    void Forget(const node* p);
    // Objects this File made that no owner has taken (yet) and that it would
    // delete.
    int Unclaimed() const;
    // Finishes a disk file (flush and close); true when nothing failed.
    bool Close();

private:
    void ReadRaw(void* p, std::size_t n);
    void WriteRaw(const void* p, std::size_t n);
    std::uint32_t ReadU32();
    void WriteU32(std::uint32_t v);
    void SeekTo(long long position, int whence);

    std::FILE* stream = nullptr;
    bool fromResource = false;
    bool writing = false;
    bool failed = false;
    const unsigned char* base = nullptr;
    std::int64_t cursor = 0;
    std::int32_t size = 0;
    std::int32_t lastId = 0;
    std::unordered_map<const node*, std::int32_t> writtenIds;
    std::unordered_map<std::int32_t, node*> readObjects;
    struct Made {
        bool claimed = false;
        // Handed out by a top-level read: its caller owns it.
        bool callers = false;
        int references = 0;
    };
    void HandToCaller(node* p);
    // Every object this File made: whether an owner has taken it, and how
    // often the file referred to it. Made order is kept for deleting.
    std::unordered_map<const node*, Made> made;
    std::vector<node*> madeOrder;
    std::vector<const node*> loading;
    // Objects whose own Save or Load is running, one inside another: the
    // writer and the reader count alike, whatever is read in place.
    std::size_t nested = 0;
};
