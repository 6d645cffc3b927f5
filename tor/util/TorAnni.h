#pragma once
// Financial year and school year. A year's database key is the calendar year
// minus 1969 (2019 is 50, 2025 is 56); a number below 1970 is already a key,
// and a key below 1900 converts back by adding 1969.
#include <QString>

class TOvParamManager;
class TOvSQLConnection;

namespace TorAnni {
int toKey(int yearOrKey);
int toYear(int keyOrYear);
} // namespace TorAnni

// A year object: its key comes from a framework parameter, its bounds from the
// year table; start and end are kept as "mm/dd/yyyy" texts.
class TTorAnno
{
public:
    virtual ~TTorAnno() = default;

    void setParams(TOvParamManager *params) { m_params = params; }
    void setConnection(TOvSQLConnection *connection) { m_connection = connection; }

    // The key of the parameter; EAssertionFailed when no parameter manager is attached.
    int key() const;
    // Loads the bounds of the current key (empty texts when the year has no row).
    void load();
    QString start() const { return m_start; }
    QString end() const { return m_end; }
    // The last four characters of the end date.
    QString yearText() const { return m_end.right(4); }
    // Converts a year text ("2025") or key to the key, stores it in the
    // parameter and reloads the bounds.
    void setYearText(const QString &year);

protected:
    TTorAnno(const char *param, const char *statement) : m_param(param), m_statement(statement) {}

private:
    const char *m_param;
    const char *m_statement;
    TOvParamManager *m_params = nullptr;
    TOvSQLConnection *m_connection = nullptr;
    QString m_start, m_end;
};

class TTorAnnoFinanziario : public TTorAnno
{
public:
    TTorAnnoFinanziario();
};

class TTorAnnoScolastico : public TTorAnno
{
public:
    TTorAnnoScolastico();
};

// The two process-wide year objects.
TTorAnnoFinanziario &annoFinanziario();
TTorAnnoScolastico &annoScolastico();
