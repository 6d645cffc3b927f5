#pragma once
// Drives the record engine over the datasets of the telematic data module:
// which certifications and rows are visited, with which progressive and
// module numbers, which template sections are written; then the assembly of
// the records A, B, C, D, G, H, Z. Runs without a window: the wizard gives it
// its datasets, a log and the preparation of a certification's annotations.
//
// Datasets it uses (TVelFileDataSets, names of VelFileCds): cdsDip (the
// certifications, visited by row number in its current order), the sections
// cdsInps, cdsInpdap, cdsInail, cdsAltriEnti, cdsTfr, cdsCoopArt,
// cdsConFamCar, cdsAnnotazioni, cdsAutSe (filtered per certification on
// IAFIID), cdsQuadroCT, cdsForn, cdsSost.
#include "src/prj/unit/telematic/VelFileTemplate.h"
#include "src/prj/unit/telematic/VelSupplyWriter.h"
#include "src/prj/unit/model/VelDependants.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TClientDataSet;
class TVelFileDataSets;
class TVelFileUtil;

class TVelFileGenerator
{
public:
    TVelFileGenerator(TVelFileDataSets &dataSets, TVelFileUtil &engine);

    // Loads the seven templates from `dir` (the template folder by default)
    // and checks their layout (checkRecordLayout); raises EOvError naming the file.
    void loadTemplates(const QString &dir = QString());
    const TXMLRecordType &recordTemplate(QChar letter) const;
    // Where the writer puts its counts, from the templates of A, B and Z.
    const VelSupplyPlaces &supplyPlaces() const { return m_places; }

    // Progress lines (the wizard's memo).
    void setLog(std::function<void(const QString &)> log) { m_log = std::move(log); }
    // Runs for each certification after its section datasets are filtered and
    // before cdsAnnotazioni is: the wizard rebuilds the annotation rows there.
    void setPreparation(std::function<void(TClientDataSet &dip)> prepare) { m_prepare = std::move(prepare); }

    // ---- the passes; rows: 1-based row numbers of cdsDip, in visiting order ----
    // The whole generation: field and record tables emptied, the Quadro CT
    // flag set from cdsQuadroCT (cell phone or e-mail), then C (only with the
    // flag), D, G and H.
    void generate(const QList<int> &rows);
    void passC();
    void passD(const QList<int> &rows);
    // Record G by certification, in modules. The severance rows begin in the
    // second module when the first one's sections before the severance wrote
    // one of its codes (sharedWithSeverance).
    void passG(const QList<int> &rows);
    void passH(const QList<int> &rows);

    // The field codes of record G's severance section (the one reading
    // cdsTfr), and those of them another section of the template writes too.
    static QSet<QString> severanceCodes(const TXMLRecordType &g);
    static QSet<QString> sharedWithSeverance(const TXMLRecordType &g);

    int certificationsWritten() const { return m_written; } // by the last D or G pass
    // Rows of cdsDip that got a D record in the last D pass (a G or H record
    // never goes without one).
    const QSet<int> &rowsWithRecords() const { return m_rowsD; }
    int selfEmployedCount() const { return m_selfEmployed; } // by the H pass
    int skippedCertifications() const { return m_skipped; }  // by the G pass
    // Certifications record B counts (402-409): every certification of the
    // supply once, whatever it holds (employment, self-employment or both):
    // the certifications that got a D record.
    int certificationsInSupply() const { return int(m_rowsD.size()); }

    // Records A and B, then C, D, G, H from the field rows, then Z, into the
    // record table (emptied first). First checkFilers().
    void assemble();
    // EOvError unless the software producer's code (11 digits with its check
    // digit), the supplier's and the withholding agent's tax codes are valid.
    void checkFilers();

    // All rows of cdsDip, in its current order.
    static QList<int> allRows(TClientDataSet &dip);
    // The certification has data of its own: a column other than the identity
    // and status ones whose text is neither empty nor "0" (a zero amount is "0").
    static bool hasFiscalData(TClientDataSet &dip);
    // "1" when the Quadro CT holds a cell phone number or an e-mail address.
    static bool quadroCTRequested(TClientDataSet *quadroCT);

private:
    // A certification's rows of a section dataset, shown under the dataset's
    // name while the passes run: the same rows, in the same order, that the
    // filter "IAFIID = n" leaves visible, without going through every row of
    // the dataset for every certification.
    struct View
    {
        QString name;
        TClientDataSet *real = nullptr;
        std::unique_ptr<TClientDataSet> rows;
        QHash<qint64, QList<int>> byPerson; // IAFIID -> positions in the real dataset
    };
    class Views;

    TClientDataSet &need(const char *name) const;
    void prepare(TClientDataSet &dip);
    void showPerson(View &view, qint64 person);
    QList<const char *> viewedSections() const;
    void writeSectionG(const TXMLSectionType &section);
    bool isRepeatedSection(const TXMLSectionType &section) const;
    // A field row from firstRow on (in the field table) carries one of the codes.
    bool writtenSince(int firstRow, const QSet<QString> &codes) const;
    QString payee(TClientDataSet &dip) const;
    void log(const QString &line) const;

    TVelFileDataSets &m_dataSets;
    TVelFileUtil &m_engine;
    QList<TXMLRecordType> m_templates; // A, B, C, D, G, H, Z
    VelSupplyPlaces m_places;
    std::function<void(const QString &)> m_log;
    std::function<void(TClientDataSet &)> m_prepare;
    int m_written = 0;
    QSet<int> m_rowsD;
    int m_selfEmployed = 0;
    int m_skipped = 0;
    std::vector<View> *m_views = nullptr; // while a pass runs
    // The dependants of the certification in hand, as the model's table
    // lists them; the family view shows the first module of the table.
    QList<VelDependants::Member> m_family;
    // Further modules of record G for the dependants the first module's
    // table has no room for: the head and the further members' section.
    void familyOverflow(const TXMLRecordType &g, int &module);
    // hasFiscalData by row of cdsDip, kept from the D pass for the G pass of one generation
    QHash<int, bool> m_fiscal;
    bool m_keepFiscal = false;
    bool fiscalData(TClientDataSet &dip, int row);
};

// Checks that a template lays out its record as the engine needs:
//  A, B: fields whose widths add up to 1,898 characters (the closing "A" included);
//  Z: 1,897 (the engine adds the "A");
//  C, D, G, H: first the 11 positional head fields, Number "1" to "11", 89
//  characters together, then only key-value fields (8-character codes) 16 wide;
//  the head's first field with Calc "tipo-record", its fifth (D, G, H) with
//  "certificazione";
//  G: the head in a section of its own, and no section writing
//  one of the severance section's codes after that section.
// Raises EOvError naming the file and what is wrong.
void checkRecordLayout(const TXMLRecordType &record);
