#pragma once
// Page wizard: a page control without tabs, moved along a named path of pages
// with the buttons "< Indietro", "Avanti >", "OK" and "Annulla".
//
// A path lists its steps separated by ";". A step is either a page index in
// pcMain (0-based, the order in which pages were added) or a page's object
// name: Add("1", "1;2") or Add("corto", "tsMese;tsFine"). Pages that are on no
// active path are never shown. Without any Add() the path is every page in
// order.
//
// Buttons follow the position on the path: Prior is disabled on the first step,
// Next disabled and OK enabled on the last one (OK disabled before). Derived
// wizards may change them again in afterChangePage(), which runs after that.
#include "platform/ui/framework/TfmOvDialog.h"

#include <QHash>
#include <QList>
#include <QStringList>

class QHBoxLayout;
class QPushButton;
class QStackedWidget;

class TfmOvWizard : public TfmOvDialog
{
    Q_OBJECT
public:
    explicit TfmOvWizard(QWidget *parent = nullptr);

    QStackedWidget *pcMain = nullptr;
    QHBoxLayout *pnButtons = nullptr;
    QPushButton *buPrior = nullptr;
    QPushButton *buNext = nullptr;
    QPushButton *buOk = nullptr;
    QPushButton *buCancel = nullptr;

    // Adds a page to pcMain (name becomes its object name when given);
    // returns its index.
    int addPage(QWidget *page, const QString &name = {});

    // Declares (or replaces) a named path.
    void Add(const QString &pathName, const QString &steps);
    // Makes a declared path active and shows its first page. An unknown path or
    // a step naming no page raises EAssertionFailed.
    void SetActivePath(const QString &pathName);
    QString activePath() const { return m_activePath; }

    // Moves one step along the active path (forward: towards the end). The page
    // being left may refuse in beforeChangePage. Returns true when it moved.
    bool ChangePage(bool forward);

    int currentStep() const { return m_step; }        // -1 before any page is shown
    int stepCount() const { return int(m_pathPages.size()); }
    QWidget *currentPage() const;
    QList<QWidget *> pathPages() const { return m_pathPages; }
    bool isFirstStep() const { return m_step <= 0; }
    bool isLastStep() const { return m_step == stepCount() - 1; }

    // What pressing OK does: the current page's beforeChangePage (as if moving
    // forward), formCheckOk(), then accept(). Returns true when it closed.
    bool clickOk();

signals:
    void pageChanged(QWidget *page);

protected:
    // The page "from" is about to be left; set allow to false (or raise) to stay.
    virtual void beforeChangePage(QWidget *from, bool forward, bool &allow)
    {
        Q_UNUSED(from);
        Q_UNUSED(forward);
        Q_UNUSED(allow);
    }
    // The page "to" has just been shown and the buttons set.
    virtual void afterChangePage(QWidget *to) { Q_UNUSED(to); }
    virtual bool formCheckOk() { return true; }
    virtual void updateButtons();

    void showEvent(QShowEvent *event) override;

private:
    QList<QWidget *> resolve(const QString &pathName) const;
    void goToStep(int step);

    QHash<QString, QStringList> m_paths;
    QString m_activePath;
    bool m_hasActivePath = false;
    QList<QWidget *> m_pathPages;
    int m_step = -1;
};
