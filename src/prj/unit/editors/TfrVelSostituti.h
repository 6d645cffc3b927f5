#pragma once
// The frames of the agents' editors: the withholding agent (TfrVelSost), the
// other agents (TfrVelAltriSost), the Quadro CT (TfrVelQuaCt) and the supplier
// of the telematic file (TfrVelFornitore). Each edits one structure of the
// fiscal store: it loads every row when opened and saves the structure after
// every post and delete. Text boxes turn what is typed to capitals; the
// tax-code boxes carry a mark when the code's check character is wrong.
//
// The one-row frames (agent, Quadro CT, supplier) have no navigation buttons,
// "Modifica" disabled while the structure is empty and "Inserisci" hidden
// once it has its row.
#include "src/prj/unit/editors/TfrVefBase.h"
#include "velcu/VelFields.h"

#include <QHash>
#include <QStringList>

#include <functional>

class QLabel;
class TTorDBCds;
class TTorDbEdit;
struct VelFieldDesc;

class TfrVelAgentBase : public TfrVefBase
{
    Q_OBJECT
public:
    TfrVelAgentBase(const QString &structure, bool oneRow, QWidget *parent = nullptr);

    QString structureName() const { return m_structure; }
    bool oneRow() const { return m_oneRow; }

    void setStore(TTorDBCds *store) { m_store = store; }
    TTorDBCds *store() const { return m_store; }

    // Loads every row of the structure (and what the frame needs besides)
    // and shows the first.
    virtual void open();
    // Closes the datasets.
    virtual void close();

    // The bound widget of a field on the detail page (null when not shown).
    QWidget *control(const QString &field) const { return m_controls.value(field.toUpper()); }
    // The check-character mark beside a tax-code box (null for other fields).
    QLabel *codFisMark(const QString &field) const { return m_marks.value(field.toUpper()); }
    // The description under a code box (null for other fields).
    QLabel *codeDescriptionLabel(const QString &field) const { return m_descriptions.value(field.toUpper()).first; }
    QLabel *lbHeading = nullptr;

    void updateActions() override;
    // The page's columns stand side by side when the window is wide enough,
    // one under the other otherwise (nothing is cut or scrolls sideways).
    bool columnsSideBySide() const;

protected:
    struct Group
    {
        QString title;
        QStringList fields;
        QString note; // a line under the title ("Riservato all'incaricato")
    };
    // The detail page: the heading, then the groups, column by column.
    void buildPage(const QString &heading, const QList<QList<Group>> &columns);
    void lookup(TTorDbEdit *edit, const VelFieldDesc &field);
    void saveData() override;
    bool canInsert() const override;
    // A new row starts with every flag of the page at "0".
    void newRecord(TClientDataSet &ds) override;
    void rowChangedHook() override;
    void updateMarks();
    // What the supply would refuse, refused when the row is confirmed: every
    // box the rule table reads (tax codes, CAP, province, charge code, supplier
    // type), listed with its caption; EAbort after the message.
    void refuseBrokenRules(TClientDataSet &ds);

    TTorDBCds *m_store = nullptr;
    bool m_hideDelete = false;
    bool m_keepOnlyRow = false;   // the only row is not deleted (the agent)

private:
    QString m_structure;
    bool m_oneRow;
    QHash<QString, QWidget *> m_controls;
    QHash<QString, QLabel *> m_marks;
    // Code fields: their description label and code table.
    QHash<QString, QPair<QLabel *, QString>> m_descriptions;
    QHash<QString, QHash<QString, QString>> m_tables;
    QString codeDescription(const QString &table, const QString &code);
    class QBoxLayout *m_columns = nullptr;
};

// "Dati Sostituto": the withholding agent, one row.
class TfrVelSost : public TfrVelAgentBase
{
    Q_OBJECT
public:
    explicit TfrVelSost(QWidget *parent = nullptr);
    static QString structure() { return rec::TCUS_DATISOST::id.qs(); }

protected:
    void validatePost(TClientDataSet &ds) override;
    void beforeDeleteCheck(TClientDataSet &ds) override;
};

// The other agents: any number of rows; a rename moves every CU naming the
// old code to the new one, and an agent named by a CU cannot be deleted.
class TfrVelAltriSost : public TfrVelAgentBase
{
    Q_OBJECT
public:
    explicit TfrVelAltriSost(QWidget *parent = nullptr);
    static QString structure() { return rec::TCUAS_DATIALTRISOST::id.qs(); }

    TClientDataSet *cdsCud = nullptr; // every CU of the year
    void open() override;
    void close() override;
    // The agent's tax code as it was when the row was reached.
    QString rememberedCode() const { return m_oldCode; }

protected:
    void validatePost(TClientDataSet &ds) override;
    void beforeDeleteCheck(TClientDataSet &ds) override;
    void rowChangedHook() override;
    void stateChangedHook(TDataSetState state) override;
    void saveData() override;

private:
    void reloadCud();
    QString m_oldCode;
    // The months of the CUs a rename moves, from the check before the post
    // to the save.
    QStringList m_moves;
    QString m_movedFrom;
    QString m_newCode;
};

// "Quadro CT": one row; after a post the agent's LSOSCT tells whether the
// request holds a mobile number or an e-mail address.
class TfrVelQuaCt : public TfrVelAgentBase
{
    Q_OBJECT
public:
    explicit TfrVelQuaCt(QWidget *parent = nullptr);
    static QString structure() { return rec::TCUCT_DATICT::id.qs(); }

    TClientDataSet *cdsSost = nullptr; // the withholding agent
    void open() override;
    void close() override;

protected:
    void validatePost(TClientDataSet &ds) override;
    void saveData() override;

private:
    bool m_posting = false;
};

// "Dati Fornitore": the supplier of the telematic file, one row; a post runs
// the mandatory-field check and, with problems, asks whether to go on.
class TfrVelFornitore : public TfrVelAgentBase
{
    Q_OBJECT
public:
    explicit TfrVelFornitore(QWidget *parent = nullptr);
    static QString structure() { return rec::TCFO_FORNITORE::id.qs(); }

    // Shows the problem lines and returns whether to go on; velAskToProceed
    // (VelAskToProceed.h) unless replaced.
    std::function<bool(const QStringList &lines)> askToProceed;
    // The lines of the last check (tests).
    QStringList lastProblems() const { return m_problems; }

protected:
    void validatePost(TClientDataSet &ds) override;
    QString deleteQuestion() const override;

private:
    QStringList m_problems;
};
