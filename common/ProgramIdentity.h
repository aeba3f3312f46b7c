#pragma once
// How the programs of this installation name themselves: each executable carries
// an ELF note (owner "Dimwell", type 1) whose text is its identity. The note is
// part of the file, so a copy or a link of a program keeps its identity, and a
// stranger that only borrows the name has none.

#include <cstdint>

namespace dimwell {

inline constexpr char kIdentityNoteOwner[] = "Dimwell";
inline constexpr std::uint32_t kIdentityNoteType = 1;
inline constexpr char kTutorialIdentity[] = "com.Orvalen.DimwellHelp";

} // namespace dimwell
