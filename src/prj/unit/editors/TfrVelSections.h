#pragma once
// The nine section frames of the CU editor. Each shows one section structure
// of the current CU: a grid of its rows and a detail page made from the
// record model (the TFR frame hides both tabs and shows its five pages).
// Sections are loaded for the current CU only, when their page is shown; a new
// row takes the CU's keys, every flag starts at "0"; every post and delete is
// saved at once in the store period of the CU's month.
#include "src/prj/unit/editors/TfrVefBase.h"
#include "platform/dataset/TDataSetModel.h"
#include "src/prj/unit/editors/VelPageBuilder.h"

class TTorDBCds;
class QTabWidget;
struct VelStructureDesc;

// What a section frame asks of the CU frame that hosts it.
class IVelCuHost
{
public:
    virtual ~IVelCuHost() = default;
    virtual qint64 currentAfiId() const = 0;
    virtual QString currentCodFis() const = 0;
    virtual QString currentMese() const = 0;
    virtual int saveMonth() const = 0;
    virtual TTorDBCds *store() const = 0;
    // Saves a section's pending rows as the CU frame saves the CU: over the
    // version of the CU it read.
    virtual void saveSection(TClientDataSet &ds, const QString &structure) = 0;
    virtual void lookup(TTorDbEdit *edit, const VelFieldDesc &field) = 0;
    // Counts a load of a structure (for the benchmark and the tests).
    virtual void countLoad() = 0;
};

class TfrVelSection : public TfrVefBase
{
    Q_OBJECT
public:
    TfrVelSection(const QString &structure, const QStringList &pages, const QString &deleteQuestion,
                  QWidget *parent = nullptr);

    void setHost(IVelCuHost *host) { m_host = host; }
    QString structureName() const { return m_structure; }
    // Loads the rows of the CU `afiId` (every month of the store's year)
    // without the wait window; the dataset's read-only state is kept.
    void loadFor(qint64 afiId);
    qint64 loadedFor() const { return m_loadedFor; }
    void clearSection();
    // The section's own pages (null when it has one page).
    QTabWidget *pagesWidget() const { return pcPagine; }

protected:
    QString deleteQuestion() const override { return m_deleteQuestion; }
    void newRecord(TClientDataSet &ds) override;
    void saveData() override;
    bool canInsert() const override;
    void buildDetail();
    // The grid's columns, each as wide as its title.
    void setGridColumns(const QList<TModelColumn> &cols);
    virtual void afterLoad() {}

    IVelCuHost *m_host = nullptr;
    QString m_structure;
    QStringList m_pages;
    QString m_deleteQuestion;
    qint64 m_loadedFor = -1;
    QTabWidget *pcPagine = nullptr;
};

class TfrVelInps : public TfrVelSection
{
    Q_OBJECT
public:
    explicit TfrVelInps(QWidget *parent = nullptr);

protected:
    void newRecord(TClientDataSet &ds) override;
};

class TfrVelInpsSez3 : public TfrVelInps
{
    Q_OBJECT
public:
    explicit TfrVelInpsSez3(QWidget *parent = nullptr);
};

class TfrVelInpdap : public TfrVelSection
{
    Q_OBJECT
public:
    explicit TfrVelInpdap(QWidget *parent = nullptr);

protected:
    void afterLoad() override;
};

class TfrVelInail : public TfrVelSection
{
    Q_OBJECT
public:
    explicit TfrVelInail(QWidget *parent = nullptr);
};

class TfrVelAltrienti : public TfrVelSection
{
    Q_OBJECT
public:
    explicit TfrVelAltrienti(QWidget *parent = nullptr);
};

class TfrVelCoopArt : public TfrVelSection
{
    Q_OBJECT
public:
    explicit TfrVelCoopArt(QWidget *parent = nullptr);
};

class TfrVelConFamCar : public TfrVelSection
{
    Q_OBJECT
public:
    explicit TfrVelConFamCar(QWidget *parent = nullptr);

    // The month boxes checked on leaving them.
    static QStringList monthFields();
    // Empty passes; "01".."12" pass; "1".."9" (one digit) and other numbers
    // give the messages. Returns the message, empty when the text passes.
    static QString checkMonth(const QString &text);

private:
    void buildFamilyPage();
};

class TfrVelTFR : public TfrVelSection
{
    Q_OBJECT
public:
    explicit TfrVelTFR(QWidget *parent = nullptr);
};

class TfrVelAutonomo : public TfrVelSection
{
    Q_OBJECT
public:
    explicit TfrVelAutonomo(QWidget *parent = nullptr);
};
