#pragma once
// A structure or a field of the CU record model, named in the code by an
// identifier the build generates from recordmodel.json (VelFields.h):
//
//   cds.fieldByName(fld::SCUDCOGNOME.qs())      the field of the CU
//   set(fld::fCudReddDetr, amount)              a typed setter takes it whole
//   rec::TCUD_DATICUD::id                       the structure
//
// A name mistyped, or dropped from the model, no longer compiles. Each id
// carries the name as the model spells it, its upper-case form (the key under
// which rows read by name keep it), its kind and its width; the kind is also
// its C++ type (VelField<kind>), so a reader returns the value's own type
// (VelFieldRead.h) and an amount cannot be read as a date.
#include <QLatin1String>
#include <QString>

enum class VelFieldKind {
    Text,    // free text
    Memo,    // long free text
    Amount,  // currency, four decimals
    Integer,
    Date,
    FlagX,   // one character: "X" set, "0" not set
    Flag1,   // one character: "1" set, "0" not set
    Lookup,  // a code chosen from a code table (or from another structure)
    List,    // a code chosen from a fixed list of values
};

struct VelFieldId
{
    const char *name;        // as the record model spells it
    const char *upper;       // upper case
    const char16_t *uname;
    const char16_t *uupper;
    int length;
    int size;                // width of a text field; 0 for the others
    VelFieldKind kind;
    const char *structure;   // the structure it belongs to; nullptr when several share it

    constexpr operator const char *() const { return name; }
    // Over the id's own static text: no copy is made.
    QString qs() const { return QString::fromRawData(reinterpret_cast<const QChar *>(uname), length); }
    QString qsUpper() const { return QString::fromRawData(reinterpret_cast<const QChar *>(uupper), length); }
    constexpr QLatin1String l1() const { return QLatin1String(name, length); }
    constexpr QLatin1String l1Upper() const { return QLatin1String(upper, length); }
};

template <VelFieldKind K>
struct VelField : VelFieldId
{
    static constexpr VelFieldKind fieldKind = K;
};

using VelTextField = VelField<VelFieldKind::Text>;
using VelAmountField = VelField<VelFieldKind::Amount>;
using VelIntegerField = VelField<VelFieldKind::Integer>;
using VelDateField = VelField<VelFieldKind::Date>;

struct VelStructureId
{
    const char *name;
    const char16_t *uname;
    int length;

    constexpr operator const char *() const { return name; }
    QString qs() const { return QString::fromRawData(reinterpret_cast<const QChar *>(uname), length); }
    constexpr QLatin1String l1() const { return QLatin1String(name, length); }
};
