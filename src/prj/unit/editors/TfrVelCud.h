#pragma once
// The CU frame: every CU of the year in a grid (printed ones in red) and, on
// the detail page, the CU's pages and its nine section frames. Holds the
// current CU's keys for the sections, its lock value (iCudStato: a printed CU
// cannot be edited until "Sblocca"), the adjustment default of a new CU and
// the save month (the CU's SCUDMESE, -1 when empty) used for every save.
#include "src/prj/unit/editors/TfrVelSections.h"
#include "tor/ui/frames/TfrTorBase.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

#include <QList>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

class TfrVelCud : public TfrTorBase, public IVelCuHost
{
    Q_OBJECT
public:
    explicit TfrVelCud(QWidget *parent = nullptr);
    ~TfrVelCud() override;

    static QString structureName() { return rec::TCUD_DATICUD::id.qs(); }
    static QString agentStructure() { return rec::TCUS_DATISOST::id.qs(); }

    TClientDataSet *cdsSost = nullptr;    // the withholding agent
    QTabWidget *pcCud = nullptr;          // the CU's pages
    QAction *acStato = nullptr;           // "&Sblocca"
    QPushButton *buAnnotazioni = nullptr;

    TfrVelInps *frVelInps = nullptr;
    TfrVelInpdap *frVelInpdap = nullptr;
    TfrVelInpsSez3 *frVelInpsSez3 = nullptr;
    TfrVelCoopArt *frVelCoopArt = nullptr;
    TfrVelAltrienti *frVelAltrienti = nullptr;
    TfrVelInail *frVelInail = nullptr;
    TfrVelTFR *frVelTFR = nullptr;
    TfrVelAutonomo *frVelAutonomo = nullptr;
    TfrVelConFamCar *frVelConFamCar = nullptr;
    QList<TfrVelSection *> sections() const { return m_sections; }

    void setStore(TTorDBCds *store) { m_store = store; }
    // Loads the agent and every CU of the year, aligns the CUs' signature with
    // the agent's, and shows the first CU on the grid page.
    void open();

    int lockValue() const { return m_lock; }
    QString adjustmentDefault() const { return m_conguaglio; }
    int loadCount() const { return m_loads; }
    void resetLoadCount() { m_loads = 0; }

    // "Sblocca".
    void unlock();
    // What an edit of a printed CU is answered with.
    static QString printedText();
    // Said above a printed CU's pages: it is shown for reading.
    static QString readOnlyText();
    // Ctrl+Tab: the grid or the detail, with the focus.
    void toggleGridDetail();
    // The annotations button: appends the chosen note to SCUDANNOTAZIONI.
    void addAnnotation();
    // Finding a CU: the first row (after the current one with `next`) whose
    // surname, "surname name" or tax code begins with the text, any case.
    bool findCu(const QString &text, bool next = false);
    // Type-ahead in the grid: the first row whose sorted column begins with
    // the text.
    bool findInSortColumn(const QString &text);
    // The grid column the rows are sorted by.
    int sortColumn() const;
    QLineEdit *edCerca = nullptr;
    QLabel *lbStato = nullptr;   // what is being done to the CU (edit, new)
    QLabel *lbCerca = nullptr;

    // Shows the CU page with this caption (tests, screenshots).
    void showPage(const QString &caption);
    // Loads the section of the active page for the current CU, when the
    // detail page is shown.
    void loadActiveSection();
    // The section frame on the active page (null on the CU's own pages).
    TfrVelSection *activeSection() const;

    // IVelCuHost
    qint64 currentAfiId() const override { return m_afiId; }
    QString currentCodFis() const override { return m_codFis; }
    QString currentMese() const override { return m_mese; }
    int saveMonth() const override { return m_saveMonth; }
    TTorDBCds *store() const override { return m_store; }
    void lookup(TTorDbEdit *edit, const VelFieldDesc &field) override;
    void countLoad() override { ++m_loads; }
    // A section's save, over the version of the CU this editor read.
    void saveSection(TClientDataSet &ds, const QString &structure) override;
    // The versions of the CUs as this editor read them (and its saves left them).
    const TTorVersions &versions() const { return m_versions; }

protected:
    void validatePost(TClientDataSet &ds) override;
    // The rule table's refusals and the office's confirmation of values in
    // contrast (VelSupplyRules), before the CU is posted.
    void refuseBrokenRules(TClientDataSet &ds);
    QString deleteQuestion() const override;
    void newRecord(TClientDataSet &ds) override;
    void beforeEditCheck(TClientDataSet &ds) override;
    void stateChangedHook(TDataSetState state) override;
    void rowChangedHook() override;
    void saveData() override;
    void gridTitleClicked(int column) override;
    void beforeScrollCheck(TClientDataSet &ds) override;

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildDetail();
    void buildSearch();
    void buildKeys();
    bool moveTo(int row);
    void syncSignature();
    // Every CU of the year and its version, read in one snapshot.
    void loadCus();
    // A save of the CU or of a section over the version read; refused when
    // another workstation wrote the CU since (the office is told what changed
    // and may read it again), EAbort then.
    void saveOverVersion(TClientDataSet &ds, const QString &structure);
    // Every CU read again, the current one kept in view, nothing pending.
    void readAgain();
    void updateStato();
    static int monthOf(const QString &mese);

    TTorDBCds *m_store = nullptr;
    TTorVersions m_versions;
    QList<TfrVelSection *> m_sections;
    int m_lock = 0;
    QString m_conguaglio = QStringLiteral("0");
    qint64 m_afiId = 0;
    QString m_codFis;
    QString m_mese;
    int m_saveMonth = -1;
    int m_loads = 0;
    bool m_opening = false;
    QString m_typed;          // type-ahead so far
    qint64 m_typedAt = 0;     // when its last key came (ms)
};
