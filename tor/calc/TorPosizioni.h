#pragma once
// The payroll's legal positions (ITNOID of the registers) and categories
// (ICALID) with a fixed meaning for the CU: the one place they are spelled.
#include <array>

namespace TorPosizioni {

// Open-ended employment: the income of box 1.
inline constexpr int Indeterminato = 1;
inline constexpr int IndeterminatoPartTime = 2;
inline constexpr int Occasionale = 10;             // occasional self-employed work
inline constexpr int Cococo = 11;                  // co-ordinated collaboration
inline constexpr int LiberoProfessionista = 14;    // professional
inline constexpr int AltroAutonomo = 15;           // other self-employed work
inline constexpr int Borsista = 17;                // scholarship holder

// The self-employed positions, certified in the self-employed section.
inline constexpr std::array<int, 3> Autonomi = {Occasionale, LiberoProfessionista, AltroAutonomo};
// Positions the default categories leave out besides the self-employed ones.
inline constexpr std::array<int, 3> EscluseDaPredefinite = {9, 12, 13};

// The category "7 - Solo autonomi" of the import: the self-employed only.
inline constexpr int CategoriaSoloAutonomi = 7;

constexpr bool autonomo(int position)
{
    for (int p : Autonomi)
        if (p == position)
            return true;
    return false;
}

constexpr bool indeterminato(int position)
{
    return position == Indeterminato || position == IndeterminatoPartTime;
}

} // namespace TorPosizioni
