#include "rag/calc/ragUCalcoliAnno.h"

#include "rag/calc/ragUQuery.h"

namespace {

std::unique_ptr<TRagCalcolaAnno> &payrollRules()
{
    static std::unique_ptr<TRagCalcolaAnno> rules;
    return rules;
}

std::unique_ptr<TTorCalcolaAnno> &compensationRules()
{
    static std::unique_ptr<TTorCalcolaAnno> rules;
    return rules;
}

std::unique_ptr<TTorCalcolaAnno> newCompensationRules(int anno)
{
    if (anno < 2023)
        return std::make_unique<TTorCalcolaAnno>();
    if (anno == 2023)
        return std::make_unique<TTorCalcolaAnno2023>();
    return std::make_unique<TTorCalcolaAnno2024>();
}

std::unique_ptr<TRagCalcolaAnno> newPayrollRules(int anno)
{
    if (anno <= 2004)
        return std::make_unique<TRagCalcolaAnno2004>();
    if (anno <= 2006)
        return std::make_unique<TRagCalcolaAnno2005>();
    switch (anno) {
    case 2007: return std::make_unique<TRagCalcolaAnno2007>();
    case 2008: return std::make_unique<TRagCalcolaAnno2008>();
    case 2009: return std::make_unique<TRagCalcolaAnno2009>();
    case 2010: case 2011: case 2012: case 2013: return std::make_unique<TRagCalcolaAnno2010>();
    case 2014: return std::make_unique<TRagCalcolaAnno2014>();
    case 2015: case 2016: return std::make_unique<TRagCalcolaAnno2015>();
    case 2017: return std::make_unique<TRagCalcolaAnno2017>();
    case 2018: return std::make_unique<TRagCalcolaAnno2018>();
    case 2019: return std::make_unique<TRagCalcolaAnno2019>();
    case 2020: return std::make_unique<TRagCalcolaAnno2020>();
    case 2021: return std::make_unique<TRagCalcolaAnno2021>();
    case 2022: return std::make_unique<TRagCalcolaAnno2022>();
    case 2023: return std::make_unique<TRagCalcolaAnno2023>();
    case 2024: return std::make_unique<TRagCalcolaAnno2024>();
    default: return std::make_unique<TRagCalcolaAnno2025>();
    }
}

}

void TRagCalcolaAnno::selezionaAnno(int anno)
{
    compensationRules().reset();
    compensationRules() = newCompensationRules(anno);
    payrollRules().reset();
    payrollRules() = newPayrollRules(anno);
}

TRagCalcolaAnno *TRagCalcolaAnno::corrente()
{
    return payrollRules().get();
}

TTorCalcolaAnno *TRagCalcolaAnno::correnteCompensi()
{
    return compensationRules().get();
}

QString TRagCalcolaAnno::classeAnno(int anno)
{
    return newPayrollRules(anno)->className();
}

QString TRagCalcolaAnno::classeCompensiAnno(int anno)
{
    return newCompensationRules(anno)->className();
}

void TRagCalcolaAnno::rilascia()
{
    payrollRules().reset();
    compensationRules().reset();
}

Currency TRagCCNL::importo(int ianfid, int iqarid, int icomrid, const TRagSource &source)
{
    TRagQuery q(source);
    TOvSQLQuery &ds = q.open(QStringLiteral("QRY_CCNL_COMR"),
                             {{QStringLiteral("IANFID"), ianfid}, {QStringLiteral("IQARID"), iqarid}});
    Currency amount;
    for (ds.first(); !ds.eof(); ds.next())
        if (ds.fieldByName(QStringLiteral("ICOMRID")).asInteger() == icomrid)
            amount += TRagQuery::amount(ds, QStringLiteral("FCCNLIMPORTO"));
    ds.close();
    return amount;
}
