#pragma once
// Icons drawn in code (no image files to ship): a rounded square in one of a few
// colours carrying a white glyph, crisp at every size.
#include <QColor>
#include <QIcon>
#include <QList>
#include <QString>

enum class OvGlyph {
    Letter, Person, People, Document, Import, Pen, Gear, Calendar, Printer, Folder, Disk,
    Cancel, Plus, Minus, Search, First, Prior, Next, Last, Check, Help, Info, Refresh,
};

namespace OvColors {
inline const QColor Blue{0x2f, 0x6d, 0xb5};
inline const QColor Green{0x2e, 0x8b, 0x57};
inline const QColor Orange{0xd9, 0x82, 0x2b};
inline const QColor Purple{0x7a, 0x4f, 0xb0};
inline const QColor Teal{0x1f, 0x8a, 0x8a};
inline const QColor Red{0xc0, 0x39, 0x2b};
inline const QColor Slate{0x51, 0x60, 0x6f};
} // namespace OvColors

// letter is drawn for OvGlyph::Letter (its first one or two characters).
QIcon ovMakeIcon(OvGlyph glyph, const QColor &color, const QString &letter = {});
QPixmap ovMakePixmap(OvGlyph glyph, const QColor &color, int size, const QString &letter = {});

// An icon of the framework's stock by name (case-insensitive): "DATIANAGRAFICI",
// "MODELLI", "IMPORTMOD", "FIRME", "PARAMETRI", "IMPEGNI", "ALUNNI", "STAMPA",
// "SALVA", "ANNULLA", "NUOVO", "ELIMINA", "CERCA", "PRIMO", "PRECEDENTE",
// "SUCCESSIVO", "ULTIMO", "CONFERMA", "AIUTO", "INFO", "CARTELLA", "DOCUMENTO",
// "AGGIORNA". Any other name gets its initial on a colour chosen by the name.
QIcon ovStockIcon(const QString &name);
bool ovIsStockIcon(const QString &name);

// A list of images addressed by index, as commands and actions refer to them.
class TOvImageList
{
public:
    int add(const QIcon &icon);
    int addNamed(const QString &name); // a stock icon, see ovStockIcon
    // The icon at index; an index out of range (-1 for "none") gives a null icon.
    QIcon icon(int index) const;
    int count() const { return int(m_icons.size()); }
    void clear() { m_icons.clear(); }

private:
    QList<QIcon> m_icons;
};
