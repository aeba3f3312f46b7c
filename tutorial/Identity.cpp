// DimwellHelp's identity, kept in the executable so that Dimwell can tell a
// running tutorial from any program that merely shares its name.

#include "common/ProgramIdentity.h"

#include <cstdint>
#include <string_view>

namespace {

struct IdentityNote {
    std::uint32_t ownerSize;
    std::uint32_t identitySize;
    std::uint32_t type;
    char owner[sizeof dimwell::kIdentityNoteOwner];
    char identity[sizeof dimwell::kTutorialIdentity];
};
// The note format pads both texts to four bytes; these need none.
static_assert(sizeof dimwell::kIdentityNoteOwner % 4 == 0 && sizeof dimwell::kTutorialIdentity % 4 == 0);
static_assert(std::string_view("Dimwell") == dimwell::kIdentityNoteOwner);
static_assert(std::string_view("com.Orvalen.DimwellHelp") == dimwell::kTutorialIdentity);

[[gnu::used, gnu::section(".note.dimwell.identity")]] alignas(4) const IdentityNote kNote{
    sizeof dimwell::kIdentityNoteOwner, sizeof dimwell::kTutorialIdentity, dimwell::kIdentityNoteType, "Dimwell",
    "com.Orvalen.DimwellHelp"};

} // namespace
