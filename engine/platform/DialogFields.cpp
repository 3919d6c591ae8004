#include "platform/DialogFields.h"

#include <limits>

#include "platform/Text1252.h"

namespace qel {

namespace {

// One code point from the front of `text`, or -1 for a broken sequence
// (which then counts as one byte).
long NextCodePoint(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + std::size_t(length) > text.size()) {
        ++at;
        return -1;
    }
    long code = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + std::size_t(i));
        if ((next >> 6) != 0x2) {
            ++at;
            return -1;
        }
        code = code << 6 | (next & 0x3F);
    }
    at += std::size_t(length);
    return code;
}

char Cp1252Of(long code) {
    if (code >= 0 && code < 0x80) return char(code);
    for (int b = 0x80; b < 0x100; ++b)
        if (long(Cp1252ToUnicode(std::uint8_t(b))) == code) return char(b);
    return '?';
}

}  // namespace

std::uint32_t FieldUnsigned(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return 0;
    const std::size_t last = text.find_last_not_of(' ');
    const std::string_view digits = text.substr(first, last - first + 1);
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + std::uint64_t(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) return 0;
    }
    return std::uint32_t(value);
}

std::string FieldTextCp1252(std::string_view utf8) {
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) out.push_back(Cp1252Of(NextCodePoint(utf8, at)));
    return out;
}

}  // namespace qel
