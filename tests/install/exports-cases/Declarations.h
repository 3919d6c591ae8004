// Cases of check-exports.cmake: each "fault:" comment is what the check must
// report for this header, and it must report nothing else.
#pragma once
#include <functional>
#include "QelExport.h"

// fault: variable not exported: extern int hiddenCount
extern int hiddenCount;
extern QEL_API int exportedCount;
constexpr int Limit = 3;
const char* const Names[] = {"a", "b"};

// fault: function not exported: void HiddenFunction(int n)
void HiddenFunction(int n);
QEL_API void ExportedFunction();
QEL_API [[noreturn]] void ExportedEnd(const char* why);
inline int InlineFunction() { return 1; }
static int FileLocal() { return 2; }
template <class T>
T Twice(T t);
typedef void (*Hook)();
using Callback = std::function<void(int)>;
std::function<void()> callbackDefinition;
// fault: function not exported: std::vector<int> Listed(const std::map<int, int>& from)
std::vector<int> Listed(const std::map<int, int>& from);

class QEL_API Exported {
public:
    void Fine();
    struct Nested {
        void AlsoFine();
    };
};

class Hidden {
    void OwnByDefault();

public:
    Hidden() = default;
    // fault: function of a class that is not exported: explicit Hidden(int n)
    explicit Hidden(int n);
    Hidden(const Hidden&) = delete;
    // fault: function of a class that is not exported: Hidden& operator=(const Hidden& other)
    Hidden& operator=(const Hidden& other);
    // fault: function of a class that is not exported: bool operator<(const Hidden& other) const
    bool operator<(const Hidden& other) const;
    // fault: function of a class that is not exported: ~Hidden()
    ~Hidden();
    // fault: static data of a class that is not exported: static int count
    static int count;
    static constexpr int Size = 4;
    virtual void Pure() = 0;
    int Defined() const { return value; }
    void (*callback)() = nullptr;
    std::function<void(int)> handler;
    std::array<int, 4> table{};
    QEL_API void ExportedMember();

protected:
    // fault: function of a class that is not exported: virtual void ForDerived()
    virtual void ForDerived();

private:
    void Own();
    int value = 0;
    struct Inner {
        void OwnToo();
    };
};

struct Plain {
    // fault: function of a class that is not exported: void Call() const
    void Call() const;
    int data[4];
    struct Inner {
        // fault: function of a class that is not exported: void Reached()
        void Reached();
    };
};

template <class T>
class Template {
public:
    void Member();
};

namespace {
void Anonymous();
}

namespace space {
// fault: function not exported: bool operator==(const Plain& a, const Plain& b)
bool operator==(const Plain& a, const Plain& b);
enum class Colour { Red, Green };
}  // namespace space
