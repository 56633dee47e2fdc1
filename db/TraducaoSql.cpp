#include "TraducaoSql.h"

namespace {
bool InicioIdentificador(QChar c)
{
    return c.isLetter() || c == '_';
}

bool ParteIdentificador(QChar c)
{
    return c.isLetterOrNumber() || c == '_' || c == '$';
}
} // namespace

TComandoTraduzido TraduzParametros(const QString& sql)
{
    TComandoTraduzido comando;
    QString saida;
    saida.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (c == '\'' || c == '"') { // quoted text or identifier, doubled quotes included
            const qsizetype fim = sql.indexOf(c, i + 1);
            const qsizetype ate = fim < 0 ? n : fim + 1;
            saida += sql.mid(i, ate - i);
            i = ate;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            const qsizetype fim = sql.indexOf('\n', i);
            const qsizetype ate = fim < 0 ? n : fim;
            saida += sql.mid(i, ate - i);
            i = ate;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const qsizetype fim = sql.indexOf(QStringLiteral("*/"), i + 2);
            const qsizetype ate = fim < 0 ? n : fim + 2;
            saida += sql.mid(i, ate - i);
            i = ate;
        } else if (c == ':' && i + 1 < n && InicioIdentificador(sql[i + 1])) {
            qsizetype fim = i + 1;
            while (fim < n && ParteIdentificador(sql[fim]))
                ++fim;
            comando.Nomes << sql.mid(i + 1, fim - i - 1).toUpper();
            saida += '?';
            i = fim;
        } else {
            saida += c;
            ++i;
        }
    }
    comando.Sql = saida.toUtf8();
    return comando;
}
