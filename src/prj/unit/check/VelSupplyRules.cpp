#include "src/prj/unit/check/VelSupplyRules.h"

#include "src/prj/unit/model/VelCodFis.h"

#include "platform/sql/OvSQLQuery.h"
#include "rag/calc/ragUQuery.h"
#include "velcu/VelFields.h"

#include <QRegularExpression>

#include <algorithm>
#include <exception>

namespace VelSupplyRules {

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

bool allDigits(const QString &v)
{
    return !v.isEmpty() && std::all_of(v.begin(), v.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

const char *const kAgent = "\"Dati Sostituto\"";
const char *const kSupplier = "\"Dati Fornitore\"";
const char *const kPersonal = "\"Dati CU\" del percipiente, pagina \"Dati Anagrafici\"";
const char *const kTax = "\"Dati CU\" del percipiente, pagine \"Dati Fiscali\"";
const char *const kFamily = "\"Dati CU\" del percipiente, pagina \"Familiari a carico\"";

QString checkTaxCode(const QString &v)
{
    return taxCode(v);
}

} // namespace

const QList<Rule> &rules()
{
    using L = Level;
    static const QList<Rule> all = {
        {"codice-fiscale", L::Error, "codici fiscali con il carattere di controllo esatto",
         {"DA002001", "DA002030", "DB601002", "DB602002", "DB603002", "B311", "B412", "A23"},
         {fld::SCUDCODFIS.name, fld::SCUDCODFISRAPPR.name, fld::SCUDCODFISCON.name, fld::SCUDCODFISPRIFIGL.name, fld::SCUDCODFISFIGL.name, fld::SSOSCODFIS.name,
          fld::SSOSCFRAPPR.name, fld::SSOSCODFISINTERM.name, fld::SSOSCFSOCENTE.name, fld::SSOSCODFISSOSSUB.name, fld::SFORCODFIS.name},
         checkTaxCode, kPersonal},
        {"codice-fiscale-nascita", L::Warning,
         "il codice fiscale del percipiente concorda con data di nascita e sesso (anche con le lettere di omocodia)",
         {"DA002001", "DA002004", "DA002005"}, {fld::SCUDCODFIS.name, fld::DCUDDATANAS.name, fld::SCUDSEX.name}, nullptr, kPersonal},
        {"familiare-codice", L::Error, "il codice fiscale del coniuge e dei figli è diverso da quello del percipiente",
         {"DB601002", "DB602002", "DB603002"}, {fld::SCUDCODFISCON.name, fld::SCUDCODFISPRIFIGL.name, fld::SCUDCODFISFIGL.name}, nullptr,
         kFamily},
        {"provincia", L::Error, "sigla di una provincia italiana (le 107 in vigore)",
         {"DA001005", "DA002021", "DA002025"}, {fld::SSOSPROV.name, fld::SCUDPROVDFAP.name, fld::SCUDPROVDFAC.name}, province, kPersonal},
        {"provincia-nascita", L::Error, "provincia di nascita: una provincia italiana o \"EE\" per uno Stato estero",
         {"DA002007"}, {fld::SCUDPROVNAS.name}, birthProvince, kPersonal},
        {"provincia-nascita-estero", L::Warning,
         "\"EE\" solo per chi è nato all'estero (codice fiscale con luogo \"Z...\"), una provincia solo per chi è nato in "
         "Italia",
         {"DA002007", "DA002001"}, {fld::SCUDPROVNAS.name, fld::SCUDCODFIS.name}, nullptr, kPersonal},
        {"cap", L::Error, "CAP di cinque cifre", {"DA001006"}, {fld::SSOSCAP.name}, cap, kAgent},
        {"codice-comune", L::Error, "codice catastale di un comune della tabella del territorio",
         {"DA002022", "DA002026"}, {fld::SCUDCAPDFAP.name, fld::SCUDCAPDFAC.name}, municipalityCode, kPersonal},
        {"codice-carica", L::Error, "codice carica del rappresentante da 1 a 15 (tabella del modello)", {"B327"},
         {fld::SCARCODICE.name}, chargeCode, kAgent},
        {"protocollo-identificativo", L::Error,
         "identificativo dell'invio della CU da sostituire o annullare: 17 cifre", {"D47"}, {fld::SCUDIDENTSERVTELE.name},
         earlierSubmission, kPersonal},
        {"protocollo-progressivo", L::Error, "progressivo della CU da sostituire o annullare: 6 cifre", {"D64"},
         {fld::SCUDPROGRDICH.name}, earlierProgressive, kPersonal},
        {"tipo-fornitore", L::Error, "tipo di fornitore \"01\" o \"10\"", {"A21"}, {fld::STFOCODICE.name}, supplierType,
         kSupplier},
        {"importo-negativo", L::Error, "nessun importo negativo dove il tracciato ha un importo", {}, {}, nullptr, kTax},
        {"ritenute-reddito", L::Warning, "ritenute IRPEF (21) non oltre i redditi (1-5)",
         {"DB001021", "DB001001", "DB001002", "DB001003", "DB001004", "DB001005"}, {}, nullptr, kTax},
        {"ritenute-imposta-lorda", L::Warning, "ritenute IRPEF (21) non oltre l'imposta lorda (361)",
         {"DB001021", "DB001361"}, {}, nullptr, kTax},
        {"data-nascita", L::Error, "data di nascita non futura", {"DA002005"}, {fld::DCUDDATANAS.name}, nullptr, kPersonal},
        {"inizio-rapporto", L::Error, "rapporto non iniziato dopo l'anno della certificazione", {"DB001008"},
         {fld::DCUDDATINIRL.name}, nullptr, kTax},
        {"giorni", L::Error, "giorni di lavoro e di pensione entro i giorni dell'anno", {"DB001006", "DB001007"},
         {fld::iCudPeriodoLav.upper, fld::ICUDGGPENSIONE.name}, nullptr, kTax},
        {"record-ripetuto", L::Error, "nessun record G o H scritto due volte nella certificazione", {}, {}, nullptr, kTax},
        {"moduli", L::Error, "moduli dei record G e H di ogni certificazione numerati da 1, senza salti", {}, {}, nullptr,
         kTax},
        {"record-vuoto", L::Error, "nessun record G o H senza campi", {}, {}, nullptr, kTax},
        {"record-senza-d", L::Error, "ogni record G e H segue il record D della sua certificazione", {}, {}, nullptr,
         kTax},
        {"fornitore-sostituto", L::Error,
         "tipo di fornitore \"01\" quando il fornitore è il sostituto, \"10\" quando è un intermediario", {"A21", "A23"},
         {}, nullptr, kSupplier},
        {"intermediario", L::Error, "l'intermediario ha il suo impegno a trasmettere e la data dell'impegno",
         {"B412", "B428", "B429"}, {fld::SSOSCODFISINTERM.name, fld::LSOSDICHCONTRIB.name, fld::DSOSDTIMPEGNO.name}, nullptr, kAgent},
        {"firme", L::Error, "firma della comunicazione e, con un intermediario, la sua firma", {"B411", "B437"},
         {fld::SSOSFIRMACOM.name, fld::SSOSINTERMEDIARIO.name}, nullptr, kAgent},
    };
    return all;
}

const Rule &rule(const char *id)
{
    const QList<Rule> &all = rules();
    const auto it = std::find_if(all.begin(), all.end(), [id](const Rule &r) { return qstrcmp(r.id, id) == 0; });
    Q_ASSERT(it != all.end());
    return *it;
}

QList<const Rule *> forCode(const QString &code)
{
    QList<const Rule *> out;
    QString key = code;
    // the dependants after the first child read as the first of them
    if (key.startsWith(QLatin1String("DB6")) && key.size() == 8 && key.mid(3, 2).toInt() >= 3)
        key = QStringLiteral("DB603") + key.mid(5);
    for (const Rule &r : rules())
        if (r.check && r.codes.contains(key))
            out << &r;
    return out;
}

QList<const Rule *> forColumn(const QString &column)
{
    QList<const Rule *> out;
    const QString key = column.toUpper();
    for (const Rule &r : rules())
        if (r.check && r.columns.contains(key))
            out << &r;
    return out;
}

QString checkColumn(const QString &column, const QString &value)
{
    const QString v = value.trimmed().toUpper();
    if (v.isEmpty())
        return QString();
    for (const Rule *r : forColumn(column))
        if (const QString why = r->check(v); !why.isEmpty())
            return why;
    return QString();
}

// ---------------------------------------------------------------- one value

QString taxCode(const QString &code)
{
    const QString c = code.trimmed().toUpper();
    if (c.isEmpty())
        return QString();
    const QString why = VelCodFis::problem(c);
    return why.isEmpty() ? QString() : s("codice fiscale non valido: %1").arg(why.toLower());
}

QString personalTaxCode(const QString &code)
{
    const QString c = code.trimmed().toUpper();
    if (c.isEmpty())
        return QString();
    if (c.size() != 16)
        return s("il codice fiscale di una persona ha 16 caratteri");
    return taxCode(c);
}

const QSet<QString> &provinces()
{
    // The 107 provinces and metropolitan cities, by their sigla.
    static const QSet<QString> all = [] {
        QSet<QString> out;
        const QString list = QStringLiteral(
            "AG AL AN AO AP AQ AR AT AV BA BG BI BL BN BO BR BS BT BZ CA CB CE CH CL CN CO CR CS CT CZ EN FC FE FG FI "
            "FM FR GE GO GR IM IS KR LC LE LI LO LT LU MB MC ME MI MN MO MS MT NA NO NU OR PA PC PD PE PG PI PN PO PR "
            "PT PU PV PZ RA RC RE RG RI RM RN RO SA SI SO SP SR SS SU SV TA TE TN TO TP TR TS TV UD VA VB VC VE VI VR "
            "VT VV");
        for (const QString &p : list.split(QLatin1Char(' ')))
            out.insert(p);
        return out;
    }();
    return all;
}

QString province(const QString &sigla)
{
    const QString p = sigla.trimmed().toUpper();
    if (p.isEmpty() || provinces().contains(p))
        return QString();
    if (p == QLatin1String("EE"))
        return s("\"EE\" (Stato estero) vale solo per la provincia di nascita");
    return s("\"%1\" non è la sigla di una provincia italiana").arg(p);
}

QString birthProvince(const QString &sigla)
{
    const QString p = sigla.trimmed().toUpper();
    if (p == QLatin1String("EE"))
        return QString();
    const QString why = province(p);
    return why.isEmpty() ? why : why + s(" (\"EE\" per uno Stato estero)");
}

QString cap(const QString &value)
{
    const QString v = value.trimmed();
    if (v.isEmpty() || (v.size() == 5 && allDigits(v)))
        return QString();
    return s("il CAP ha cinque cifre (trovato \"%1\")").arg(v);
}

namespace {
QSet<QString> &municipalitySet()
{
    static QSet<QString> codes;
    return codes;
}
} // namespace

void setMunicipalities(const QSet<QString> &codes)
{
    municipalitySet() = codes;
}

bool hasMunicipalities()
{
    return !municipalitySet().isEmpty();
}

bool loadMunicipalities(const TRagSource &payroll)
{
    if (!payroll.connection || !payroll.queries)
        return false;
    try {
        TRagQuery q(payroll);
        TOvSQLQuery &ds = q.open(QStringLiteral("QRY_CUD_COMUNI"), {});
        QSet<QString> codes;
        for (ds.first(); !ds.eof(); ds.next())
            if (const QString c = ds.fieldByName(QStringLiteral("SCOMCODCATASTALE")).asString().trimmed().toUpper();
                !c.isEmpty())
                codes.insert(c);
        setMunicipalities(codes);
        return !codes.isEmpty();
    } catch (const std::exception &) {
        // a payroll without the table, or not reachable: the shape alone
        return false;
    }
}

QString municipalityCode(const QString &code)
{
    static const QRegularExpression shape(QStringLiteral("^[A-M][0-9]{3}$"));
    const QString c = code.trimmed().toUpper();
    if (c.isEmpty())
        return QString();
    if (!shape.match(c).hasMatch())
        return s("\"%1\" non è il codice catastale di un comune italiano (una lettera da A a M e tre cifre)").arg(c);
    if (hasMunicipalities() && !municipalitySet().contains(c))
        return s("il codice catastale \"%1\" non è nella tabella dei comuni").arg(c);
    return QString();
}

QString chargeCode(const QString &code)
{
    const QString c = code.trimmed();
    if (c.isEmpty())
        return QString();
    if (!allDigits(c) || c.toInt() < 1 || c.toInt() > 15)
        return s("codice carica \"%1\" non ammesso: i codici vanno da 1 a 15").arg(c);
    return QString();
}

QString earlierSubmission(const QString &id)
{
    const QString v = id.trimmed();
    if (v.isEmpty() || (v.size() == 17 && allDigits(v)))
        return QString();
    return s("l'identificativo del protocollo ha 17 cifre (trovato \"%1\")").arg(v);
}

QString earlierProgressive(const QString &p)
{
    const QString v = p.trimmed();
    if (v.isEmpty() || (v.size() == 6 && allDigits(v)))
        return QString();
    return s("il progressivo del protocollo ha 6 cifre (trovato \"%1\")").arg(v);
}

QString supplierType(const QString &type)
{
    // as the file writes it on two digits: "1" is "01"
    const QString t = type.trimmed();
    if (t.isEmpty() || (allDigits(t) && t.size() <= 2 && (t.toInt() == 1 || t.toInt() == 10)))
        return QString();
    return s("tipo di fornitore \"%1\" non ammesso: \"01\" il sostituto stesso, \"10\" un intermediario").arg(t);
}

QString amountCents(qint64 cents)
{
    return cents < 0 ? s("importo negativo: il tracciato non ne ammette") : QString();
}

// ---------------------------------------------------------------- between values

bool decodeBirth(const QString &code, QDate *birth, QChar *sex, int notAfterYear)
{
    const QString c = code.trimmed().toUpper();
    if (!VelCodFis::isValidPersonal(c))
        return false;
    auto digit = [&c](int i) {
        const QChar ch = c.at(i);
        if (ch.isDigit())
            return ch.unicode() - '0';
        return int(QStringLiteral("LMNPQRSTUV").indexOf(ch)); // the homonyms' letters
    };
    const int yy = digit(6) * 10 + digit(7);
    const int month = int(QStringLiteral("ABCDEHLMPRST").indexOf(c.at(8))) + 1;
    int day = digit(9) * 10 + digit(10);
    const QChar codedSex = day > 40 ? u'F' : u'M';
    if (day > 40)
        day -= 40;
    int year = (notAfterYear / 100) * 100 + yy;
    if (year > notAfterYear)
        year -= 100;
    const QDate d(year, month, day);
    if (!d.isValid())
        return false;
    if (birth)
        *birth = d;
    if (sex)
        *sex = codedSex;
    return true;
}

QString taxCodeAgainstBirth(const QString &code, const QDate &birth, const QString &sex)
{
    QDate coded;
    QChar codedSex;
    if (!decodeBirth(code, &coded, &codedSex, 2100))
        return QString();
    QStringList out;
    if (birth.isValid() && (coded.year() % 100 != birth.year() % 100 || coded.month() != birth.month()
                            || coded.day() != birth.day()))
        out << s("il codice fiscale indica la nascita il %1, la data di nascita è %2")
                   .arg(coded.toString(QStringLiteral("dd/MM")) + QStringLiteral("/..")
                            + QString::number(coded.year() % 100).rightJustified(2, QLatin1Char('0')),
                        birth.toString(QStringLiteral("dd/MM/yyyy")));
    const QString sx = sex.trimmed().toUpper();
    if ((sx == QLatin1String("M") || sx == QLatin1String("F")) && sx.at(0) != codedSex)
        out << s("il codice fiscale è di una persona di sesso %1, il sesso indicato è %2").arg(codedSex).arg(sx);
    return out.join(QStringLiteral("; "));
}

QString birthProvinceAgainstCode(const QString &sigla, const QString &code)
{
    const QString p = sigla.trimmed().toUpper();
    const QString c = code.trimmed().toUpper();
    if (p.isEmpty() || !VelCodFis::isValidPersonal(c))
        return QString();
    const bool abroad = c.at(11) == QLatin1Char('Z');
    if (p == QLatin1String("EE") && !abroad)
        return s("provincia di nascita \"EE\" (Stato estero) ma il codice fiscale indica un comune italiano (%1)")
            .arg(c.mid(11, 4));
    if (p != QLatin1String("EE") && abroad)
        return s("provincia di nascita \"%1\" ma il codice fiscale indica la nascita all'estero (%2): \"EE\"")
            .arg(p, c.mid(11, 4));
    return QString();
}

QString dependantCode(const QString &dependant, const QString &payee)
{
    const QString d = dependant.trimmed().toUpper();
    if (d.isEmpty() || d != payee.trimmed().toUpper())
        return QString();
    return s("il codice fiscale del familiare a carico è quello del percipiente");
}

QString birthDate(const QDate &birth, const QDate &today)
{
    if (!birth.isValid() || birth <= today)
        return QString();
    return s("data di nascita nel futuro (%1)").arg(birth.toString(QStringLiteral("dd/MM/yyyy")));
}

QString relationshipStart(const QDate &start, int year)
{
    if (!start.isValid() || start.year() <= year)
        return QString();
    return s("il rapporto comincia il %1, dopo l'anno %2 della certificazione")
        .arg(start.toString(QStringLiteral("dd/MM/yyyy")))
        .arg(year);
}

QString days(int count, int year)
{
    const int most = QDate(year, 1, 1).daysInYear();
    if (count <= most)
        return QString();
    return s("%1 giorni: l'anno %2 ne ha %3").arg(count).arg(year).arg(most);
}

namespace {
QString euro(qint64 cents)
{
    return QStringLiteral("%1,%2").arg(cents / 100).arg(qAbs(cents % 100), 2, 10, QLatin1Char('0'));
}
} // namespace

QString withholdingAgainstIncome(qint64 withheld, qint64 income)
{
    if (withheld <= income)
        return QString();
    return s("ritenute IRPEF (punto 21) di %1 oltre i redditi dei punti 1-5 (%2)").arg(euro(withheld), euro(income));
}

QString withholdingAgainstGrossTax(qint64 withheld, qint64 grossTax)
{
    if (withheld <= grossTax)
        return QString();
    return s("ritenute IRPEF (punto 21) di %1 oltre l'imposta lorda (punto 361, %2)").arg(euro(withheld), euro(grossTax));
}

QString payeeText(const QString &surname, const QString &name, const QString &code)
{
    const QString who = (surname.trimmed() + QLatin1Char(' ') + name.trimmed()).simplified();
    const QString c = code.trimmed();
    if (who.isEmpty())
        return c;
    return c.isEmpty() ? who : QStringLiteral("%1 (%2)").arg(who, c);
}

QString whereToCorrect(char recordType, const QByteArray &code)
{
    switch (recordType) {
    case 'A':
        return s(kSupplier);
    case 'B':
        return s(kAgent);
    case 'C':
        return s("\"Quadro CT\"");
    case 'H':
        return s("\"Dati CU\" del percipiente, sezione dei redditi di lavoro autonomo");
    default:
        break;
    }
    if (code.startsWith("DA001"))
        return s(kAgent);
    if (code.startsWith("DB6"))
        return s(kFamily);
    if (code.startsWith("DB"))
        return s(kTax);
    if (code.startsWith("DC"))
        return s("\"Dati CU\" del percipiente, sezioni previdenziali e assicurative");
    return s(kPersonal);
}

} // namespace VelSupplyRules
