#pragma once
// A parsed filter expression: the values it compares and the nodes of its
// tree, shared by the parser and by the binding and evaluation of
// DataSetFilter.
#include "platform/dataset/DataSetFilter.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace dsinternal {

// The kind of a value in an expression, and the value: i holds integers,
// amounts (in ten-thousandths), dates (Julian days), date-times (ms), booleans.
enum class VKind : quint8 { Null, Int, Cur, Float, Text, Date, DateTime, Bool, Blob };

struct Val
{
    VKind k = VKind::Null;
    qint64 i = 0;
    double f = 0;
    QString s;
    QByteArray b;

    static Val boolean(bool v)
    {
        Val r;
        r.k = VKind::Bool;
        r.i = v ? 1 : 0;
        return r;
    }
};

// A node of the tree: a field, a literal, or an operator over its kids.
enum class NKind { Field, Literal, Add, Cmp, And, Or, Not, IsNull, Like, In };
enum class CmpOp { Eq, Ne, Lt, Gt, Le, Ge };

struct FilterNode
{
    NKind kind = NKind::Literal;
    QString name;   // Field: name as written
    int field = -1; // Field: index after bind
    Val lit;        // Literal
    QString litText;
    bool litNumber = false;
    CmpOp op = CmpOp::Eq;
    bool negate = false; // IS NOT NULL, NOT LIKE, NOT IN
    VKind type = VKind::Null;
    std::vector<std::unique_ptr<FilterNode>> kids;
};

// EDatabaseError "Filtro non valido "<text>": <detail>".
[[noreturn]] void throwFilterError(const QString &text, const QString &detail);

// The tree of a filter's text; EDatabaseError on a syntax error.
std::unique_ptr<FilterNode> parseFilter(const QString &text);

} // namespace dsinternal
