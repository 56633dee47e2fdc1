#include "RegistroLogs.h"

#include "Contexto.h"
#include "Textos.h"

TRegistroLogs::TRegistroLogs(TContexto& contexto, QObject* parent) : QObject(parent), FContexto(contexto) {}

void TRegistroLogs::RegistraErro(const QString& mensagem)
{
    try {
        FContexto.GravaLogErro(mensagem);
    } catch (const std::exception&) {
        MarcaSemGravacao(); // kept by the log
    }
}

void TRegistroLogs::EscreveLinha(const QString& linha)
{
    try {
        FLogAbastecimentos.Acrescenta(FContexto.Relogio().PastaExecutavel()
                                          + NomeLogDoDia(FContexto.Relogio().Agora().date(), FContexto.Regional()),
                                      linha);
    } catch (const std::exception&) {
        MarcaSemGravacao(); // the fueling is stored: its line is kept
    }
    emit LinhaLogEscrita(linha);
}

void TRegistroLogs::Descarrega()
{
    if (!FSemGravacao)
        return;
    const bool erros = FContexto.LogErros().Descarrega();
    const bool abastecimentos = FLogAbastecimentos.Descarrega();
    if (erros && abastecimentos) {
        FSemGravacao = false;
        RegistraErro(QStringLiteral("Os arquivos de log voltaram a aceitar gravação; as linhas retidas foram gravadas."));
        emit GravacaoAlterada();
    }
}

QString TRegistroLogs::Motivo() const
{
    return !FLogAbastecimentos.Motivo().isEmpty() ? FLogAbastecimentos.Motivo() : FContexto.LogErros().Motivo();
}

QString TRegistroLogs::Rastro(const TDadosAbastecimento& dados) const
{
    const TConfiguracaoRegional& regional = FContexto.Regional();
    return QStringLiteral("ID: %1 Bico: %2 Data: %3 Hora: %4 Litros: %5 Valor: %6")
        .arg(StrZero(QString::number(dados.Id), 4), dados.Bico, dados.Data, dados.Hora,
             regional.TextoNumero(dados.Litragem), regional.TextoNumero(dados.ValorTotal / 10000.0));
}

void TRegistroLogs::MarcaSemGravacao()
{
    if (FSemGravacao)
        return;
    FSemGravacao = true;
    emit GravacaoAlterada();
}

TCausaFalhaLog TRegistroLogs::Causa() const
{
    return FLogAbastecimentos.Causa() != TCausaFalhaLog::Nenhuma ? FLogAbastecimentos.Causa()
                                                                 : FContexto.LogErros().Causa();
}
