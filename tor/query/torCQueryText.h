#pragma once
// The catalogue of named SQL statements: every statement of the payroll and
// fiscal tables is fetched from here by name and kind, never written in code.
//
// A client dataset with one row per statement:
//   Query   name, upper case ("QRY_SED")
//   Tipo    "SELECT", "INSERT", "UPDATE", "DELETE" or "EXECUTE"
//   Indice  order among the statements of one name and kind, from 0
//   SQL     the text; parameters as ":NAME", optional "%s" placeholders
// One row is special: Query = "VER_" + the executable's name in upper case,
// Tipo = the least program version that may use this catalogue.
//
// Lookups match name and kind exactly (case matters). Each successful fetch
// becomes the "last operation", which error messages name; a fetch that finds
// nothing raises EAssertionFailed "Query: <name>" ("Query : <name>" for
// GetQueryText).
//
// Files: the catalogue travels as a dataset file ("rag_QueryText.cds") with a
// certificate beside it (".unxc": the keyed digest of the file's lines joined
// with CR LF, followed by CR LF), so an edited catalogue is refused at
// connection. Its source form is an XML file:
//   <catalogue>
//     <statement name="QRY_SED" kind="EXECUTE" index="0"><![CDATA[SELECT ...]]></statement>
//     <statement name="VER_VELCU" kind="6.97.29"/>
//   </catalogue>
#include "platform/dataset/TClientDataSet.h"

#include <QHash>
#include <QVariantList>

class TOvQueryCollection;

class TTorQueryText : public TClientDataSet
{
    Q_OBJECT
public:
    explicit TTorQueryText(QObject *parent = nullptr);
    ~TTorQueryText() override;

    // ---- catalogue operations ----
    // Empties the query's text and parameters (closing it), upper-cases the
    // name, loads the row (name, kind, index); the parameters follow the text.
    void SetQuery(const QString &name, TClientDataSet &query, int index = 0,
                  const QString &kind = QStringLiteral("EXECUTE"));
    // The first row (name, kind), name as given, becomes the dataset's
    // command text; parameters whose names stay keep their values.
    void SetCommand(const QString &name, TClientDataSet &dataSet, const QString &kind);
    // Select text by SetCommand(name, "SELECT"); SQLInsert, SQLUpdate and
    // SQLDelete refilled with the rows of index 0, 1, ... of their kind,
    // stopping at the first index that is missing.
    void SetCollection(const QString &name, TOvQueryCollection &collection);
    // The text of the first row (name, kind).
    QString GetQueryText(const QString &name, const QString &kind);
    // Replaces each "%s" of the dataset's text with the next value ("%%" is
    // one "%"), then rebuilds the parameters. Values go into the text as they
    // are: pass only texts of the program, never what a user typed.
    // Fewer values than placeholders: EAssertionFailed.
    static void FormatQuery(TClientDataSet &dataSet, const QVariantList &values);

    // The name of the last statement fetched; empty until the first fetch.
    QString lastOperation() const { return m_lastOperation; }
    void setLastOperation(const QString &name) { m_lastOperation = name; }

    // ---- rows ----
    // The text of (name, kind, index), exact match; null when absent.
    QString statement(const QString &name, const QString &kind, int index = 0) const;
    // Appends a row (tools and tests). Creates the dataset when needed.
    void addStatement(const QString &name, const QString &kind, int index, const QString &sql);
    // Empties the catalogue (fields kept, dataset open).
    void clearStatements();

    // ---- version row ----
    // "VER_" + the running executable's file name without extension, upper case.
    static QString versionRowName();
    // Tipo of the row named `rowName`; null when there is none.
    QString requiredVersion(const QString &rowName = versionRowName()) const;

    // ---- files ----
    // Replaces the rows with those of the XML source. A malformed file, a
    // statement without name, kind or text, a lower-case name, a bad index
    // or a repeated (name, kind, index) raises EOvError naming file and line;
    // the catalogue is then left as it was.
    void loadFromXml(const QString &path);
    // Saves the dataset file and writes its certificate beside it.
    void saveCatalogue(const QString &cdsPath);
    // Loads the dataset file; with the certificate check on, keeps the
    // certificate the file should have and the name of its certificate file.
    // A file that is no dataset raises EDatabaseError (the catalogue stays as
    // it was); a dataset without the four columns EOvError (it is emptied).
    void loadCatalogue(const QString &cdsPath);

    // ---- certificate ----
    // Key digest of the file's lines joined with CR LF. EOvError when unreadable.
    static QString certificateOf(const QString &filePath);
    // The same path with the extension ".unxc".
    static QString certificatePath(const QString &cdsPath);
    // Writes certificateOf(cdsPath) + CR LF into certificatePath(cdsPath).
    static void writeCertificate(const QString &cdsPath);

    bool CheckCertificate = false;   // off at creation
    QString ExpectedCertificate;
    QString CertificateFile;
    // True with the check off; otherwise when the certificate file (empty
    // when missing) holds exactly the expected text + CR LF. The expected
    // text is discarded either way.
    bool certificateValid();

private:
    struct Key
    {
        QString name, kind;
        int index;
        bool operator==(const Key &o) const { return index == o.index && name == o.name && kind == o.kind; }
    };
    friend size_t qHash(const Key &k, size_t seed) { return qHashMulti(seed, k.name, k.kind, k.index); }

    void defineFields();
    void ensureIndex() const;
    void invalidate() { m_indexValid = false; }
    QString firstOf(const QString &name, const QString &kind) const;
    void check(const QString &text, const QString &assertion, const QString &name);

    QString m_lastOperation;
    mutable bool m_indexValid = false;
    mutable QHash<Key, QString> m_byKey;
    mutable QHash<QPair<QString, QString>, QString> m_first;
};

// The catalogue of the process: created on first use, freed at exit. Its
// creation installs the error context "\r\nUltima operazione DB: <name>"
// shown under every error report (nothing before the first fetch).
TTorQueryText &QueryText();
