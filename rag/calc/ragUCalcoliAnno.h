#pragma once
// Payroll rules of a financial year: one class per year in which a rule
// changed, each inheriting the rules of the previous one. The CU import
// only selects the classes for its financial year; the rules themselves
// (deduction brackets QRY_TDLA, QRY_TDCO, QRY_TDFA, QRY_TDCA, QRY_TDCU,
// bonuses, contribution exemptions, the entertainment fund) are run by the
// payroll program, which owns them.
#include <QString>
#include <memory>

// Compensation rules of a year.
class TTorCalcolaAnno
{
public:
    virtual ~TTorCalcolaAnno() = default;
    virtual QString className() const { return QStringLiteral("TTorCalcolaAnno"); }
};

class TTorCalcolaAnno2023 : public TTorCalcolaAnno
{
public:
    QString className() const override { return QStringLiteral("TTorCalcolaAnno2023"); }
};

// Adds the mothers' exemption and the INPS exemption on ordinary and
// part-time withholdings.
class TTorCalcolaAnno2024 : public TTorCalcolaAnno2023
{
public:
    QString className() const override { return QStringLiteral("TTorCalcolaAnno2024"); }
};

// Payroll rules of a year.
class TRagCalcolaAnno
{
public:
    virtual ~TRagCalcolaAnno() = default;
    virtual QString className() const { return QStringLiteral("TRagCalcolaAnno"); }
    // The first financial year whose rules the class holds.
    virtual int primoAnno() const { return 0; }

    // Selects the rule objects of `anno`: frees the current ones and creates
    // those of the year (held process-wide until the next selection or
    // shutdown).
    static void selezionaAnno(int anno);
    // The selected objects; null before the first selection.
    static TRagCalcolaAnno *corrente();
    static TTorCalcolaAnno *correnteCompensi();
    // The classes `anno` selects, without creating them.
    static QString classeAnno(int anno);
    static QString classeCompensiAnno(int anno);
    // Frees both objects (shutdown).
    static void rilascia();
};

#define VELCU_RAG_ANNO(year, parent)                                                    \
    class TRagCalcolaAnno##year : public parent                                         \
    {                                                                                   \
    public:                                                                             \
        QString className() const override { return QStringLiteral("TRagCalcolaAnno" #year); } \
        int primoAnno() const override { return year; }                                 \
    };

VELCU_RAG_ANNO(2004, TRagCalcolaAnno)
VELCU_RAG_ANNO(2005, TRagCalcolaAnno)
VELCU_RAG_ANNO(2007, TRagCalcolaAnno2005)
VELCU_RAG_ANNO(2008, TRagCalcolaAnno2007)
VELCU_RAG_ANNO(2009, TRagCalcolaAnno2008)
VELCU_RAG_ANNO(2010, TRagCalcolaAnno2009)
VELCU_RAG_ANNO(2014, TRagCalcolaAnno2010)
VELCU_RAG_ANNO(2015, TRagCalcolaAnno2014)
VELCU_RAG_ANNO(2017, TRagCalcolaAnno2015)
VELCU_RAG_ANNO(2018, TRagCalcolaAnno2017)
VELCU_RAG_ANNO(2019, TRagCalcolaAnno2018)
VELCU_RAG_ANNO(2020, TRagCalcolaAnno2019)
VELCU_RAG_ANNO(2021, TRagCalcolaAnno2020)
VELCU_RAG_ANNO(2022, TRagCalcolaAnno2021)
VELCU_RAG_ANNO(2023, TRagCalcolaAnno2022)
VELCU_RAG_ANNO(2024, TRagCalcolaAnno2023)
VELCU_RAG_ANNO(2025, TRagCalcolaAnno2024)

#undef VELCU_RAG_ANNO

class Currency;
struct TRagSource;

// Contract tables (QRY_CCNL_COMR, QRY_CCNV_HELP): amounts FCCNLIMPORTO of
// the pay items of a qualification.
class TRagCCNL
{
public:
    static QString className() { return QStringLiteral("TRagCCNL"); }
    // The contract amount of pay item `icomrid` for qualification `iqarid`
    // in the year; 0 when the contract has none.
    static Currency importo(int ianfid, int iqarid, int icomrid, const TRagSource &source);
};
