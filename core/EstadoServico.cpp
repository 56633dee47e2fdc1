#include "EstadoServico.h"

#include <QSaveFile>

TEstadoServico::TEstadoServico(const QString& pastaSaude)
    : FArquivoSaude(pastaSaude.isEmpty() ? QString() : pastaSaude + QStringLiteral("/saude"))
{
}

void TEstadoServico::AbastecimentoGravado(const QDateTime& quando)
{
    if (quando.date() != FDia) {
        FDia = quando.date();
        FNoDia = 0;
    }
    ++FNoDia;
    FUltimo = quando;
}

QString TEstadoServico::Texto(const QDateTime& agora) const
{
    return (FAviso.isEmpty() ? QStringLiteral("Procurando abastecimentos") : FAviso) + QStringLiteral("; ")
           + Resumo(agora);
}

QString TEstadoServico::Resumo(const QDateTime& agora) const
{
    const int hoje = FDia == agora.date() ? FNoDia : 0;
    QString texto = QStringLiteral("%1 gravado(s) hoje desde a partida").arg(hoje);
    if (FUltimo.isValid())
        texto += QStringLiteral("; último às %1").arg(FUltimo.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
    return texto;
}

void TEstadoServico::TiqueBom(const QDateTime& quando)
{
    if (FArquivoSaude.isEmpty())
        return;
    const qint64 segundos = quando.toSecsSinceEpoch();
    if (segundos == FUltimaSaude)
        return;
    FUltimaSaude = segundos;
    // Replaced whole, so a reader never sees half a line: epoch seconds, then the local time.
    QSaveFile arquivo(FArquivoSaude);
    if (!arquivo.open(QIODevice::WriteOnly))
        return;
    arquivo.write(QByteArray::number(segundos) + ' '
                  + quando.toString(Qt::ISODate).toUtf8() + '\n');
    arquivo.commit();
}
