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
// read (connectionFor()):
//   - a query of an employee (listed below, keyed by IACOMID or IANAID) whose
//     relationship or person is in the group;
//   - a query of registers (listed below, its text restricted with
//     "IREGSID IN (...)") whose every register is one of the group's;
//   - any other query that names lookup tables only.
// Anything else, and any text naming a table the copy does not hold, runs on
// the server as before: a query missing from the list is only slower.
#include "rag/calc/ragUQuery.h"
#include "platform/db/OvSQLConnection.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
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

    TOvSQLConnection *connectionFor(const QString &name, const QVariantMap &params,
                                    const QString &text) const override;

    // Statements sent to the server for the copy so far.
    qint64 letture() const { return m_letture; }

    // How a table's rows are chosen: whole (lookups); the relationships; the
    // staff records and the persons of those relationships; by person; by
    // relationship; by the relationships' registers; by the persons'
    // deduction declarations.
    enum class Ambito { Intera, Rapporti, Personale, Persona, Relazione, Registro, Dichiarazione };

private:
    struct Tabella
    {
        QString nome;
        Ambito ambito;
        QString insert;   // the copy's INSERT, once the table exists
    };

    void preparaStruttura();
    void copia(Tabella &t, const QString &where);
    QSet<int> copiaChiavi(Tabella &t, const QString &where, const QString &column);
    bool soloTabelle(const QString &text, bool intereSoltanto) const;

    TOvSQLConnection &m_server;
    mutable TOvSQLConnection m_copia;
    QList<Tabella> m_tabelle;
    QSet<QString> m_tabelleServer;   // every table of the server's schema
    QSet<QString> m_copiate;         // the tables the copy holds
    QSet<QString> m_intere;          // of which copied whole
    bool m_pronta = false;
    QSet<int> m_relazioni;
    QSet<int> m_persone;
    QSet<int> m_registri;            // the group's registers
    mutable QHash<QString, bool> m_testi;   // text -> names held tables only (lookups only)
    qint64 m_letture = 0;
};
