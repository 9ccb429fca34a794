// Damage of one kind added to a card at swipe time, as the panel's damage choice and
// the control tool's --damage option offer it. It is Damage (tracks.h) like a deck
// file's damage lines, so the decoder decides what the reader reports.
#ifndef STRIPEWELL_MCRSIM_CORE_DAMAGE_KINDS_H
#define STRIPEWELL_MCRSIM_CORE_DAMAGE_KINDS_H

#include <optional>
#include <string_view>

#include "card.h"

namespace mcrsim {

enum class DamageKind { None, FlippedBit, LostStart, LostEnd, Truncated, Reversed };

struct DamageKindInfo {
    DamageKind kind;
    const char *name;   // as the tool takes it; the deck file's word for the same damage
    const char *label;  // as the panel shows it
};

inline constexpr DamageKindInfo kDamageKinds[] = {
    {DamageKind::None, "none", "None"},
    {DamageKind::FlippedBit, "flip", "Flipped bit"},
    {DamageKind::LostStart, "lose-start", "Lost start sentinel"},
    {DamageKind::LostEnd, "lose-end", "Lost end sentinel"},
    {DamageKind::Truncated, "truncate", "Truncated swipe"},
    {DamageKind::Reversed, "reversed", "Reversed swipe"},
};

// nullptr when no kind has this name.
const DamageKindInfo *FindDamageKind(std::string_view name);

// Adds damage of this kind to one track of the card, or to every track when track is
// empty. What each kind does to a recorded track:
//   flip        turns over the lowest bit of the middle data character (the end
//               sentinel's when there is no data), skipping characters already hit
//   lose-start  the start sentinel is erased
//   lose-end    the end sentinel and the LRC are worn off
//   truncate    the swipe stops halfway along the track (unless it already stops)
//   reversed    the card goes through backwards
// A track the card does not have is a blank stripe and cannot be damaged: it is left
// as it is. Returns how many tracks took the damage.
int AddDamage(Card *card, DamageKind kind, std::optional<Track> track);

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_DAMAGE_KINDS_H
