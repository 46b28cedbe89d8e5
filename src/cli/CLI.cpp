#include "cli/CLI.h"

using namespace Qt::StringLiterals;

namespace CLI {

QString usageLine()
{
    return u"Usage: Bonkbell --connect-stripe | --connect-revenuecat [project] | --disconnect stripe|revenuecat | --status"_s;
}

int run(const QStringList& arguments, QTextStream& out)
{
    Q_UNUSED(arguments);
    out << usageLine() << '\n';
    out.flush();
    return usageError;
}

} // namespace CLI
