#include "rtl/IniEncoding.h"

#include <algorithm>

namespace rtl {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

size_t MarkSize(IniEncoding encoding) noexcept {
    switch (encoding) {
    case IniEncoding::Utf8: return kUtf8Mark.size();
    case IniEncoding::Utf16Le: return kUtf16LeMark.size();
    default: return 0;
    }
}

void AppendUtf8(std::string& out, uint32_t code) {
    const auto put = [&](uint32_t byte) { out.push_back(static_cast<char>(byte)); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | (code >> 6));
        put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | (code >> 12));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | (code >> 18));
        put(0x80 | ((code >> 12) & 0x3F));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    }
}

void AppendUnit(std::string& out, uint32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    const auto unit = [&](size_t i) {
        return uint32_t(uint8_t(bytes[2 * i])) | (uint32_t(uint8_t(bytes[2 * i + 1])) << 8);
    };
    for (size_t i = 0; i < units; ++i) {
        const uint32_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

// The length of the sequence a leading byte starts; a stray byte counts alone.
size_t SequenceLength(uint8_t lead) noexcept {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0 && lead < 0xF0) return 3;
    if (lead >= 0xC0 && lead < 0xE0) return 2;
    return 1;
}

// Generalised UTF-8 back to UTF-16 units. Bytes that form no sequence
// (which a text made from UTF-16 never holds) become U+FFFD.
std::string Utf8ToUtf16Le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size();) {
        const uint8_t lead = uint8_t(text[i]);
        size_t length = SequenceLength(lead);
        bool valid = length > 1 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) valid = (uint8_t(text[i + k]) & 0xC0) == 0x80;
        uint32_t code = lead;
        if (length == 1) {
            if (lead >= 0x80) code = 0xFFFD;
        } else if (!valid) {
            code = 0xFFFD;
            length = 1;
        } else {
            code = lead & (0xFF >> (length + 1));
            for (size_t k = 1; k < length; ++k) code = (code << 6) | (uint8_t(text[i + k]) & 0x3F);
        }
        if (code >= 0x10000) {
            AppendUnit(out, 0xD800 + ((code - 0x10000) >> 10));
            AppendUnit(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            AppendUnit(out, code);
        }
        i += length;
    }
    return out;
}

}  // namespace

IniEncoding DetectIniEncoding(std::string_view bytes) noexcept {
    if (bytes.starts_with(kUtf8Mark)) return IniEncoding::Utf8;
    if (bytes.starts_with(kUtf16LeMark)) return IniEncoding::Utf16Le;
    return IniEncoding::Ansi;
}

std::string IniTextOfBytes(std::string_view bytes, IniEncoding encoding) {
    bytes.remove_prefix(std::min(bytes.size(), MarkSize(encoding)));
    return encoding == IniEncoding::Utf16Le ? Utf16LeToUtf8(bytes) : std::string(bytes);
}

std::string IniBytesOfText(std::string_view text, IniEncoding encoding, bool withMark) {
    std::string bytes;
    if (withMark) bytes = encoding == IniEncoding::Utf8 ? kUtf8Mark : encoding == IniEncoding::Utf16Le ? kUtf16LeMark : "";
    bytes += encoding == IniEncoding::Utf16Le ? Utf8ToUtf16Le(text) : std::string(text);
    return bytes;
}

uint64_t IniFileOffset(std::string_view text, size_t offset, IniEncoding encoding) noexcept {
    if (encoding != IniEncoding::Utf16Le) return MarkSize(encoding) + offset;
    uint64_t units = 0;
    for (size_t i = 0; i < offset && i < text.size();) {
        const size_t length = SequenceLength(uint8_t(text[i]));
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return MarkSize(encoding) + 2 * units;
}

}  // namespace rtl
