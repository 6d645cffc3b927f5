#pragma once
// What the base frames of the editors share: a main dataset with its data
// source, the navigation and edit toolbar, a page control with the pages
// "Griglia" and "Dettaglio", and the editing rules:
//   - a row is posted only by the frame's Confirm action; any other post
//     (scrolling away from a change, closing...) is refused with
//     "Salvare prima di cambiare modello." and the change stays pending
//     (save-all of the window lifts the rule for its run);
//   - entering edit or insert shows the detail page when go-to-detail is on;
//   - after every post and delete the frame's saveData() writes the dataset;
//     when the database refuses the save of a confirmed row, the row is
//     back in edit with what was typed, and the error is said;
//   - the context bar counts rows: "Ins." while inserting, else "%d di %d".
#include "platform/dataset/DataSetTypes.h"
#include "platform/ui/framework/TfrOvBase.h"

#include <QPointer>
#include <QVariantList>

class QAction;
class QTabWidget;
class QTableView;
class TClientDataSet;
class TDataSetModel;
class TDataSource;

class TfrTorDbFrame : public TfrOvBase
{
    Q_OBJECT
public:
    explicit TfrTorDbFrame(QWidget *parent = nullptr);
    ~TfrTorDbFrame() override;

    TClientDataSet *cdsMain = nullptr;
    TDataSource *dsMain = nullptr;
    QTabWidget *pcMain = nullptr;
    QWidget *tsGriglia = nullptr;
    QWidget *tsDettaglio = nullptr;
    QTableView *grMain = nullptr;
    TDataSetModel *grModel = nullptr;

    QAction *acPrimo = nullptr;
    QAction *acPrecedente = nullptr;
    QAction *acSuccessivo = nullptr;
    QAction *acUltimo = nullptr;
    QAction *acInserisci = nullptr;
    QAction *acCancella = nullptr;
    QAction *acModifica = nullptr;
    QAction *acConferma = nullptr;
    QAction *acAnnulla = nullptr;

    // True only while the frame's own Confirm action posts.
    bool allowPost() const { return m_allowPost; }
    // The confirm-only rule; save-all lifts it for its run.
    bool confirmOnly() const { return m_confirmOnly; }
    void setConfirmOnly(bool on) { m_confirmOnly = on; }
    bool goToDetail() const { return m_goToDetail; }
    void setGoToDetail(bool on) { m_goToDetail = on; }

    // The actions' work (also for tests and the window).
    void first();
    void prior();
    void next();
    void last();
    void insertRow();
    void deleteRow();
    void editRow();
    void confirm();
    void cancelRow();

    void showGrid();
    void showDetail();
    bool detailShown() const;

    // Hooks the dataset's events to the frame's rules (again after a load
    // replaced them).
    void attachRules();
    // Shown in the context bar beside the counter.
    void setTitle(const QString &title);
    QString counterText() const;
    virtual void updateActions();

    // Run after the dataset was (re)opened: display formats, grid, actions.
    virtual void afterOpen();

signals:
    void currentRowChanged();
    void dataSetStateChanged();

protected:
    // The frame's own checks before a post (throw to refuse).
    virtual void validatePost(TClientDataSet &ds) { Q_UNUSED(ds); }
    // The frame's own checks before a delete, ahead of its question (throw to
    // refuse).
    virtual void beforeDeleteCheck(TClientDataSet &ds) { Q_UNUSED(ds); }
    // The question before a delete; empty: no question.
    virtual QString deleteQuestion() const { return QString(); }
    virtual void newRecord(TClientDataSet &ds) { Q_UNUSED(ds); }
    virtual void beforeEditCheck(TClientDataSet &ds) { Q_UNUSED(ds); }
    virtual void stateChangedHook(TDataSetState state) { Q_UNUSED(state); }
    virtual void rowChangedHook() {}
    // Before the cursor leaves the current row (throw to stay).
    virtual void beforeScrollCheck(TClientDataSet &ds) { Q_UNUSED(ds); }
    // Writes the dataset's changes to the store.
    virtual void saveData() {}
    // A click on a grid title; by default sorts on that column.
    virtual void gridTitleClicked(int column);
    // Whether the user may insert / change rows at all.
    virtual bool canInsert() const;

    void keyPressEvent(QKeyEvent *e) override;

private:
    void syncGridToCursor();
    void gridRowChosen(int row);
    void updateCounter();
    void addShortcut(QAction *action, const QKeySequence &seq);
    // After a save the database refused: the row in edit (or insert) again
    // with the values typed, unless the change is still there.
    void putBackTyped(bool inserting, TBookmark row, const QVariantList &typed);

    bool m_allowPost = false;
    bool m_confirmOnly = true;
    bool m_goToDetail = true;
    bool m_syncing = false;
    QString m_title;
};
