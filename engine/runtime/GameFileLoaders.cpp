#include "runtime/GameFileLoadersInternal.h"

#include <cstdarg>
#include <cstdio>

#include "foundation/AssetName.h"
#include "foundation/File.h"
#include "logic/Behavior.h"

namespace gamefile {

bool Reader::Ok() {
    if (fault.empty() && file.HasError()) {
        if (section[0] != '\0')
            Fail("it ends early, in the %s", section);
        else
            Fail("it ends early");
    }
    return fault.empty();
}

const std::string& Reader::Fault() {
    Ok();
    return fault;
}

void Reader::Fail(const char* format, ...) {
    file.SetError();
    if (!fault.empty()) return;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    fault = text;
}

std::int32_t Reader::Int() {
    int v = 0;
    file.Read(v);
    return v;
}

std::uint32_t Reader::UInt() {
    unsigned int v = 0;
    file.Read(v);
    return v;
}

float Reader::Float() {
    float v = 0;
    file.Read(v);
    return v;
}

double Reader::Double() {
    double v = 0;
    file.Read(v);
    return v;
}

bool Reader::Bool() {
    bool v = false;
    file.Read(v);
    return v;
}

std::uint8_t Reader::Byte() {
    unsigned char v = 0;
    file.Read(v);
    return v;
}

void Reader::Raw(void* p, int n) { file.Read(p, n); }

QelRect Reader::Rect() {
    QelRect r;
    file.Read(r);
    return r;
}

String Reader::FileName() {
    const String name = Text();
    if (Ok() && !IsConfinedAssetName(name))
        Fail("the file name %s leaves its folder, in the %s", static_cast<const char*>(name), section);
    return name;
}

String Reader::Text() {
    const std::int32_t length = Int();
    String text;
    if (!Ok()) return text;
    if (length < 0 || length > file.BytesLeft()) {
        Fail("a text of %d bytes is more than the data holds, in the %s", length, section);
        return text;
    }
    // One more byte: the copy stops at a terminator.
    std::vector<char> bytes(static_cast<std::size_t>(length) + 1, '\0');
    file.Read(bytes.data(), length);
    text.assign(bytes.data(), length);
    return text;
}

std::int32_t Reader::Count(const char* what, long recordBytes) {
    const std::int32_t n = Int();
    if (!Ok()) return 0;
    if (n < 0 || (recordBytes > 0 && n > file.BytesLeft() / recordBytes)) {
        Fail("its count of %s (%d) is more than the data holds", what, n);
        return 0;
    }
    return n;
}

std::vector<BehaviourEntry> Reader::Behaviour() {
    std::vector<BehaviourEntry> entries;
    const std::int32_t n = Count("behaviour entries", stored::ShortestBehaviourEntry);
    for (std::int32_t i = 0; i < n && Ok(); ++i) {
        BehaviourEntry e{Int(), 0, false};
        if (e.kind >= 0 && e.kind <= 2) {
            e.number = UInt();
            e.active = Bool();
            if (Ok()) entries.push_back(e);
        }
    }
    return entries;
}

CollisionSegment Reader::Segment() {
    const float x1 = Float(), y1 = Float(), x2 = Float(), y2 = Float();
    const std::int32_t id = Int();
    const std::uint8_t type = Byte();
    const std::int32_t value = Int();
    return CollisionSegment(x1, y1, x2, y2, id, type, value);
}

CollisionCircle Reader::Circle() {
    const float x = Float(), y = Float(), radius = Float();
    const std::int32_t id = Int();
    const std::uint8_t type = Byte();
    return CollisionCircle(x, y, radius, id, type);
}

void Apply(const std::vector<BehaviourEntry>& entries, Behavior& behaviour) {
    for (const BehaviourEntry& e : entries) {
        if (e.kind == 0)
            behaviour.AddFunction(e.number, e.active);
        else if (e.kind == 1)
            behaviour.AddStateMachine(e.number, e.active);
        else
            behaviour.AddTimer(e.number, e.active);
    }
}

}  // namespace gamefile
