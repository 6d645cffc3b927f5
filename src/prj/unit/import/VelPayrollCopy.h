#pragma once
// The payroll rows of a group of employees, copied from the server into a
// private in-memory SQLite database, so that the many small queries of each
// employee's CU run locally instead of one round trip each.
//
// On a server every statement waits for the network: an employee's CU reads
// the payroll some thirty times, one query per item and per code. The copy
// reads the rows of the next group of relationships in one statement per
// table (set-based, whatever the group's size), and the employee's queries
// then run on it, unchanged: the catalogue's texts run on SQLite and on
// PostgreSQL alike, and the copy's columns are declared as on the server, so
// the values arrive typed as they would from a SQLite payroll.
//
// What is copied:
//   - the lookup tables (municipalities, positions, pay items, rates,
//     deduction tables, the school's records), whole, once per copy;
//   - per group: the relationships asked for and every other relationship of
//     the same persons, their persons, addresses, registers and the rows of
//     those registers (withholdings, pay items, deductions), absences,
//     adjustments, payments outside the system, deduction declarations and
//     pension funds.
//
// A query runs on the copy only when the copy surely holds every row it can
// read (connectionFor()). The catalogue declares the rows each query reads
// and the build writes them beside the tables its texts name
// (velcu/VelPayrollQueries.h): nothing of a query's text is read here.
//   - a relationship's query (its IACOMID) of a relationship of the group;
//   - a person's query (its IANAID) of a person of the group;
//   - a query without a declaration, when every table it names is a lookup
//     table the copy holds whole.
// Anything else, and any query naming a table the copy does not hold, runs
// on the server: a query the catalogue does not declare is only slower.
#include "rag/calc/ragUQuery.h"
#include "platform/db/OvSQLConnection.h"
#include "velcu/VelPayrollQueries.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>

class TVelPayrollCopy : public TRagLocalCopy
{
public:
    explicit TVelPayrollCopy(TOvSQLConnection &server);
    ~TVelPayrollCopy() override;

    // Replaces the group with the relationships `iacomids` of the persons
    // `ianaids` (the lookup tables are read at the first call). On an error
    // the copy holds nothing and the error is raised: the queries go back to
    // the server.
    void carica(const QList<int> &iacomids, const QList<int> &ianaids);
    // Holds nothing: every query runs on the server.
    void svuota();
    bool contiene(int iacomid) const { return m_relazioni.contains(iacomid); }

    TOvSQLConnection *connectionFor(const QString &name, const QVariantMap &params) const override;

    // What the catalogue declares of the SELECT `name`; null for a name it
    // does not hold.
    static const paghe::Query *dichiarazione(const QString &name);
    // Whether the copy reads the table (when the server has it).
    static bool copiata(paghe::Tabella t);

    // Statements sent to the server for the copy so far.
    qint64 letture() const { return m_letture; }

    // How a table's rows are chosen: whole (lookups); the relationships; the
    // staff records and the persons of those relationships; by person; by
    // relationship; by the relationships' registers; by the persons'
    // deduction declarations.
    enum class Ambito { Intera, Rapporti, Personale, Persona, Relazione, Registro, Dichiarazione };

private:
    using Insieme = std::array<quint64, paghe::kParole>;   // a set of tables

    struct Tabella
    {
        paghe::Tabella id;
        QString nome;
        Ambito ambito;
        QString insert;   // the copy's INSERT, once the table exists
    };

    void preparaStruttura();
    void copia(Tabella &t, const QString &where);
    QSet<int> copiaChiavi(Tabella &t, const QString &where, const QString &column);
    static void aggiungi(Insieme &set, paghe::Tabella t);

    TOvSQLConnection &m_server;
    mutable TOvSQLConnection m_copia;
    QList<Tabella> m_tabelle;
    Insieme m_copiate{};             // the tables the copy holds
    Insieme m_intere{};              // of which copied whole
    bool m_pronta = false;
    QSet<int> m_relazioni;
    QSet<int> m_persone;
    mutable QHash<QString, const paghe::Query *> m_dichiarazioni;   // name -> declaration, as met
    qint64 m_letture = 0;
};
