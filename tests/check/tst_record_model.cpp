// The CU record model: the built-in description is complete and consistent,
// faulty descriptions are refused with a message naming the fault, and every
// structure's empty dataset survives the file format with its types and widths.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/check/VelMandatoryFields.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "velcu/VelFields.h"
#include "tor/util/TorCampagna.h"

#include <QDirIterator>
#include <QRegularExpression>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList kCuSections = {
    QStringLiteral("TCUDI_INPS"),       QStringLiteral("TCUDN_INPDAP"),         QStringLiteral("TCUDCA_COOPART"),
    QStringLiteral("TCUDAE_ALTRIENTI"), QStringLiteral("TCUIN_INAIL"),          QStringLiteral("TCUDT_TFR"),
    QStringLiteral("TASE_AUTSOMMEEROGATE"), QStringLiteral("TCUDC_CONFAMCARICO"), QStringLiteral("TCUDA_ANNOTAZIONI")};
const QStringList kAgentStructures = {QStringLiteral("TCUS_DATISOST"), QStringLiteral("TCUAS_DATIALTRISOST"),
                                      QStringLiteral("TCUCT_DATICT"), QStringLiteral("TCFO_FORNITORE")};

const QStringList kMonths = {QStringLiteral("GENNAIO"),   QStringLiteral("FEBBRAIO"), QStringLiteral("MARZO"),
                             QStringLiteral("APRILE"),    QStringLiteral("MAGGIO"),   QStringLiteral("GIUGNO"),
                             QStringLiteral("LUGLIO"),    QStringLiteral("AGOSTO"),   QStringLiteral("SETTEMBRE"),
                             QStringLiteral("OTTOBRE"),   QStringLiteral("NOVEMBRE"), QStringLiteral("DICEMBRE")};

// A small valid description to break one piece at a time.
QJsonObject minimalDescription()
{
    auto field = [](const char *name, const char *kind, const char *type, int size = 0) {
        QJsonObject f{{QStringLiteral("name"), QLatin1String(name)},
                      {QStringLiteral("kind"), QLatin1String(kind)},
                      {QStringLiteral("type"), QLatin1String(type)}};
        if (size > 0)
            f.insert(QStringLiteral("size"), size);
        return f;
    };
    QJsonArray fields{field("iAfiID", "integer", "Integer"), field("iFisRigo", "integer", "Integer"),
                      field("SCUDCODFIS", "text", "String", 16), field("SCUDMESE", "text", "String", 2),
                      field("FCUDIMPORTO", "amount", "Currency")};
    QJsonObject s{{QStringLiteral("name"), QStringLiteral("TPROVA")},
                  {QStringLiteral("fieldMap"), QStringLiteral("saficodfiscale=SCUDCODFIS;safigruppoana=SCUDMESE")},
                  {QStringLiteral("pages"), QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("Pagina")}}}},
                  {QStringLiteral("fields"), fields}};
    return QJsonObject{{QStringLiteral("format"), QStringLiteral("velcu-record-model")},
                       {QStringLiteral("version"), 1},
                       {QStringLiteral("program"), QStringLiteral("vel")},
                       {QStringLiteral("year"), 2025},
                       {QStringLiteral("codeTableFolder"), QStringLiteral("USR/KZ2025/Res/Tabelle")},
                       {QStringLiteral("structures"), QJsonArray{s}}};
}

// Field names the sources write that the record model does not hold, each
// for its reason. A name here that no source writes any more is reported too,
// so the list cannot outlive what it excuses.
const QHash<QString, QString> kNotInModel = {
    // the start of a series of month flags, completed with the month's name
    {QStringLiteral("LINPDAP"), QStringLiteral("serie dei mesi")},
    // the supply modules' prefixes the mandatory-field rules recognise
    {QStringLiteral("FCFC7"), QStringLiteral("prefisso di modulo")},
    {QStringLiteral("LINPS7"), QStringLiteral("prefisso di modulo")},
    {QStringLiteral("SDAU7"), QStringLiteral("prefisso di modulo")},
    {QStringLiteral("SDIP7"), QStringLiteral("prefisso di modulo")},
    // columns of the payroll, of the demo's UniEmens rows and of a print's own header
    {QStringLiteral("FTFRFONDO"), QStringLiteral("colonna delle paghe")},
    {QStringLiteral("IANNO"), QStringLiteral("colonna UniEmens")},
    {QStringLiteral("sAnnoFin"), QStringLiteral("intestazione di stampa")},
    // boxes of the published mandatory list that the record model has no field for:
    // the check can never find them missing (the school is a body with no legal seat
    // of its own and signs through the representative's tax code and name)
    {QStringLiteral("SSOSALTSOGCODCOMSL"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSCAPSL"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSCOMUNESL"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSINDIRIZSL"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSPROVSL"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSDENRAPPR"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSSESSO"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("DSOSDTNASRAPPR"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSCOMNASRAPPR"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSPROVNASRAPPR"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSCOMRESRAPPR"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSPROVRESRAPPR"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSCAPRESRAPPR"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("ISOSSEZ"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("SSOSDICHIARANTE"), QStringLiteral("elenco obbligatori")},
    {QStringLiteral("FINPS7BONUS"), QStringLiteral("elenco obbligatori")},
};

// The record model's field names (upper case) and the letters its names carry
// after the type letter ("CUD" of "SCUDCOGNOME", "INP" of "LINPDAPGENNAIO").
struct ModelNames
{
    QSet<QString> names;
    QSet<QString> tags;
};

ModelNames modelNames()
{
    ModelNames m;
    QHash<QString, int> tagCount;
    for (const VelStructureDesc &s : VelRecordModel::instance().structures())
        for (const VelFieldDesc &f : s.fields) {
            m.names.insert(f.name.toUpper());
            ++tagCount[f.name.mid(1, 3).toUpper()];
        }
    for (auto it = tagCount.cbegin(); it != tagCount.cend(); ++it)
        if (it.value() > 1)
            m.tags.insert(it.key());
    return m;
}

// The texts of `source` written like a field name: a type letter, then the
// letters of a structure of the model or a supply module's ("SDIP7...").
QStringList fieldLikeLiterals(const QString &source, const ModelNames &m)
{
    static const QRegularExpression literal(QStringLiteral("\"([A-Za-z][A-Za-z0-9_]{3,})\""));
    static const QRegularExpression module(QStringLiteral("^[A-Za-z][A-Za-z]+7"));
    QStringList found;
    for (auto it = literal.globalMatch(source); it.hasNext();) {
        const QString t = it.next().captured(1);
        if (!QStringLiteral("SFILDMC").contains(t.at(0).toUpper()) || t == t.toLower())
            continue;
        if (m.tags.contains(t.mid(1, 3).toUpper()) || module.match(t).hasMatch())
            found << t;
    }
    return found;
}

bool inModel(const QString &name, const ModelNames &m)
{
    return m.names.contains(name.toUpper()) || m.names.contains(VelMandatoryFields::modelName(name));
}

QJsonObject withStructure(QJsonObject d, const std::function<void(QJsonObject &)> &change)
{
    QJsonArray structures = d.value(QStringLiteral("structures")).toArray();
    QJsonObject s = structures.at(0).toObject();
    change(s);
    structures[0] = s;
    d.insert(QStringLiteral("structures"), structures);
    return d;
}

QJsonObject withField(const QJsonObject &d, const QJsonObject &extra)
{
    return withStructure(d, [&](QJsonObject &s) {
        QJsonArray fields = s.value(QStringLiteral("fields")).toArray();
        fields.append(extra);
        s.insert(QStringLiteral("fields"), fields);
    });
}

QString errorOf(const QByteArray &json)
{
    try {
        VelRecordModel::fromJson(json, QStringLiteral("prova.json"));
    } catch (const EOvError &e) {
        return e.message();
    }
    return QString();
}

}

class TstRecordModel : public QObject
{
    Q_OBJECT
private slots:
    // A field name is looked up only when the code that uses it runs; this
    // reads every field name written in the program's sources instead.
    void fieldNamesOfTheSourcesAreTheModels_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("unknown");
        QTest::newRow("model's name") << QStringLiteral("ds.fieldByName(QStringLiteral(\"SCUDCOGNOME\"))") << QStringList();
        QTest::newRow("any case") << QStringLiteral("f(\"fCudReddDetr\")") << QStringList();
        QTest::newRow("module's name of a model box") << QStringLiteral("{\"SDIP7CODFIS\", \"x\"}") << QStringList();
        QTest::newRow("misspelt")
            << QStringLiteral("ds.fieldByName(QStringLiteral(\"SCUDCOGNOMX\")); s(\"FCUDRITIRPEFF\")")
            << QStringList{QStringLiteral("SCUDCOGNOMX"), QStringLiteral("FCUDRITIRPEFF")};
        QTest::newRow("not a field name") << QStringLiteral("s(\"SELECT\"); s(\"Modello CU\"); s(\"scudx\")") << QStringList();
    }

    void fieldNamesOfTheSourcesAreTheModels()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, unknown);
        const ModelNames m = modelNames();
        QStringList got;
        for (const QString &t : fieldLikeLiterals(source, m))
            if (!inModel(t, m))
                got << t;
        QCOMPARE(got, unknown);
    }

    void everyFieldNameInTheSourcesIsInTheModel()
    {
        const ModelNames m = modelNames();
        static const QRegularExpression rawStart(QStringLiteral("R\"([^(\\s]*)\\("));
        QStringList unknown, asText;
        QSet<QString> excused;
        int checked = 0;
        QDirIterator it(QStringLiteral(VELCU_SOURCE_DIR "/src"), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
            QString rawEnd; // inside a raw string (data, a JSON description...) until this
            for (int i = 0; i < lines.size(); ++i) {
                const QString &line = lines.at(i);
                const bool data = !rawEnd.isEmpty() || rawStart.match(line).hasMatch();
                if (!rawEnd.isEmpty() && line.contains(rawEnd))
                    rawEnd.clear();
                else if (const auto r = rawStart.match(line);
                         r.hasMatch() && !line.mid(r.capturedEnd()).contains(QLatin1Char(')') + r.captured(1) + u'"'))
                    rawEnd = QLatin1Char(')') + r.captured(1) + u'"';
                const qsizetype comment = line.indexOf(QLatin1String("//"));
                const QString code = comment < 0 ? line : line.left(comment);
                for (const QString &t : fieldLikeLiterals(line, m)) {
                    ++checked;
                    // the code names the model's own fields through their generated ids
                    if (!data && m.names.contains(t.toUpper()) && fieldLikeLiterals(code, m).contains(t))
                        asText << QStringLiteral("%1:%2: %3").arg(f.fileName()).arg(i + 1).arg(t);
                    if (inModel(t, m))
                        continue;
                    if (kNotInModel.contains(t))
                        excused.insert(t);
                    else
                        unknown << QStringLiteral("%1:%2: %3").arg(f.fileName()).arg(i + 1).arg(t);
                }
            }
        }
        QVERIFY2(unknown.isEmpty(), qPrintable(QStringLiteral("campi che il modello non ha:\n") + unknown.join(QLatin1Char('\n'))));
        QStringList stale;
        for (auto e = kNotInModel.cbegin(); e != kNotInModel.cend(); ++e)
            if (!excused.contains(e.key()))
                stale << e.key();
        QVERIFY2(stale.isEmpty(), qPrintable(QStringLiteral("non più nei sorgenti: ") + stale.join(QLatin1Char(' '))));
        QVERIFY2(asText.isEmpty(), qPrintable(QStringLiteral("nomi del modello scritti come testo invece che con "
                                                              "gli identificatori di velcu/VelFields.h:\n")
                                              + asText.join(QLatin1Char('\n'))));
        QVERIFY2(checked > 20, qPrintable(QString::number(checked)));
        qInfo("%d field-like names checked against the record model", checked);
    }

    void builtInDescriptionHoldsEveryStructure()
    {
        const VelRecordModel &m = VelRecordModel::instance();
        QCOMPARE(m.program(), QStringLiteral("vel"));
        // the shipped description is the campaign's edition
        QCOMPARE(m.year(), Campagna::AnnoFinanziario);
        QCOMPARE(m.codeTableFolder() + QLatin1Char('/'), Campagna::cartellaTabelle());
        QStringList expected = QStringList{QStringLiteral("TCUD_DATICUD")} + kCuSections + kAgentStructures;
        QCOMPARE(m.structures().size(), expected.size());
        for (const QString &name : expected) {
            const VelStructureDesc *s = m.findStructure(name);
            QVERIFY2(s != nullptr, qPrintable(name));
            QCOMPARE(s->name, name); // names as the store knows them
            QCOMPARE(s->fields.at(0).name, QStringLiteral("iAfiID"));
            QCOMPARE(s->fields.at(1).name, QStringLiteral("iFisRigo"));
        }
        QVERIFY(m.findStructure(QStringLiteral("tcud_daticud")) != nullptr);
        QVERIFY_THROWS_EXCEPTION(EOvError, m.structure(QStringLiteral("TNONESISTE")));
    }

    // Two CUs of one tax code in two months must be two persons of the store,
    // and every section must find its own CU's person again.
    void storeSettingsKeepCusOfOnePersonApart()
    {
        const VelRecordModel &m = VelRecordModel::instance();
        const VelStructureDesc &cud = m.structure(QStringLiteral("TCUD_DATICUD"));
        QVERIFY(cud.anagraphic);
        QVERIFY(!cud.fieldMapReadOnly);
        QVERIFY(cud.fieldMap.split(QLatin1Char(';')).contains(QStringLiteral("safigruppoana=SCUDMESE")));
        QVERIFY(cud.fieldMap.split(QLatin1Char(';')).contains(QStringLiteral("saficodfiscale=SCUDCODFIS")));
        for (const QString &name : kCuSections) {
            const VelStructureDesc &s = m.structure(name);
            QVERIFY2(!s.anagraphic, qPrintable(name));
            // Sections reuse the CU's person and never rewrite its columns
            // (an annotation row written without its month would clear the
            // person's month otherwise).
            QVERIFY2(s.fieldMapReadOnly, qPrintable(name));
            QCOMPARE(s.fieldMap, QStringLiteral("saficodfiscale=SCUDCODFIS;safigruppoana=SCUDMESE"));
            QCOMPARE(s.field(QStringLiteral("SCUDCODFIS"))->size, 16);
            QCOMPARE(s.field(QStringLiteral("SCUDMESE"))->size, 2);
        }
        for (const QString &name : kAgentStructures)
            QVERIFY2(m.structure(name).anagraphic, qPrintable(name));
    }

    // The code names fields by the ids generated from the description: each
    // one is a field of its structure with the description's kind and width,
    // and no field of the built-in model is without one.
    void generatedIdsAreTheModelsFields()
    {
        QHash<QString, const VelFieldId *> ids;
        for (const VelFieldId *id : rec::all)
            ids.insert(QLatin1String(id->structure) + QLatin1Char('.') + id->l1(), id);
        int fields = 0;
        for (const VelStructureDesc &s : VelRecordModel::instance().structures())
            for (const VelFieldDesc &f : s.fields) {
                ++fields;
                const VelFieldId *id = ids.value(s.name + QLatin1Char('.') + f.name);
                QVERIFY2(id, qPrintable(s.name + QLatin1Char('.') + f.name));
                QCOMPARE(id->qs(), f.name);
                QCOMPARE(id->qsUpper(), f.name.toUpper());
                QCOMPARE(int(id->kind), int(f.kind));
                QCOMPARE(id->size, f.size);
            }
        QCOMPARE(fields, int(std::size(rec::all)));
        // a name several structures share is one id, with no structure of its own
        QVERIFY(fld::SCUDMESE.structure == nullptr);
        QCOMPARE(QLatin1String(fld::SCUDANNOTAZIONI.structure), QLatin1String("TCUD_DATICUD"));
        QCOMPARE(rec::TCUDC_CONFAMCARICO::id.qs(), QStringLiteral("TCUDC_CONFAMCARICO"));
    }

    void fieldsHaveTheirKindsTypesAndWidths()
    {
        const VelRecordModel &m = VelRecordModel::instance();
        for (const VelStructureDesc &s : m.structures()) {
            for (const VelFieldDesc &f : s.fields) {
                const QString at = s.name + QLatin1Char('.') + f.name;
                if (f.isFlag())
                    QVERIFY2(f.type == TFieldType::String && f.size == 1, qPrintable(at));
                if (f.kind == VelFieldKind::Amount)
                    QVERIFY2(f.type == TFieldType::Currency, qPrintable(at));
                if (f.kind == VelFieldKind::Lookup)
                    QVERIFY2(f.type == TFieldType::String && f.hasLookup(), qPrintable(at));
                if (f.name.contains(QStringLiteral("CODFIS"), Qt::CaseInsensitive) && f.type == TFieldType::String)
                    QVERIFY2(f.size >= 16, qPrintable(at));
                if (!f.page.isEmpty())
                    QVERIFY2(s.page(f.page) != nullptr, qPrintable(at));
            }
        }
        const VelStructureDesc &cud = m.structure(QStringLiteral("TCUD_DATICUD"));
        const VelFieldDesc *stato = cud.field(QStringLiteral("ICUDSTATO"));
        QVERIFY(stato && stato->type == TFieldType::Integer && stato->page.isEmpty());
        QCOMPARE(cud.field(QStringLiteral("LCUDANNULLAMENTO"))->flagSetValue(), QStringLiteral("1"));
        QCOMPARE(cud.field(QStringLiteral("LCUDCONGUAGLIO"))->flagSetValue(), QStringLiteral("X"));
        QCOMPARE(cud.field(QStringLiteral("SCUDANNOTAZIONI"))->type, TFieldType::Memo);
        QCOMPARE(cud.field(QStringLiteral("FCUDQUOTA2122"))->decimals, 3);

        const VelFieldDesc *p730 = cud.field(QStringLiteral("SCUDASSFISP730"));
        QCOMPARE(p730->kind, VelFieldKind::List);
        QStringList codes;
        for (const VelListValue &v : p730->values)
            codes << v.code;
        QCOMPARE(codes, (QStringList{QString(), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));

        const VelFieldDesc *altro = cud.field(QStringLiteral("SCUDALTROSOSCODFIS"));
        QCOMPARE(altro->lookupStructure, QStringLiteral("TCUAS_DATIALTRISOST"));
        QCOMPARE(altro->page, QStringLiteral("Intestazione"));

        // A tax code kept as an amount could not hold its letters.
        const VelStructureDesc &aut = m.structure(QStringLiteral("TASE_AUTSOMMEEROGATE"));
        for (const char *name : {"FDSE7CFALTSOG", "FASECFAUTREDDDIV", "FASECFPIGNTERZI", "FASECFINDESPR"}) {
            const VelFieldDesc *f = aut.field(QLatin1String(name));
            QVERIFY2(f && f->type == TFieldType::String && f->size == 16, name);
        }
        // Codes chosen from a table are texts, whatever their first letter says.
        QCOMPARE(aut.field(QStringLiteral("FDSE7CODICE"))->type, TFieldType::String);
        QCOMPARE(cud.field(QStringLiteral("ICUDPERPART"))->type, TFieldType::String);
    }

    void annotationStructureHoldsFiftySixCodes()
    {
        const VelStructureDesc &a = VelRecordModel::instance().structure(QStringLiteral("TCUDA_ANNOTAZIONI"));
        QVERIFY(a.field(QStringLiteral("IAFIID")) != nullptr);
        QVERIFY(a.field(QStringLiteral("SCUDCODFIS")) != nullptr);
        QVERIFY(a.field(QStringLiteral("SCUDMESE")) != nullptr);
        const int first = int(a.field(QStringLiteral("SANN701")) - a.fields.constData());
        for (int i = 1; i <= 56; ++i) {
            const VelFieldDesc &f = a.fields.at(first + i - 1);
            QCOMPARE(f.name, QStringLiteral("SANN7%1").arg(i, 2, 10, QLatin1Char('0')));
            QCOMPARE(f.type, TFieldType::String);
        }
        QVERIFY(a.field(QStringLiteral("SANN757")) == nullptr);
    }

    // The import flags the months of a series starting from January and
    // walking the eleven fields that follow it: the twelve must stand in
    // calendar order, whatever order the editor shows them in.
    void monthFlagsStandInCalendarOrder_data()
    {
        QTest::addColumn<QString>("structure");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("INPS 8") << "TCUDI_INPS" << "LCUD" << "";
        QTest::newRow("INPS 50") << "TCUDI_INPS" << "LCUD" << "_C";
        QTest::newRow("INPS 62") << "TCUDI_INPS" << "LCUD3B" << "_C";
        QTest::newRow("INPS 72") << "TCUDI_INPS" << "LCUD3T" << "_C";
        QTest::newRow("INPDAP 38") << "TCUDN_INPDAP" << "LINPDAP" << "";
        QTest::newRow("INPDAP 40") << "TCUDN_INPDAP" << "LINPDAPPRSD" << "";
        QTest::newRow("INPDAP 44") << "TCUDN_INPDAP" << "LINPDAPPRD" << "";
    }
    void monthFlagsStandInCalendarOrder()
    {
        QFETCH(QString, structure);
        QFETCH(QString, prefix);
        QFETCH(QString, suffix);
        const VelStructureDesc &s = VelRecordModel::instance().structure(structure);
        const VelFieldDesc *jan = s.field(prefix + kMonths.at(0) + suffix);
        QVERIFY(jan != nullptr);
        const int at = int(jan - s.fields.constData());
        for (int m = 0; m < 12; ++m)
            QCOMPARE(s.fields.at(at + m).name.toUpper(), prefix + kMonths.at(m) + suffix);
    }

    void editorTabsFollowTheCuWindow()
    {
        const VelRecordModel &m = VelRecordModel::instance();
        const QList<VelEditorTab> &tabs = m.cuEditor();
        QCOMPARE(tabs.size(), 16);
        QCOMPARE(tabs.first().caption, QStringLiteral("Dati Anagrafici"));
        QCOMPARE(tabs.at(5).caption, QStringLiteral("Dati relativi al coniuge e ai familiari a carico"));
        QCOMPARE(tabs.last().caption, QStringLiteral("AUTONOMO"));
        for (const VelEditorTab &t : tabs) {
            const VelStructureDesc &s = m.structure(t.structure);
            if (t.page.isEmpty())
                QVERIFY(s.pages.size() > 1); // a frame with pages of its own (TFR)
            else
                QVERIFY2(!s.pageFields(t.page).isEmpty(), qPrintable(t.caption));
        }
        const VelStructureDesc &tfr = m.structure(QStringLiteral("TCUDT_TFR"));
        QCOMPARE(tfr.pages.size(), 5);
        QCOMPARE(tfr.pages.at(4).name, QStringLiteral("Dati riepilogativi"));
        const VelStructureDesc &cud = m.structure(QStringLiteral("TCUD_DATICUD"));
        const QList<const VelFieldDesc *> header = cud.pageFields(QStringLiteral("Intestazione"));
        QStringList names;
        for (const VelFieldDesc *f : header)
            names << f->name;
        QCOMPARE(names, (QStringList{QStringLiteral("SCUDMESE"), QStringLiteral("SCUDALTROSOSCODFIS"),
                                     QStringLiteral("SCUDCOGNOME"), QStringLiteral("SCUDNOME")}));
        QCOMPARE(m.structure(QStringLiteral("TCUDN_INPDAP")).indexes.at(0).name, QStringLiteral("AnnoRif"));
    }

    void emptySchemaSurvivesTheFileFormat()
    {
        const VelRecordModel &m = VelRecordModel::instance();
        for (const VelStructureDesc &s : m.structures()) {
            const QByteArray bytes = m.schemaBytes(s.name);
            TClientDataSet ds;
            ds.loadFromBytes(bytes, s.name);
            QVERIFY(ds.active());
            QCOMPARE(ds.recordCount(), 0);
            const QList<TFieldDef> &defs = ds.fieldDefs();
            QCOMPARE(defs.size(), s.fields.size());
            for (int i = 0; i < defs.size(); ++i) {
                const VelFieldDesc &f = s.fields.at(i);
                QCOMPARE(defs.at(i).name, f.name);
                QVERIFY2(defs.at(i).type == f.type, qPrintable(s.name + QLatin1Char('.') + f.name));
                QCOMPARE(defs.at(i).size, f.type == TFieldType::String ? f.size : 0);
            }
        }
        // A value typed into a created dataset keeps its type.
        TClientDataSet cud;
        m.createDataSet(QStringLiteral("TCUD_DATICUD"), cud);
        cud.append();
        cud.fieldByName(QStringLiteral("FCUDRITIRPEF")).setAsString(QStringLiteral("1234.56"));
        cud.fieldByName(QStringLiteral("SCUDMESE")).setAsString(QStringLiteral("03"));
        cud.post();
        TClientDataSet back;
        back.loadFromBytes(cud.saveToBytes());
        QCOMPARE(back.fieldByName(QStringLiteral("FCUDRITIRPEF")).asString(), QStringLiteral("1234.5600"));
        QCOMPARE(back.fieldByName(QStringLiteral("SCUDMESE")).asString(), QStringLiteral("03"));
    }

    void faultyDescriptionsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");
        const QJsonObject ok = minimalDescription();
        auto bytes = [](const QJsonObject &o) { return QJsonDocument(o).toJson(); };
        auto f = [](const char *name, const char *kind, const char *type, int size = 0) {
            QJsonObject o{{QStringLiteral("name"), QLatin1String(name)},
                          {QStringLiteral("kind"), QLatin1String(kind)},
                          {QStringLiteral("type"), QLatin1String(type)}};
            if (size)
                o.insert(QStringLiteral("size"), size);
            return o;
        };

        QTest::newRow("valid") << bytes(ok) << QString();
        QTest::newRow("not json") << QByteArray("{ \"format\": ") << QStringLiteral("prova.json");
        QJsonObject other = ok;
        other.insert(QStringLiteral("format"), QStringLiteral("x"));
        QTest::newRow("other format") << bytes(other) << QStringLiteral("formato sconosciuto");
        QTest::newRow("duplicate field, other case")
            << bytes(withField(ok, f("scudcodfis", "text", "String", 16))) << QStringLiteral("campo scudcodfis ripetuto");
        QTest::newRow("unknown kind")
            << bytes(withField(ok, f("SCUDX", "testo", "String", 4))) << QStringLiteral("tipo di campo sconosciuto \"testo\"");
        {
            QJsonObject measured = f("SCUDX", "text", "String", 4);
            measured.insert(QStringLiteral("measure"), QStringLiteral("etichetta"));
            QTest::newRow("unknown measure") << bytes(withField(ok, measured)) << QStringLiteral("misura sconosciuta \"etichetta\"");
        }
        QTest::newRow("kind and type disagree")
            << bytes(withField(ok, f("FCUDX", "amount", "String", 4))) << QStringLiteral("FCUDX");
        QTest::newRow("text without width")
            << bytes(withField(ok, f("SCUDX", "text", "String"))) << QStringLiteral("campo SCUDX: larghezza");
        QTest::newRow("wide flag")
            << bytes(withField(ok, f("LCUDX", "flagX", "String", 2))) << QStringLiteral("LCUDX");
        QTest::newRow("lookup without table")
            << bytes(withField(ok, f("SCUDX", "lookup", "String", 2))) << QStringLiteral("SCUDX");
        QJsonObject lk = f("SCUDX", "lookup", "String", 2);
        lk.insert(QStringLiteral("lookupStructure"), QStringLiteral("TNONESISTE"));
        lk.insert(QStringLiteral("lookupKey"), QStringLiteral("SSOSCODFIS"));
        QTest::newRow("lookup into unknown structure") << bytes(withField(ok, lk)) << QStringLiteral("TNONESISTE");
        QJsonObject tab = f("FCUDX", "amount", "Currency");
        tab.insert(QStringLiteral("table"), QStringLiteral("TREG_REGIONI.cds"));
        QTest::newRow("table on an amount") << bytes(withField(ok, tab)) << QStringLiteral("FCUDX");
        QJsonObject pg = f("SCUDX", "text", "String", 4);
        pg.insert(QStringLiteral("page"), QStringLiteral("Altrove"));
        QTest::newRow("unknown page") << bytes(withField(ok, pg)) << QStringLiteral("\"Altrove\"");
        QTest::newRow("map names unknown field")
            << bytes(withStructure(ok, [](QJsonObject &s) {
                   s.insert(QStringLiteral("fieldMap"), QStringLiteral("saficodfiscale=SCUDCF"));
               }))
            << QStringLiteral("\"SCUDCF\"");
        QTest::newRow("map names unknown column")
            << bytes(withStructure(ok, [](QJsonObject &s) {
                   s.insert(QStringLiteral("fieldMap"), QStringLiteral("safieta=SCUDCODFIS"));
               }))
            << QStringLiteral("safieta=SCUDCODFIS");
        QTest::newRow("map joins a non-text field")
            << bytes(withStructure(ok, [](QJsonObject &s) {
                   s.insert(QStringLiteral("fieldMap"), QStringLiteral("safigruppoana=SCUDMESE+FCUDIMPORTO"));
               }))
            << QStringLiteral("FCUDIMPORTO");
        QTest::newRow("no row number")
            << bytes(withStructure(ok, [](QJsonObject &s) {
                   QJsonArray fields = s.value(QStringLiteral("fields")).toArray();
                   fields.removeAt(1);
                   s.insert(QStringLiteral("fields"), fields);
               }))
            << QStringLiteral("iFisRigo");
    }
    void faultyDescriptionsAreRefused()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        const QString error = errorOf(json);
        if (expected.isEmpty()) {
            QCOMPARE(error, QString());
        } else {
            QVERIFY2(error.startsWith(QStringLiteral("Descrizione del modello CU 'prova.json' non valida")),
                     qPrintable(error));
            QVERIFY2(error.contains(expected), qPrintable(error));
        }
    }

    void missingCodeTableIsNamed()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile f(dir.filePath(QStringLiteral("treg_regioni.CDS")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QJsonObject reg{{QStringLiteral("name"), QStringLiteral("SCUDREG")}, {QStringLiteral("kind"), QStringLiteral("lookup")},
                        {QStringLiteral("type"), QStringLiteral("String")}, {QStringLiteral("size"), 2},
                        {QStringLiteral("table"), QStringLiteral("TREG_REGIONI.cds")}};
        QJsonObject cat = reg;
        cat.insert(QStringLiteral("name"), QStringLiteral("SCUDCAT"));
        cat.insert(QStringLiteral("table"), QStringLiteral("TCAT_CATEGORIEPARTICOLARI.CDS"));
        const VelRecordModel m = VelRecordModel::fromJson(
            QJsonDocument(withField(withField(minimalDescription(), reg), cat)).toJson(), QStringLiteral("prova"));
        QCOMPARE(m.codeTables(), (QStringList{QStringLiteral("TREG_REGIONI.cds"),
                                              QStringLiteral("TCAT_CATEGORIEPARTICOLARI.CDS")}));
        try {
            m.checkCodeTables(dir.path());
            QFAIL("a missing table went unnoticed");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("TCAT_CATEGORIEPARTICOLARI.CDS (campo SCUDCAT di TPROVA)")),
                     qPrintable(e.message()));
            QVERIFY2(!e.message().contains(QStringLiteral("TREG")), qPrintable(e.message())); // found in other case
        }
    }
};

QTEST_GUILESS_MAIN(TstRecordModel)
#include "tst_record_model.moc"
