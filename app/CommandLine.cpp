#include "app/CommandLine.h"

namespace {
QStringList& Parameters()
{
    static QStringList params;
    return params;
}
}  // namespace

void SetCommandLine(const QStringList& parameters) { Parameters() = parameters; }

const QStringList& CommandLineParameters() { return Parameters(); }

bool HasSwitch(const QString& name)
{
    for (const QString& p : Parameters())
        if (p.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool SwitchValue(const QString& name, QString& value)
{
    value.clear();
    for (const QString& p : Parameters()) {
        const qsizetype eq = p.indexOf('=');
        if (eq < 0 || p.left(eq).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        QString v = p.mid(eq + 1);
        if (v.size() >= 2 && (v.startsWith('\'') || v.startsWith('"')) && v.endsWith(v.front()))
            v = v.mid(1, v.size() - 2);
        value = v;
        return true;
    }
    return false;
}

void DealerBrand(QString& brand)
{
    if (brand == QLatin1String("VOSKAR"))
        return;
    brand.clear();
    const QStringList& params = Parameters();
    for (qsizetype i = params.size() - 1; i >= 0; --i) {
        const QString& p = params[i];
        if (p.size() > 2 && p.left(2).compare(QLatin1String("D:"), Qt::CaseInsensitive) == 0) {
            brand = p.mid(2).toUpper();
            return;
        }
    }
}
