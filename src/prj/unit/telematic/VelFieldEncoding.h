#pragma once
// The format codes of the telematic supply: a value made into the
// fixed-width text of its field. docs/telematic-templates.md lists them.
#include "src/prj/unit/telematic/VelFileTemplate.h"

#include <QString>

class TVelFieldEncoder
{
public:
    // Encodes a value by its format code; the result has the field's width
    // except where an encoding gives an empty text (nothing to write). A
    // right-aligned value (a number) or a text that does not fit raises
    // EOvError. The format code and `Info` as written; an unknown format
    // raises EOvError.
    static QString encode(const QString &value, int width, const QString &format, const QString &info);
    // The same with the codes parsed at load (TXMLCampoType).
    static QString encode(const QString &value, int width, TXMLFormat format, int formatDigits, TXMLInfo info);
};
