// What must hold for any input to the settings-file reader and to the path
// rules. Shared by the native fuzzers (fuzz/*_fuzzer.cpp, built with clang
// and the sanitizers) and by the Windows unit test that replays their
// corpus, so that both builds of the same code answer the same questions.
// Each check returns "" when everything held, else what did not.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzcheck {

// The input is a settings file's text: reading it, deleting a key in place
// and writing a value must agree with reading the result afresh, and a
// write must leave every other key as it was, a batch of changes must read
// as its changes made one at a time; as the body of a UTF-16 file
// it must come back unit for unit.
std::string CheckSettingsText(const uint8_t* data, size_t size);

// The input is a desktop path, a host's user folder and a key name at
// once: card names never hold a separator, a card directory is either
// usable as a card path or refused, a usable one is made level by level
// and a file type is the name's end, the conduit folder is the
// user's folder (or its parent for a final "dir") plus "Tolvane\", queue
// positions round-trip.
std::string CheckPathRules(const uint8_t* data, size_t size);

}  // namespace fuzzcheck
