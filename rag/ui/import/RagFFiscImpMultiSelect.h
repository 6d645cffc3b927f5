#pragma once
// The payroll application's selection windows, one layer each:
//   TfmragMultiSelect         the count of the rows booked ("Prenotati: ")
//   TfmragAnaMultiSelect      "Scelta dipendenti": filters by category,
//                             position and qualification, sorting by title
//   TfmragFiscImpMultiSelect  the per-employee run on OK, the choice for
//                             records already present, progress
// The list is a client dataset of the derived window; the run itself is the
// derived window's importa().
#include "platform/ui/framework/TfmOvMultiSelect.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QProgressBar;
class QRadioButton;
class TClientDataSet;
class TDataSetModel;
class TOvSQLConnection;

class TfmragMultiSelect : public TfmOvMultiSelect
{
    Q_OBJECT
public:
    explicit TfmragMultiSelect(QWidget *parent = nullptr);
    // "Prenotati: " and the rows selected, or every row when none is.
    void aggiornaConteggio();
    int prenotati() const;
};

class TfmragAnaMultiSelect : public TfmragMultiSelect
{
    Q_OBJECT
public:
    explicit TfmragAnaMultiSelect(QWidget *parent = nullptr);

    QComboBox *cbCalFiltro = nullptr;   // ICALORVEXCODE
    QComboBox *cbTnoFiltro = nullptr;   // ITNOORVEXCODE
    QComboBox *cbQarFiltro = nullptr;   // IQARORVEXCODE
    QCheckBox *chInServizio = nullptr;  // hidden
    TOvSQLConnection *connection = nullptr;

    // Shows the list (columns: field, title, width).
    void mostraLista(TClientDataSet *lista, const QList<QPair<QString, QPair<QString, int>>> &columns);
    TClientDataSet *lista() const { return m_lista; }
    TDataSetModel *modello() const { return m_model; }
    // Fills the three filter combos (each with "(Tutte)" first).
    void caricaFiltri();
    // The list's filter from the combos; empty: no filter.
    QString testoFiltro() const;
    void applicaFiltro();

private:
    TClientDataSet *m_lista = nullptr;
    TDataSetModel *m_model = nullptr;
};

class TfmragFiscImpMultiSelect : public TfmragAnaMultiSelect
{
    Q_OBJECT
public:
    explicit TfmragFiscImpMultiSelect(QWidget *parent = nullptr);

    QGroupBox *rgSovraScrivi = nullptr;
    QRadioButton *rbNonSovrascrivere = nullptr;
    QRadioButton *rbSovrascriviSempre = nullptr;
    QRadioButton *rbChiediConferma = nullptr;
    QLabel *lbProgresso = nullptr;
    QProgressBar *pbProgresso = nullptr;

    // 0 "Non sovrascrivere", 1 "Sovrascrivi sempre", 2 "Chiedi conferma".
    int sovraScrivi() const;
    // The work list: keys of the selected rows in selection order, or of
    // every row (filtered, in list order) when none is selected.
    QList<int> listaLavoro() const;
    // Progress of the run.
    void progresso(int pos, int count, const QString &employee);

protected:
    // OK runs the import of the work list, then the window closes.
    bool formCheckOk() override;
    virtual void importa(const QList<int> &keys) = 0;
    virtual QString campoChiave() const { return QStringLiteral("IACOMID"); }
};
