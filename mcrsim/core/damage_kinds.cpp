// Swipe-time damage of one kind; see damage_kinds.h.
#include "damage_kinds.h"

#include <algorithm>

namespace mcrsim {

namespace {

bool CharacterHit(const std::vector<std::size_t> &flips, std::size_t first, std::size_t width) {
    return std::any_of(flips.begin(), flips.end(), [&](std::size_t bit) { return bit >= first && bit < first + width; });
}

void AddToTrack(const TrackFormat &format, CardTrack *track, DamageKind kind) {
    Damage &damage = track->damage;
    const std::size_t width = static_cast<std::size_t>(format.charBits);
    const std::size_t dataChars = track->data.size();
    const std::size_t contentBits = (dataChars + 3) * width;
    switch (kind) {
    case DamageKind::None:
        break;
    case DamageKind::FlippedBit: {
        // Data characters are 1 .. dataChars; character dataChars + 1 is the end sentinel.
        const std::size_t last = dataChars + 1;
        std::size_t k = dataChars == 0 ? 1 : (dataChars + 1) / 2;
        while (k < last && CharacterHit(damage.flips, k * width, width)) ++k;
        const std::size_t bit = k * width;
        if (std::find(damage.flips.begin(), damage.flips.end(), bit) == damage.flips.end())
            damage.flips.push_back(bit);
        break;
    }
    case DamageKind::LostStart: damage.loseStart = true; break;
    case DamageKind::LostEnd: damage.loseEnd = true; break;
    case DamageKind::Truncated:
        if (damage.truncateAfter == 0) damage.truncateAfter = contentBits / 2;
        break;
    case DamageKind::Reversed: damage.reversed = true; break;
    }
}

}  // namespace

const DamageKindInfo *FindDamageKind(std::string_view name) {
    for (const DamageKindInfo &info : kDamageKinds)
        if (name == info.name) return &info;
    return nullptr;
}

int AddDamage(Card *card, DamageKind kind, std::optional<Track> track) {
    int damaged = 0;
    for (Track t : kTracks) {
        if (track && *track != t) continue;
        CardTrack &cardTrack = (*card)[t];
        if (!cardTrack.present || kind == DamageKind::None) continue;
        AddToTrack(FormatOf(t), &cardTrack, kind);
        ++damaged;
    }
    return damaged;
}

}  // namespace mcrsim
