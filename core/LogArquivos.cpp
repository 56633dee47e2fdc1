#include "LogArquivos.h"

#include "Erro.h"
#include "Regional.h"
#include "Textos.h"

#include <QFile>
#include <QScopeGuard>

QString MontaLinhaLog(const QString& Data, const QString& Hora, const QString& Bico, double Litragem,
                      double Valor, double PrecoUnit, const QString& Sequencia, const QString& Id,
                      const QString& CodConcentrador, const TConfiguracaoRegional& regional)
{
    return QStringLiteral(" ") + Data + QStringLiteral("   ") + Hora + QStringLiteral("   ") + Bico
        + QStringLiteral("   ") + FormataNumero(QStringLiteral("#,##0.000"), Litragem, regional) + QStringLiteral("     ")
        + FormataNumero(QStringLiteral("##0.000"), PrecoUnit, regional) + QStringLiteral("  ")
        + FormataNumero(QStringLiteral("##,##0.00"), Valor, regional) + QStringLiteral("   ") + StrZero(Sequencia, 3)
        + QStringLiteral("  ") + StrZero(Id, 4) + QStringLiteral("   ") + CodConcentrador;
}

QStringList MontaCabecalhoLog(const QDate& dia, const TConfiguracaoRegional& regional)
{
    return {
        QStringLiteral("             ARQUIVO DE LOG DO CONCENTRADOR COMPANYTEC  -  ") + regional.TextoData(dia),
        QString(83, '='),
        QStringLiteral(" DATA         HORA       BICO     LITRAGEM  VALOR UNIT      TOTAL   SEQ   ID  CANAL"),
        QStringLiteral(" ----------   --------   -----  ----------  ----------    -------   --- ----   ----"),
    };
}

QString NomeLogDoDia(const QDate& dia, const TConfiguracaoRegional& regional)
{
    return QStringLiteral("LogLinkor") + SubstituiTexto(regional.TextoData(dia), QStringLiteral("/"), QString());
}

QString MontaLinhaErro(const QDateTime& momento, const QString& mensagem, const TConfiguracaoRegional& regional)
{
    return regional.TextoDataCurta(momento.date()) + ' ' + regional.TextoHoraLonga(momento.time()) + ' ' + mensagem;
}

void TLogArquivo::Acrescenta(const QString& caminho, const QString& linha)
{
    Retem(caminho, linha);
    if (FOcupado)
        return; // the outer call writes it right after its own
    FOcupado = true;
    auto libera = qScopeGuard([this] { FOcupado = false; });
    GravaRetidas();
}

bool TLogArquivo::Descarrega()
{
    if (FOcupado)
        return FRetidas.isEmpty();
    FOcupado = true;
    auto libera = qScopeGuard([this] { FOcupado = false; });
    try {
        GravaRetidas();
    } catch (const EErro&) {
        return false;
    }
    return true;
}

void TLogArquivo::Retem(const QString& caminho, const QString& linha)
{
    if (FRetidas.size() >= kMaximoRetidas) {
        FRetidas.removeFirst();
        ++FDescartadas;
    }
    FRetidas.append({caminho, linha});
}

void TLogArquivo::GravaRetidas()
{
    while (!FRetidas.isEmpty()) {
        const auto& [caminho, linha] = FRetidas.first();
        try {
            if (FDescartadas > 0) {
                Grava(caminho, QStringLiteral("(%1 linhas anteriores perdidas: o arquivo ficou sem gravação por "
                                              "muito tempo)")
                                   .arg(FDescartadas));
                FDescartadas = 0;
            }
            Grava(caminho, linha);
        } catch (const EErro& e) {
            FMotivo = e.Mensagem();
            throw;
        }
        FRetidas.removeFirst();
    }
    FMotivo.clear();
}

void TLogArquivo::Grava(const QString& caminho, const QString& linha)
{
    QFile arquivo(caminho);
    const QByteArray bytes = linha.toUtf8() + "\r\n";
    // Group-writable where the process's umask allows it: a station folder shared by the window
    // and the service through their group.
    const QFileDevice::Permissions permissoes = QFileDevice::ReadOwner | QFileDevice::WriteOwner
        | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther;
    if (!arquivo.open(QIODevice::WriteOnly | QIODevice::Append, permissoes) || arquivo.write(bytes) != bytes.size()
        || !arquivo.flush())
        throw EErro(QStringLiteral("Não foi possível gravar o arquivo %1: %2").arg(caminho, arquivo.errorString()));
    arquivo.close();
}

QStringList LeLinhasLog(const QString& caminho)
{
    QFile arquivo(caminho);
    if (!arquivo.exists())
        return {};
    if (!arquivo.open(QIODevice::ReadOnly))
        throw EErro(QStringLiteral("Não foi possível ler o arquivo %1: %2").arg(caminho, arquivo.errorString()));
    QString texto = QString::fromUtf8(arquivo.readAll());
    texto.remove('\r');
    QStringList linhas = texto.split('\n');
    if (!linhas.isEmpty() && linhas.last().isEmpty())
        linhas.removeLast();
    return linhas;
}
