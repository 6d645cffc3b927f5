#include "VelRunHost.h"

#include <cstdio>

namespace {

QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

} // namespace

void TVelUnattendedRunHost::notice(const QString &text, TVelNotice)
{
    std::fprintf(stderr, "%s\n", qPrintable(oneLine(text)));
}

bool TVelUnattendedRunHost::question(const QString &text)
{
    std::fprintf(stderr, "%s [risposta: No]\n", qPrintable(oneLine(text)));
    return false;
}

bool TVelUnattendedRunHost::information(const QStringList &lines, bool ask)
{
    for (const QString &line : lines)
        std::fprintf(stderr, "%s\n", qPrintable(line));
    if (ask)
        std::fprintf(stderr, "Si desidera proseguire? [risposta: No]\n");
    return !ask;
}

TVelUnattendedRunHost &TVelUnattendedRunHost::instance()
{
    static TVelUnattendedRunHost host;
    return host;
}
