// The encodings a settings file may come in from a Windows editor: the
// ANSI code page (no mark), UTF-8 with its byte-order mark, or UTF-16
// little-endian with its mark. The reader (rtl/IniText.h) parses the ANSI
// text as it is and both Unicode kinds as UTF-8; these functions turn a
// file's bytes into that text and back, and say where a piece of the text
// lies in the file. Knows no Windows: the ANSI conversions are in
// rtl/IniFiles.cpp.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rtl {

enum class IniEncoding { Ansi, Utf8, Utf16Le };

// The encoding that the file's first bytes announce.
IniEncoding DetectIniEncoding(std::string_view bytes) noexcept;

// The text of a file's bytes: ANSI as it is, UTF-8 without its mark,
// UTF-16 converted to UTF-8. An unpaired surrogate is kept (in the
// generalised UTF-8 that encodes it alone), so that writing the text back
// gives the same units; a final odd byte is dropped.
std::string IniTextOfBytes(std::string_view bytes, IniEncoding encoding);

// The file's bytes for a text, with the mark when `withMark`.
std::string IniBytesOfText(std::string_view text, IniEncoding encoding, bool withMark = true);

// The byte offset in the file at which text[offset] is written.
uint64_t IniFileOffset(std::string_view text, size_t offset, IniEncoding encoding) noexcept;

}  // namespace rtl
