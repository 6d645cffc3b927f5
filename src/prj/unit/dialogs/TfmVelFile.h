#pragma once
// The wizard of the telematic supply ("File Telematico"): page "Dipendenti"
// chooses for whom (Tutti / su Prenotazione / Nessuno, the grid and its title
// order deciding the progressives), page "Crea file" generates with its log,
// "Salva" writes the file. Every step is TdmVelFile's; this form only shows.
#include "platform/ui/framework/TfmOvWizard.h"
#include "src/prj/unit/telematic/TdmVelFile.h"

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSortFilterProxyModel;
class QRadioButton;
class QTableView;
class TDataSetModel;
class TdmVelFile;
class TTorDBCds;

class TfmVelFile : public TfmOvWizard
{
    Q_OBJECT
public:
    // Runs on the given data module, or makes one of its own over `store`.
    explicit TfmVelFile(QWidget *parent = nullptr, TdmVelFile *module = nullptr);
    TfmVelFile(QWidget *parent, TTorDBCds *store);
    ~TfmVelFile() override;

    // The save dialog: folder and proposed name in, chosen file out (empty:
    // cancelled). Default: QFileDialog.
    std::function<QString(const QString &folder, const QString &name)> askFileName;

    TdmVelFile &module() { return *m_dm; }

    QWidget *tsDipendenti = nullptr;
    QWidget *tsCreaFile = nullptr;
    QRadioButton *rbTutti = nullptr;
    QRadioButton *rbPrenotazione = nullptr;
    QRadioButton *rbNessuno = nullptr;
    QTableView *dbgDip = nullptr;
    QLineEdit *edCerca = nullptr;   // the same search as "Dati CU"
    QLabel *lbTrovato = nullptr;
    QPushButton *buCreaFile = nullptr;
    QPlainTextEdit *meLog = nullptr;

    // The buttons' work, callable from tests.
    void creaFile();
    void salva();
    // A click on a grid title.
    void sortByColumn(int column);
    // Moves the grid's current row (not its selection) to the first CU, from
    // the current one with `next`, whose surname, "surname name" or tax code
    // begins with the text; false when none does.
    bool findCu(const QString &text, bool next = false);
    // The CUs flagged for replacement or cancellation selected in the grid
    // (they stand first in it).
    void selectCorrections();

protected:
    void formCreate() override;
    void afterChangePage(QWidget *to) override;
    bool formCheckOk() override;
    void reject() override;

private:
    void choosePrenotazione();
    QList<int> visitedRows() const;
    void setBusy(bool busy);

    std::unique_ptr<TdmVelFile> m_owned;
    TdmVelFile *m_dm = nullptr;
    std::optional<TVelSupplyOpened> m_supply;       // once the datasets are loaded
    std::optional<TVelSupplyGenerated> m_generated; // "Salva" enabled: the generation to save
    TTorDBCds *m_store = nullptr;
    TDataSetModel *m_model = nullptr;
    QSortFilterProxyModel *m_grid = nullptr; // the CUs flagged for correction first
    bool m_opened = false;
    bool m_backToStart = false;
};
